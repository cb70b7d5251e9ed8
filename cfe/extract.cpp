#include "extract.h"

#include "barcode.h"
#include "cfeformat.h"
#include "extractbatch.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace satresults {

namespace {

    // Layout units are hundredths of a millimetre, fine enough for barcode modules and still whole numbers for
    // font pixel sizes (QPainter takes a font's pixel size in the painter's own units).
    constexpr double kUnitsPerMm = 100.0;
    // One character cell: 48 columns on the 72 mm printed by an 80 mm printer and 32 on the 48 mm of a 58 mm one,
    // the grid a thermal printer's standard font has.
    constexpr double kCellMm = 1.5;
    constexpr double kVerticalMarginMm = 4.0;
    constexpr double kCode128HeightMm = 10.0;
    constexpr double kQrSideMm = 40.0;
    // A long QR text (the signature alone is 344 characters) needs about 80 modules: at 40 mm a module would fall
    // below two pixels in a view drawn at 96 dpi, which zbar and phones no longer read. The code grows instead.
    constexpr double kMinQrModuleMm = 0.54;
    constexpr double kMaxModuleMm = 0.33;
    constexpr double kMinModuleMm = 0.2;
    constexpr double kRotatedModuleMm = 0.25;
    constexpr int kCode128QuietModules = 10;
    constexpr int kQrQuietModules = 4;

    struct Geometry {
        int columns;
        double marginMm;
    };

    Geometry geometryFor(int paperWidthMm)
    {
        return paperWidthMm == kPaperWidth58 ? Geometry {32, 5.0} : Geometry {48, 4.0};
    }

    enum class Align { Left, Center, Right };

    QFont extractFont(bool bold)
    {
        static const int pixelSize = [] {
            QFont probe(QStringLiteral("DejaVu Sans Mono"));
            probe.setStyleHint(QFont::Monospace);
            probe.setPixelSize(1000);
            const double advance = QFontMetricsF(probe).horizontalAdvance(QLatin1Char('0'));
            return advance > 0 ? int(std::floor(1000.0 * kCellMm * kUnitsPerMm / advance)) : 250;
        }();
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        // Glyph positions must follow the layout's grid, not the hinting of the device the painter is on.
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    }

    // Control characters (tabs, carriage returns) would break the character grid; a line break stays a break.
    QStringList plainLines(const QString& text)
    {
        QString clean;
        clean.reserve(text.size());
        for (QChar c : text) {
            if (c == u'\n')
                clean += c;
            else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
                     || c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
                clean += u' ';
            else
                clean += c;
        }
        return clean.split(u'\n');
    }

    // Joins unbreakable pieces into lines of at most `columns`; a piece longer than a line is cut.
    QStringList wrapPieces(const QStringList& pieces, int columns)
    {
        QStringList lines;
        QString line;
        for (QString piece : pieces) {
            if (piece.isEmpty())
                continue;
            while (piece.size() > columns) {
                if (!line.isEmpty()) {
                    lines << line;
                    line.clear();
                }
                // Never between the two halves of a character outside the BMP.
                const int cut = piece.at(columns - 1).isHighSurrogate() && columns > 1 ? columns - 1 : columns;
                lines << piece.left(cut);
                piece = piece.mid(cut);
            }
            if (line.isEmpty())
                line = piece;
            else if (line.size() + 1 + piece.size() <= columns)
                line += u' ' + piece;
            else {
                lines << line;
                line = piece;
            }
        }
        if (!line.isEmpty())
            lines << line;
        return lines;
    }

    QStringList wrapText(const QString& text, int columns)
    {
        QStringList lines;
        for (const QString& paragraph : plainLines(text))
            lines << wrapPieces(paragraph.split(u' ', Qt::SkipEmptyParts), columns);
        return lines;
    }

    QString joinNonEmpty(const QStringList& parts, const QString& separator)
    {
        QStringList kept;
        for (const QString& part : parts)
            if (!part.trimmed().isEmpty())
                kept << part.trimmed();
        return kept.join(separator);
    }

