// The extract from a receipt nobody vouches for (the library that issued it may be a vendor's): parsing never
// fails without a message, a parsed receipt lays out on both paper widths within the character grid, and painting
// it, barcodes included, never crashes.
#include "cfeformat.h"
#include "cfereceipt.h"
#include "extract.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkMoney(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{1,3}(\\.\\d{3})*,\\d\\d$"));
    bool ok = false;
    const QString shown = satresults::formatMoney(text, &ok);
    check(ok ? shape.match(shown).hasMatch() : shown == text);
}

} // namespace

// fontconfig, looking up a fallback font for a script the monospace font lacks (found by this target with CJK
// text), keeps allocations nothing frees: a library that is not ours, suppressed for this target only.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Fonts need a QGuiApplication; nothing here needs a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_extract";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const satresults::CfeParseResult parsed = satresults::parseCfeReceipt(xml);
    check(parsed.ok != !parsed.error.isEmpty());
    if (!parsed.ok)
        return 0;
    const satresults::CfeReceipt& r = parsed.receipt;
    check(satresults::isAccessKey(r.key));
    check(satresults::qrCodeText(r).startsWith(r.key + QLatin1Char('|')));
    checkMoney(r.total);
    checkMoney(r.change);
    for (const satresults::CfeItem& item : r.items)
        checkMoney(item.productValue);

    for (int width : {satresults::kPaperWidth80, satresults::kPaperWidth58}) {
        const satresults::Extract extract(r, width);
        const int columns = width == satresults::kPaperWidth80 ? 48 : 32;
        for (const QString& line : extract.textLines())
            check(line.size() <= columns);
        const QSizeF mm = extract.sizeMm();
        check(mm.width() == width && mm.height() > 0);
        // A coarse raster keeps each run fast; the barcodes' modules still land on pixels.
        if (mm.height() > 2000)
            continue;
        QImage image(int(mm.width()), int(mm.height()), QImage::Format_Grayscale8);
        image.setDotsPerMeterX(1000);
        image.setDotsPerMeterY(1000);
        image.fill(Qt::white);
        QPainter painter(&image);
        extract.paint(&painter);
    }
    return 0;
}
