#pragma once

// A library call that gave no usable answer: the function is missing, no library is loaded, the answer was null
// or empty, or the library's process died or was ended. The device layer records it during the call; the command
// that made the call reports it and ends, touching nothing else.

#include <QString>

#include <optional>

struct CallFailure {
    QString function;
    QString library; // the library's path
    QString what; // what happened, in Portuguese
    int session = 0;
    bool sent = false; // the call reached the library, or may have
    bool changesDevice = false;

    // The box's text: the function, the library, what happened, and for a call that may have changed the device,
    // how to learn whether it did.
    QString text() const;
};

void setCallFailure(const CallFailure& failure);
// The failure of the last call, if it failed; cleared as it is taken.
std::optional<CallFailure> takeCallFailure();
