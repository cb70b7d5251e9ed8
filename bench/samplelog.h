#pragma once

#include <QByteArray>

// Log-like ASCII lines, as a device keeps them, cut to exactly size bytes.
QByteArray sampleLog(qsizetype size);

// Base64 of the log as the device sends it: wrapped at 76 columns with CRLF,
// or as one unbroken line.
QByteArray sampleLogBase64(const QByteArray& log, bool wrapped);
