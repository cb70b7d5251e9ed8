#pragma once

// The two symbols of the extract, encoded by libzint and kept as module rectangles so that they can be painted
// crisply at any size.

#include <QList>
#include <QRectF>
#include <QString>

namespace satresults {

struct BarcodeSymbol {
    bool valid = false;
    QString error; // libzint's message when !valid
    double width = 0; // in modules, no quiet zones (the extract adds its own)
    double height = 0; // in modules (Code 128: the bar height given to encode)
    QList<QRectF> bars; // dark rectangles, in modules
};

// Code 128 of the key's digits; all digits, so libzint encodes them in subset C.
BarcodeSymbol encodeCode128(const QString& digits, double barHeightModules);
BarcodeSymbol encodeQrCode(const QString& text);

} // namespace satresults
