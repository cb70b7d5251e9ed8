#pragma once

#include <QByteArray>
#include <QString>

// Text from the device is 8-bit, and vendors send either UTF-8 or Windows-1252. Valid UTF-8 (ASCII included) is
// read as UTF-8, anything else as Windows-1252, whose bytes all map to a character, so none is ever lost.
QString decodeDeviceText(const QByteArray& bytes);
