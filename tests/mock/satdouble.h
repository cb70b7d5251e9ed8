#pragma once

// A recording stand-in for dllsat. Window tests link it instead of the
// emulator: they script what the next calls return and read back every call
// with its arguments exactly as the library received them.

#include <QByteArray>
#include <QList>

#include <functional>

namespace SatDouble {

struct Call {
    QByteArray function;
    QList<QByteArray> arguments; // text arguments as received; int arguments in decimal
    int session() const { return arguments.value(0).toInt(); }
};

// Forgets the calls, the scripted outcomes and the hook.
void reset();

// The outcome of the next call not yet scripted: error record code and
// message, and the answer. A message of 300 bytes or more fills the record's
// field whole, with no NUL. Unscripted calls answer code 0, message
// "00000 - sem roteiro" and answer "0|00000|sem roteiro||".
void script(int code, const QByteArray& message, const QByteArray& answer);

// Runs during every call, after it is recorded and before it returns.
void onCall(std::function<void()> hook);

QList<Call> calls();

} // namespace SatDouble
