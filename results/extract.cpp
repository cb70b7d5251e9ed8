#include "extract.h"
#include <QPrinter>
namespace satresults {
struct Extract::Layout { int width = 80; };
Extract::Extract(const CfeReceipt&, int w) : layout_(new Layout{w}) {}
Extract::~Extract() = default;
int Extract::paperWidthMm() const { return layout_->width; }
QSizeF Extract::sizeMm() const { return {}; }
QStringList Extract::textLines() const { return {}; }
void Extract::paint(QPainter*) const {}
QImage renderExtract(const CfeReceipt&, int, int) { return {}; }
bool writeExtractPdf(const CfeReceipt&, int, const QString&, QString*) { return false; }
bool printExtract(const CfeReceipt&, int, QPrinter*, QString*) { return false; }
}
