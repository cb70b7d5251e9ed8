#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class OperationalStatus;

// Writing the status and the log to files the user chose.
namespace ResultFiles {

// Writes data to path through QSaveFile: the file appears whole or not at all, and an existing file is kept
// until the new one is complete. On failure returns false and sets error to a Portuguese reason.
bool write(const QString& path, const QByteArray& data, QString* error);

// "sat-log-<série>-<AAAAMMDD-hhmmss>.txt"; without a usable series "sat-log-<AAAAMMDD-hhmmss>.txt".
QString logFileName(const QString& serial, const QDateTime& when);
// "sat-status-<série>-<AAAAMMDD-hhmmss>" followed by extension (".txt", ".csv").
QString statusFileName(const QString& serial, const QDateTime& when, const QString& extension);

// One "label: value" line per field, the summary first and the raw answer last; UTF-8.
QByteArray statusAsText(const OperationalStatus& status);
// Campo,Valor,Situação with RFC 4180 quoting and CRLF; UTF-8 with a byte-order mark so spreadsheets read the
// accents right.
QByteArray statusAsCsv(const OperationalStatus& status);
// One CSV field, quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& text);

} // namespace ResultFiles