    QString formatPostalCode(const QString& cep)
    {
        bool digits = cep.size() == 8;
        for (QChar c : cep)
            digits = digits && c >= u'0' && c <= u'9';
        return digits ? cep.left(5) + u'-' + cep.mid(5) : cep;
    }

    QString signedMoney(QChar sign, const QString& value)
    {
        return sign + formatMoney(value);
    }

    // A discount or increase line is worth printing only when the document carries one that is not zero.
    bool hasAmount(const QString& value)
    {
        bool ok = false;
        const QString shown = formatMoney(value, &ok);
        return !value.trimmed().isEmpty() && (!ok || shown != QLatin1String("0,00"));
    }

} // namespace

struct Extract::Layout {
    struct Block {
        enum class Type { Text, Separator, Code128, QrCode, Gap };
        Type type = Type::Text;
        QString text;
        bool bold = false;
        BarcodeSymbol symbol;
        double moduleUnits = 0;
        bool rotated = false; // a Code 128 running down the paper
        double top = 0;
        double height = 0;
    };

    int paperWidthMm = kPaperWidth80;
    Geometry geometry {48, 4.0};
    QString key;
    std::optional<SaleCancellation> cancelled;
    double lineHeight = 0;
    double ascent = 0;
    QList<Block> blocks;
    double height = 0;

    double widthUnits() const { return paperWidthMm * kUnitsPerMm; }
    double printableUnits() const { return (paperWidthMm - 2 * geometry.marginMm) * kUnitsPerMm; }
    int columns() const { return geometry.columns; }

    void add(Block block, double height)
    {
        block.top = this->height;
        block.height = height;
        this->height += height;
        blocks.append(block);
    }

    void line(const QString& text, bool bold = false)
    {
        Block b;
        // Values shown as carried (a malformed amount, say) may still hold control characters.
        b.text = plainLines(text).join(u' ');
        b.bold = bold;
        add(b, lineHeight);
    }

    void text(const QString& text, Align align = Align::Left, bool bold = false)
    {
        for (const QString& l : wrapText(text, columns()))
            line(aligned(l, align), bold);
    }

    void pieces(const QStringList& parts, Align align, bool bold = false)
    {
        for (const QString& l : wrapPieces(parts, columns()))
            line(aligned(l, align), bold);
    }

    QString aligned(const QString& text, Align align) const
    {
        const int room = std::max(0, columns() - int(text.size()));
        if (align == Align::Center)
            return QString(room / 2, u' ') + text;
        if (align == Align::Right)
            return QString(room, u' ') + text;
        return text;
    }

    // A label on the left and a value on the right of the same line; a label too long for that line wraps and the
    // value ends the last of its lines, or one of its own.
    void pair(const QString& label, const QString& value, bool bold = false, int indent = 0)
    {
        const QString pad(indent, u' ');
        QStringList lines = wrapText(label, columns() - indent);
        if (lines.isEmpty())
            lines << QString();
        const QString shownValue = value.left(columns());
        for (int i = 0; i < lines.size() - 1; ++i)
            line(pad + lines.at(i), bold);
        const QString last = pad + lines.last();
        if (last.size() + 1 + shownValue.size() <= columns()) {
            line(last + QString(columns() - last.size() - shownValue.size(), u' ') + shownValue, bold);
        } else {
            line(last, bold);
            line(aligned(shownValue, Align::Right), bold);
        }
    }

    void separator()
    {
        Block b;
        b.type = Block::Type::Separator;
        add(b, lineHeight);
    }

    void gap(double mm)
    {
        Block b;
        b.type = Block::Type::Gap;
        add(b, mm * kUnitsPerMm);
    }

