#pragma once

/*
 * Keeping the status, the log and the session query's answer among the run's results. Each copies what it needs
 * at once (the library's answer and the decode buffer last only until the next call), reads nothing else and shows
 * nothing, so the commands do and show exactly what they did before.
 */

#include <QString>

#include <cstddef>

class QWidget;

// The operational status answer, whatever its code: the view shows the device's code and message when it is no
// status.
void keepStatus(QWidget* mainWindow, const QString& command, const char* answer);

// The decoded log, length bytes of decoded, with the answer it came in.
void keepLog(QWidget* mainWindow, const QString& command, const char* answer, const char* decoded, std::size_t length);

// The stored answer of an earlier session, kept as the kind it is: a status (28 fields, code 10000), a sale,
// cancellation or end-to-end test with its receipt, otherwise the raw answer.
void keepSessionAnswer(QWidget* mainWindow, const QString& command, const char* answer);
