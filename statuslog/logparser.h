#pragma once

#include <QByteArray>
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

// The same lines in the bytes the device sent, each with its own line end: the n-th is parseDeviceLog's n-th line
// of the decoded text, since neither UTF-8 nor Windows-1252 has a CR or LF byte inside another character.
QList<QByteArray> deviceLogLineBytes(const QByteArray& bytes);
