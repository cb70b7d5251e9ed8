#pragma once

#include <QList>
#include <QString>

// One line of the device's log. Lines of the form AAAAMMDDhhmmss|origem|nível|texto are split into their parts;
// any other line keeps its whole text as the message, so nothing is hidden.
struct LogLine {
    QString when; // dd/mm/aaaa hh:mm:ss, empty for a line of another form
    QString origin;
    QString level;
    QString message;
};

// CRLF, LF and CR all end a line; the empty text after a final line end is no line.
QList<LogLine> parseDeviceLog(const QString& text);