    void code128(const QString& key)
    {
        BarcodeSymbol symbol = encodeCode128(key, 50);
        if (!symbol.valid) {
            text(QStringLiteral("(código de barras indisponível: a chave não pôde ser codificada)"), Align::Center);
            return;
        }
        // The bars stay within the printable width; the quiet zones may take up the paper's blank margins.
        Block b;
        b.type = Block::Type::Code128;
        b.symbol = symbol;
        const double modules = symbol.width + 2 * kCode128QuietModules;
        b.moduleUnits = std::min({kMaxModuleMm * kUnitsPerMm, widthUnits() / modules, printableUnits() / symbol.width});
        gap(1);
        if (b.moduleUnits >= kMinModuleMm * kUnitsPerMm) {
            add(b, kCode128HeightMm * kUnitsPerMm);
        } else {
            // The 44 digits need about 300 modules: across 58 mm paper they would be too thin for a phone or a
            // scanner, so the symbol runs along the paper instead, still one symbol with the whole key.
            b.rotated = true;
            b.moduleUnits = kRotatedModuleMm * kUnitsPerMm;
            add(b, b.moduleUnits * modules);
        }
        gap(1);
    }

    void qrCode(const QString& content, const QString& note)
    {
        BarcodeSymbol symbol = encodeQrCode(content);
        if (!symbol.valid) {
            // zint refuses texts past a QR code's capacity (a forged signature of kilobytes, say).
            text(QStringLiteral("(QR Code indisponível: o texto excede o que um QR Code comporta)"), Align::Center);
            return;
        }
        Block b;
        b.type = Block::Type::QrCode;
        const double modules = symbol.width + 2 * kQrQuietModules;
        b.moduleUnits = std::min(std::max(kQrSideMm * kUnitsPerMm / modules, kMinQrModuleMm * kUnitsPerMm),
                                 printableUnits() / modules);
        b.symbol = symbol;
        gap(1);
        add(b, b.moduleUnits * (symbol.height + 2 * kQrQuietModules));
        gap(1);
        // The consumer is told, under the code, how to read it, in the words of the receipt's own state.
        if (!note.isEmpty())
            text(note, Align::Center);
    }

    // The key in groups of four: two even lines (6 and 5 groups) read better than ten groups and a straggler.
    void keyGroups(const QString& key)
    {
        const QStringList groups = formatKey(key).split(u' ');
        if (groups.size() == 11 && formatKey(key).size() > columns()) {
            pieces(groups.mid(0, 6), Align::Center);
            pieces(groups.mid(6), Align::Center);
        } else {
            pieces(groups, Align::Center);
        }
    }
};

namespace {

    using Layout = Extract::Layout;

    void addTestMark(Layout& l, const CfeReceipt& r)
    {
        if (!r.testEnvironment)
            return;
        l.text(QStringLiteral("*** AMBIENTE DE TESTES ***"), Align::Center, true);
        l.text(QStringLiteral("DOCUMENTO SEM VALOR FISCAL"), Align::Center, true);
    }

    const QString kCancelledMark = QStringLiteral("*** CANCELADO ***");

    // At the head, the cancellation that voids the sale: its time and its key, to look it up by.
    void addCancellation(Layout& l)
    {
        if (!l.cancelled)
            return;
        l.text(kCancelledMark, Align::Center, true);
        const QString when = formatDateTime(l.cancelled->date, l.cancelled->time);
        l.text(when.isEmpty() ? QStringLiteral("Venda cancelada pelo CF-e-SAT de cancelamento")
                              : QStringLiteral("Venda cancelada em %1 pelo CF-e-SAT de cancelamento").arg(when),
               Align::Center);
        if (!l.cancelled->key.isEmpty())
            l.keyGroups(l.cancelled->key);
        l.separator();
    }

