#pragma once

// The extract of a CF-e-SAT laid out as a thermal receipt and painted with QPainter, so the same code draws the
// on-screen view, the PDF and the printed paper.
//
// The layout is a column of blocks (text lines on a monospace grid, dashed separators, the key's Code 128 and the
// QR code) measured in millimetres. Its width is the paper's; its height follows the content. paint() draws at the
// physical size of the painter's device (its logical dpi), with the top-left corner at the painter's origin.
// Barcodes come from libzint. Building an Extract needs a QGuiApplication (fonts).

#include "cfereceipt.h"

#include <QImage>
#include <QList>
#include <QPair>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QPainter;
class QPrinter;

namespace satresults {

constexpr int kPaperWidth80 = 80;
constexpr int kPaperWidth58 = 58;

// The widths the layout is made for.
inline bool isSupportedPaperWidth(int widthMm)
{
    return widthMm == kPaperWidth80 || widthMm == kPaperWidth58;
}

class Extract {
public:
    // An unsupported width falls back to 80 mm. A sale known to be cancelled (from its cancellation's receipt, or
    // from wherever the cancellation is kept) carries "CANCELADO" across it, with the cancellation's key and time.
    explicit Extract(const CfeReceipt& receipt, int paperWidthMm = kPaperWidth80,
                     const std::optional<SaleCancellation>& cancelled = std::nullopt);
    ~Extract();
    Extract(const Extract&) = delete;
    Extract& operator=(const Extract&) = delete;

    int paperWidthMm() const;
    QSizeF sizeMm() const;
    QString key() const; // the receipt's own
    bool markedCancelled() const;

    // The lines of text in order, as painted (for tests and for copying as text).
    QStringList textLines() const;

    void paint(QPainter* painter) const;

    // The spans, in millimetres from the top, of the pages the extract needs where a page holds at most
    // maxPageMm; cut between blocks, so no line or symbol is split.
    QList<QPair<double, double>> pageSpansMm(double maxPageMm) const;
    // Paints the span from fromMm to toMm with its top at the painter's origin.
    void paintSpan(QPainter* painter, double fromMm, double toMm) const;

    struct Layout;

private:
    std::unique_ptr<Layout> layout_;
};

// The sentence printed under the QR code telling the consumer how to read it, as the issuing state's tax authority
// gives it; empty for a state whose documents give none, so that no state's app is printed on another's receipt.
QString qrCodeConsultationNote(const CfeReceipt& receipt);

// The extract as an image at dpi dots per inch, white background (for the on-screen view).
QImage renderExtract(const CfeReceipt& receipt, int paperWidthMm = kPaperWidth80, int dpi = 200);
// The same for an extract already laid out (a view that also wants its textLines()).
QImage renderExtract(const Extract& extract, int dpi = 200);

// One page as wide as the paper and as tall as the extract, written atomically; *error in Portuguese on failure.
bool writeExtractPdf(const CfeReceipt& receipt, int paperWidthMm, const QString& path, QString* error);
bool writeExtractPdf(const Extract& extract, const QString& path, QString* error);

// Prints on a printer the caller set up (e.g. through QPrintDialog): sets a custom page size of the paper's width
// and the extract's height, no margins; where the printer's page is shorter, the extract goes on over more pages.
// *error in Portuguese on failure.
bool printExtract(const CfeReceipt& receipt, int paperWidthMm, QPrinter* printer, QString* error);
bool printExtract(const Extract& extract, QPrinter* printer, QString* error);

} // namespace satresults
