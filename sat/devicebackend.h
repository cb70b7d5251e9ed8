#pragma once

// What runs the device library's calls: in the tool's own process (InProcessBackend) or in a host process of its
// own (HostBackend). SatDevice holds one and does not care which.

#include "dllsat.h"
#include "satcall.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct LibraryReport {
    QString path;
    bool loaded = false;
    QString problem; // in Portuguese, when it did not load
    int bits = 0;
    quint32 functions = 0; // bit n: it has SatFunction(n)
    bool hasErrorRecord = false; // it has CodigoErro
    bool isEmulator = false;

    bool has(SatFunction function) const { return functions & (1u << static_cast<int>(function)); }
};

struct CallOutcome {
    enum class Status {
        Answered,
        NullAnswer, // the function returned a null pointer
        MissingFunction, // nothing was called
        NotLoaded, // no library: nothing was called, `detail` says why
        NotSent, // the call was refused before it left the tool: `detail` says why
        Failed, // the call was made, or may have been, and its answer was lost: `detail` says how
    };
    Status status = Status::Answered;
    QByteArray answer;
    std::optional<ErroSAT> record; // CodigoErro's, when the library has it
    QString detail; // Failed: what happened, in Portuguese
};

class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;

    // Loads the library, waiting for the outcome.
    virtual LibraryReport load(const QString& path) = 0;
    // One call; the library must have been loaded.
    virtual CallOutcome call(const SatCall& call) = 0;
};