    void addHeader(Layout& l, const CfeReceipt& r, const QString& title)
    {
        addTestMark(l, r);
        if (r.testEnvironment)
            l.separator();
        addCancellation(l);
        l.text(r.issuerDisplayName(), Align::Center, true);
        if (!r.tradeName.isEmpty() && !r.name.isEmpty() && r.name != r.tradeName)
            l.text(r.name, Align::Center);
        const CfeAddress& a = r.address;
        l.text(joinNonEmpty({a.street, a.number, a.complement}, QStringLiteral(", ")), Align::Center);
        const QString district = joinNonEmpty({a.district, a.city}, QStringLiteral(" - "));
        const QString cep
            = a.postalCode.isEmpty() ? QString() : QStringLiteral("CEP %1").arg(formatPostalCode(a.postalCode));
        const QString place = joinNonEmpty({district, cep}, QStringLiteral(" - "));
        if (place.size() <= l.columns()) {
            l.text(place, Align::Center);
        } else {
            l.text(district, Align::Center);
            l.text(cep, Align::Center);
        }
        QStringList ids;
        if (!r.cnpj.isEmpty())
            ids << QStringLiteral("CNPJ %1").arg(formatCnpj(r.cnpj));
        if (!r.ie.isEmpty())
            ids << QStringLiteral("IE %1").arg(r.ie);
        if (!r.im.isEmpty())
            ids << QStringLiteral("IM %1").arg(r.im);
        l.pieces(ids, Align::Center);
        l.separator();
        if (!r.number.isEmpty())
            l.text(QStringLiteral("Extrato No. %1").arg(formatExtractNumber(r.number)), Align::Center, true);
        l.text(title, Align::Center, true);
        l.separator();
    }

    void addConsumer(Layout& l, const CfeReceipt& r)
    {
        if (r.consumerId.isEmpty() && r.consumerName.isEmpty())
            return;
        if (!r.consumerId.isEmpty())
            l.pieces({QStringLiteral("CPF/CNPJ do Consumidor:"), formatConsumerId(r.consumerId)}, Align::Left);
        if (!r.consumerName.isEmpty())
            l.text(QStringLiteral("Razão Social/Nome: %1").arg(r.consumerName));
        l.separator();
    }

    void addItems(Layout& l, const CfeReceipt& r)
    {
        if (r.items.isEmpty())
            return;
        l.pieces({QStringLiteral("#"), QStringLiteral("COD"), QStringLiteral("DESC"), QStringLiteral("QTD"),
                  QStringLiteral("UN"), QStringLiteral("VL UN R$"), QStringLiteral("VL ITEM R$")},
                 Align::Left, true);
        l.separator();
        for (const CfeItem& item : r.items) {
            const QString number = item.number.size() < 3 ? item.number.rightJustified(3, u'0') : item.number;
            l.text(joinNonEmpty({number, item.code, item.description}, QStringLiteral(" ")));
            const QString quantity = joinNonEmpty({formatQuantity(item.quantity), item.unit}, QStringLiteral(" "));
            const QString value = item.productValue.isEmpty() ? item.itemValue : item.productValue;
            l.pair(joinNonEmpty(
                       {quantity,
                        item.unitPrice.isEmpty() ? QString() : QStringLiteral("X ") + formatUnitPrice(item.unitPrice)},
                       QStringLiteral(" ")),
                   formatMoney(value), false, 4);
            if (hasAmount(item.discount))
                l.pair(QStringLiteral("desconto sobre item"), signedMoney(u'-', item.discount), false, 4);
            if (hasAmount(item.increase))
                l.pair(QStringLiteral("acréscimo sobre item"), signedMoney(u'+', item.increase), false, 4);
            if (hasAmount(item.discountApportioned))
                l.pair(QStringLiteral("rateio de desconto sobre subtotal"), signedMoney(u'-', item.discountApportioned),
                       false, 4);
            if (hasAmount(item.increaseApportioned))
                l.pair(QStringLiteral("rateio de acréscimo sobre subtotal"),
                       signedMoney(u'+', item.increaseApportioned), false, 4);
        }
        l.gap(1);
    }

