#pragma once

#include "devicebackend.h"

#include <QLibrary>

#include <memory>

// The library in the tool's own process, through QLibrary: for a debugger, and for tests that record calls
// inside the tool. A crash or a hang of the library is the tool's. The library stays mapped until the process
// ends (QLibrary does not unload it): a device library may keep threads that would outlive an unload.
class InProcessBackend : public DeviceBackend {
public:
    LibraryReport load(const QString& path) override;
    CallOutcome call(const SatCall& call) override;

private:
    std::unique_ptr<QLibrary> library;
    void* functions[SatFunctionCount] = {};
    ErroSAT(DLLSAT_CALL* errorRecord)() = nullptr;
};
