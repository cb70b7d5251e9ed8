#pragma once

#include "sat/dllsat.h"

#include <QByteArray>
#include <QString>

class QWidget;

// How a command tells the operator the outcome of its library call. Every box
// is a static, modal QMessageBox with the main window as parent and Ok alone.

// The record's message, never read past its 300 bytes even without a NUL.
QByteArray recordMessage(const ErroSAT& record);

// "%s [%x]" of the record's message and code; a negative code prints as its
// 32-bit two's complement.
QByteArray formattedText(const ErroSAT& record);

// The transport failures that the formatted report shows in a critical box.
bool isTransportFailure(int code);

// Fixed-message report: codes 1, 4, 0x8000 and 0x8001 show their fixed
// message in a critical box titled `title`, and the command must end (returns
// false); any other code shows `information` in an information box titled
// `informationTitle`, or `title` when that is empty (returns true).
bool fixedMessageReport(QWidget* parent, const ErroSAT& record, const QString& title, const QString& information,
                        const QString& informationTitle = QString());

// Formatted report: codes 1, 0x8000 and 0x8001 show the formatted text, read
// as UTF-8, in a critical box; any other code shows `information` in an
// information box. Both are titled `title`.
void formattedReport(QWidget* parent, const ErroSAT& record, const QString& title, const QString& information);

// Right after a library call: when the call gave no usable answer (the library lacks the function, answered null,
// or its process died or was ended), a critical box names the function and the library and says what happened,
// and the command must end there (returns true).
bool libraryCallFailed(QWidget* parent);