    void addTotals(Layout& l, const CfeReceipt& r)
    {
        bool adjusted = hasAmount(r.subtotalDiscount) || hasAmount(r.subtotalIncrease);
        for (const CfeItem& item : r.items)
            adjusted = adjusted || hasAmount(item.discount) || hasAmount(item.increase);
        if (adjusted && !r.productsTotal.isEmpty())
            l.pair(QStringLiteral("Total bruto de itens"), formatMoney(r.productsTotal));
        if (hasAmount(r.subtotalDiscount))
            l.pair(QStringLiteral("Desconto sobre subtotal"), signedMoney(u'-', r.subtotalDiscount));
        if (hasAmount(r.subtotalIncrease))
            l.pair(QStringLiteral("Acréscimo sobre subtotal"), signedMoney(u'+', r.subtotalIncrease));
        if (!r.total.isEmpty())
            l.pair(QStringLiteral("TOTAL R$"), formatMoney(r.total), true);
        for (const CfePayment& payment : r.payments)
            l.pair(paymentMethodName(payment.method), formatMoney(payment.amount));
        if (!r.change.isEmpty())
            l.pair(QStringLiteral("Troco R$"), formatMoney(r.change));
        l.separator();
    }

    void addNotes(Layout& l, const CfeReceipt& r)
    {
        if (!r.notes.trimmed().isEmpty()) {
            l.text(QStringLiteral("OBSERVAÇÕES DO CONTRIBUINTE"), Align::Left, true);
            l.text(r.notes);
        }
        if (!r.approximateTaxes.isEmpty())
            l.pair(QStringLiteral("Valor aproximado dos tributos deste cupom (conforme Lei Fed. 12.741/2012) R$"),
                   formatMoney(r.approximateTaxes));
        if (!r.notes.trimmed().isEmpty() || !r.approximateTaxes.isEmpty())
            l.separator();
    }

    // SAT number, date and time, the key in groups and its barcode; the QR code only where its signature is known.
    void addIdentification(Layout& l, const QString& serial, const QString& date, const QString& time,
                           const QString& key, const QString& qrText, const QString& qrNote)
    {
        if (!serial.isEmpty())
            l.text(QStringLiteral("SAT No. %1").arg(formatSerial(serial)), Align::Center, true);
        const QString when = formatDateTime(date, time);
        if (!when.isEmpty())
            l.text(when, Align::Center);
        if (!key.isEmpty())
            l.keyGroups(key);
        if (isAccessKey(key))
            l.code128(key);
        if (!qrText.isEmpty())
            l.qrCode(qrText, qrNote);
    }

    void buildSale(Layout& l, const CfeReceipt& r)
    {
        addHeader(l, r, QStringLiteral("CUPOM FISCAL ELETRÔNICO - SAT"));
        addConsumer(l, r);
        addItems(l, r);
        addTotals(l, r);
        addNotes(l, r);
        addTestMark(l, r);
        // Again beside the footer, so that no torn-off part of the paper passes for a valid sale.
        if (l.cancelled)
            l.text(kCancelledMark, Align::Center, true);
        addIdentification(l, r.serial, r.date, r.time, r.key, qrCodeText(r), qrCodeConsultationNote(r));
    }

    void buildCancellation(Layout& l, const CfeReceipt& r)
    {
        addHeader(l, r, QStringLiteral("CUPOM FISCAL ELETRÔNICO - SAT CANCELAMENTO"));
        l.text(QStringLiteral("DADOS DO CUPOM FISCAL ELETRÔNICO CANCELADO"), Align::Center, true);
        addConsumer(l, r);
        if (!r.total.isEmpty())
            l.pair(QStringLiteral("TOTAL R$"), formatMoney(r.total), true);
        // The cancelled sale's serial is part of its key; its QR code needs a signature only the sale carries.
        const QString saleSerial = isAccessKey(r.cancelledKey) ? r.cancelledKey.mid(22, 9) : QString();
        addIdentification(l, saleSerial, r.cancelledDate, r.cancelledTime, r.cancelledKey, QString(), QString());
        l.separator();
        l.text(QStringLiteral("DADOS DO CUPOM FISCAL ELETRÔNICO DE CANCELAMENTO"), Align::Center, true);
        addNotes(l, r);
        addTestMark(l, r);
        addIdentification(l, r.serial, r.date, r.time, r.key, qrCodeText(r), qrCodeConsultationNote(r));
    }

