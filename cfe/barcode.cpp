#include "barcode.h"

#include <zint.h>

#include <memory>

namespace satresults {

namespace {

    struct SymbolDeleter {
        void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
    };
    using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

    // zint's vector output is in its own units; it is brought back to modules from the symbol's width in modules,
    // with no whitespace, border or human-readable text so that nothing but the modules takes up that width.
    BarcodeSymbol encode(int symbology, const QByteArray& data, float height, int option1)
    {
        BarcodeSymbol out;
        Symbol symbol(ZBarcode_Create());
        if (!symbol) {
            out.error = QStringLiteral("sem memória para o código de barras");
            return out;
        }
        symbol->symbology = symbology;
        symbol->show_hrt = 0;
        symbol->whitespace_width = 0;
        symbol->border_width = 0;
        if (height > 0)
            symbol->height = height;
        if (option1 > 0)
            symbol->option_1 = option1;
        const int status = ZBarcode_Encode_and_Buffer_Vector(
            symbol.get(), reinterpret_cast<const unsigned char*>(data.constData()), int(data.size()), 0);
        if (status >= ZINT_ERROR || !symbol->vector || symbol->width <= 0 || symbol->vector->width <= 0) {
            out.error = QString::fromLatin1(symbol->errtxt);
            return out;
        }
        const double unit = symbol->vector->width / double(symbol->width);
        out.width = symbol->width;
        out.height = symbol->vector->height / unit;
        for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next)
            out.bars.append(QRectF(r->x / unit, r->y / unit, r->width / unit, r->height / unit));
        out.valid = !out.bars.isEmpty();
        return out;
    }

} // namespace

BarcodeSymbol encodeCode128(const QString& digits, double barHeightModules)
{
    return encode(BARCODE_CODE128, digits.toLatin1(), float(barHeightModules), 0);
}

BarcodeSymbol encodeQrCode(const QString& text)
{
    // Error correction level M (option_1 2): the symbol stays readable from a worn or creased thermal print.
    return encode(BARCODE_QRCODE, text.toUtf8(), 0, 2);
}

} // namespace satresults
