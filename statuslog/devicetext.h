#pragma once

#include <QByteArray>
#include <QString>

// Text from the device is 8-bit: the emulator sends ASCII, a real device may send UTF-8 or Latin-1. Valid UTF-8
// (ASCII included) is read as UTF-8, anything else as Latin-1, so no byte is ever lost or replaced.
QString decodeDeviceText(const QByteArray& bytes);