    // Bars land on whole device pixels when painting into an image, so a raster view has no grey, blurred edges.
    // A QR code's modules round down, so that it keeps within its block. A Code 128's round to the nearest
    // pixel while the bars still fit across the paper (its quiet zones may reach into the margins): rounding
    // 1.9 pixels down to one would halve the bars and leave them too thin to read.
    double snappedModule(QPainter* painter, double moduleUnits, double roundedSpanModules, double spanUnits)
    {
        const int type = painter->device() ? painter->device()->devType() : 0;
        if (type != QInternal::Image && type != QInternal::Pixmap)
            return moduleUnits;
        const double scale = painter->deviceTransform().m11();
        if (scale <= 0)
            return moduleUnits;
        const double ideal = moduleUnits * scale;
        double pixels = std::max(1.0, std::floor(ideal));
        if (roundedSpanModules > 0 && std::round(ideal) > pixels
            && std::round(ideal) * roundedSpanModules <= spanUnits * scale)
            pixels = std::round(ideal);
        return pixels / scale;
    }

    double snapped(QPainter* painter, double units)
    {
        const double scale = painter->deviceTransform().m11();
        return scale > 0 ? std::round(units * scale) / scale : units;
    }

    void paintSymbol(QPainter* painter, const Layout& l, const Layout::Block& b, int quietModules)
    {
        const bool isQr = b.type == Layout::Block::Type::QrCode;
        // A rotated Code 128 runs along the paper, whose length follows the content.
        const double span = b.rotated ? std::numeric_limits<double>::max() : l.widthUnits();
        const double module
            = snappedModule(painter, b.moduleUnits, isQr ? 0.0 : b.symbol.width + 2.0 * quietModules, span);
        const double width = module * (b.symbol.width + 2 * quietModules);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::black);
        if (b.rotated) {
            const double length = std::min(kCode128HeightMm * kUnitsPerMm * 2.5, l.printableUnits());
            const double left = snapped(painter, (l.widthUnits() - length) / 2);
            const double top = snapped(painter, b.top) + module * quietModules;
            const double across = length / std::max(1.0, b.symbol.height);
            for (const QRectF& bar : b.symbol.bars)
                painter->drawRect(QRectF(left + bar.y() * across, top + bar.x() * module, bar.height() * across,
                                         bar.width() * module));
        } else {
            const double left = snapped(painter, (l.widthUnits() - width) / 2) + module * quietModules;
            const double top = snapped(painter, b.top + (isQr ? module * quietModules : 0));
            // A Code 128 fills its block's height whatever height zint gave its bars.
            const double yScale = isQr ? module : b.height / std::max(1.0, b.symbol.height);
            for (const QRectF& bar : b.symbol.bars)
                painter->drawRect(QRectF(left + bar.x() * module, top + bar.y() * yScale, bar.width() * module,
                                         bar.height() * yScale));
        }
        painter->restore();
    }

    void paintBlock(QPainter* painter, const Layout& l, const Layout::Block& b, const QFont& regular, const QFont& bold)
    {
        const double left = l.geometry.marginMm * kUnitsPerMm;
        switch (b.type) {
        case Layout::Block::Type::Text:
            painter->setFont(b.bold ? bold : regular);
            painter->setPen(Qt::black);
            painter->drawText(QPointF(left, b.top + l.ascent), b.text);
            break;
        case Layout::Block::Type::Separator: {
            QPen pen(Qt::black, 0.2 * kUnitsPerMm, Qt::CustomDashLine, Qt::FlatCap);
            pen.setDashPattern({4, 3});
            painter->setPen(pen);
            const double y = b.top + b.height / 2;
            painter->drawLine(QPointF(left, y), QPointF(left + l.printableUnits(), y));
            break;
        }
        case Layout::Block::Type::Code128:
            paintSymbol(painter, l, b, kCode128QuietModules);
            break;
        case Layout::Block::Type::QrCode:
            paintSymbol(painter, l, b, kQrQuietModules);
            break;
        case Layout::Block::Type::Gap:
            break;
        }
    }

    // Pages end at block boundaries; only a block taller than a page (none is) would be split.
    QList<QPair<double, double>> pageRanges(const Layout& l, double maxPageUnits)
    {
        QList<QPair<double, double>> pages;
        double start = 0;
        for (const Layout::Block& b : l.blocks) {
            if (b.top + b.height - start > maxPageUnits && b.top > start) {
                pages.append({start, b.top});
                start = b.top;
            }
        }
        pages.append({start, l.height});
        return pages;
    }

    // "CANCELADO" drawn large and slanted across a cancelled sale, in outline so that the lines under it still
    // read; kept off the barcodes, which must still scan.
    void paintStamps(QPainter* painter, const Layout& l)
    {
        constexpr double kSlantDegrees = 30.0;
        constexpr double kStampEveryMm = 120.0;
        const QString word = QStringLiteral("CANCELADO");
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(1000);
        font.setHintingPreference(QFont::PreferNoHinting);
        const QFontMetricsF probe(font);
        const double angle = qDegreesToRadians(kSlantDegrees);
        const double across = probe.horizontalAdvance(word) * std::cos(angle) + probe.height() * std::sin(angle);
        if (across <= 0)
            return;
        font.setPixelSize(std::max(1, int(1000.0 * l.printableUnits() / across)));
        const QFontMetricsF metrics(font);
        QPainterPath stamp;
        stamp.addText(-metrics.horizontalAdvance(word) / 2, (metrics.ascent() - metrics.descent()) / 2, font, word);

        // The stamps go over the body, above the first symbol: the header, the items and the totals.
        QPainterPath open;
        open.addRect(QRectF(0, 0, l.widthUnits(), l.height));
        double body = l.height;
        for (const Layout::Block& b : l.blocks)
            if (b.type == Layout::Block::Type::Code128 || b.type == Layout::Block::Type::QrCode) {
                body = std::min(body, b.top);
                QPainterPath symbol;
                symbol.addRect(QRectF(0, b.top, l.widthUnits(), b.height));
                open = open.subtracted(symbol);
            }
        painter->save();
        painter->setClipPath(open, Qt::IntersectClip);
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(Qt::black, 0.3 * kUnitsPerMm));
        painter->setBrush(Qt::NoBrush);
        const int count = std::max(1, int(body / (kStampEveryMm * kUnitsPerMm)));
        for (int i = 0; i < count; ++i) {
            painter->save();
            painter->translate(l.widthUnits() / 2, (i + 0.5) * body / count);
            painter->rotate(-kSlantDegrees);
            painter->drawPath(stamp);
            painter->restore();
        }
        painter->restore();
    }

    void paintRange(QPainter* painter, const Layout& l, double from, double to)
    {
        const double dpiX = painter->device() ? painter->device()->logicalDpiX() : 96;
        const double dpiY = painter->device() ? painter->device()->logicalDpiY() : 96;
        painter->save();
        painter->scale(dpiX / 25.4 / kUnitsPerMm, dpiY / 25.4 / kUnitsPerMm);
        painter->translate(0, -from);
        const QFont regular = extractFont(false);
        const QFont bold = extractFont(true);
        for (const Layout::Block& b : l.blocks)
            if (b.top >= from && b.top < to)
                paintBlock(painter, l, b, regular, bold);
        if (l.cancelled) {
            // Only this page's part of the stamps: the next page has the rest.
            painter->setClipRect(QRectF(0, from, l.widthUnits(), to - from), Qt::IntersectClip);
            paintStamps(painter, l);
        }
        painter->restore();
    }

} // namespace

Extract::Extract(const CfeReceipt& receipt, int paperWidthMm, const std::optional<SaleCancellation>& cancelled)
    : layout_(std::make_unique<Layout>())
{
    Layout& l = *layout_;
    l.key = receipt.key;
    // Only a sale is voided by a cancellation; a cancellation's own extract already says what it is.
    if (receipt.kind == CfeReceipt::Kind::Sale)
        l.cancelled = cancelled;
    l.paperWidthMm = isSupportedPaperWidth(paperWidthMm) ? paperWidthMm : kPaperWidth80;
    l.geometry = geometryFor(l.paperWidthMm);
    const QFontMetricsF metrics(extractFont(false));
    l.lineHeight = std::ceil(metrics.height());
    l.ascent = metrics.ascent();
    l.gap(kVerticalMarginMm);
    if (receipt.kind == CfeReceipt::Kind::Cancellation)
        buildCancellation(l, receipt);
    else
        buildSale(l, receipt);
    l.gap(kVerticalMarginMm);
}

Extract::~Extract() = default;

int Extract::paperWidthMm() const
{
    return layout_->paperWidthMm;
}

QSizeF Extract::sizeMm() const
{
    return QSizeF(layout_->paperWidthMm, layout_->height / kUnitsPerMm);
}

QString Extract::key() const
{
    return layout_->key;
}

bool Extract::markedCancelled() const
{
    return layout_->cancelled.has_value();
}

QStringList Extract::textLines() const
{
    QStringList lines;
    for (const Layout::Block& b : layout_->blocks)
        if (b.type == Layout::Block::Type::Text)
            lines << b.text;
    return lines;
}

void Extract::paint(QPainter* painter) const
{
    if (painter && painter->isActive())
        paintRange(painter, *layout_, 0, layout_->height);
}

QList<QPair<double, double>> Extract::pageSpansMm(double maxPageMm) const
{
    QList<QPair<double, double>> spans;
    for (const auto& range : pageRanges(*layout_, maxPageMm * kUnitsPerMm))
        spans.append({range.first / kUnitsPerMm, range.second / kUnitsPerMm});
    return spans;
}

void Extract::paintSpan(QPainter* painter, double fromMm, double toMm) const
{
    if (painter && painter->isActive())
        paintRange(painter, *layout_, fromMm * kUnitsPerMm, toMm * kUnitsPerMm);
}

QString qrCodeConsultationNote(const CfeReceipt& receipt)
{
    // Each state's sentence as its own tax authority's documents give it. Ceará's (23) give none that could be read,
    // so its receipts, like any other state's, get no sentence rather than São Paulo's.
    static const QHash<QString, QString> notes {
        {QStringLiteral("35"),
         QStringLiteral("Consulte o QR Code pelo aplicativo \"De olho na nota\", disponível na AppStore (Apple) e "
                        "PlayStore (Android)")},
    };
    return notes.value(receiptState(receipt));
}

QImage renderExtract(const CfeReceipt& receipt, int paperWidthMm, int dpi)
{
    return renderExtract(Extract(receipt, paperWidthMm), dpi);
}

QImage renderExtract(const Extract& extract, int dpi)
{
    const QSizeF mm = extract.sizeMm();
    // A raster engine's coordinates stay within 32767 pixels: a very long extract is drawn at a lower resolution.
    const double maxDpi = 32000.0 * 25.4 / std::max(mm.width(), mm.height());
    const double effective = std::clamp(double(dpi), 24.0, std::max(24.0, std::min(1200.0, maxDpi)));
    const QSize pixels(int(std::ceil(mm.width() / 25.4 * effective)), int(std::ceil(mm.height() / 25.4 * effective)));
    QImage image(pixels, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.setDotsPerMeterX(int(std::lround(effective / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(effective / 0.0254)));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    extract.paint(&painter);
    painter.end();
    return image;
}

bool writeExtractPdf(const CfeReceipt& receipt, int paperWidthMm, const QString& path, QString* error)
{
    return writeExtractPdf(Extract(receipt, paperWidthMm), path, error);
}

bool writeExtractPdf(const Extract& extract, const QString& path, QString* error)
{
    ExtractPdfWriter pdf(path, QStringLiteral("Extrato do CF-e-SAT %1").arg(extract.key()));
    if (!pdf.open(error))
        return false;
    pdf.add(extract);
    return pdf.commit(error);
}

bool printExtract(const CfeReceipt& receipt, int paperWidthMm, QPrinter* printer, QString* error)
{
    return printExtract(Extract(receipt, paperWidthMm), printer, error);
}

bool printExtract(const Extract& extract, QPrinter* printer, QString* error)
{
    ExtractPrintJob job(printer);
    return job.add(extract, error) && job.finish(error);
}

} // namespace satresults
