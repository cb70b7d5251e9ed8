#pragma once

#include "layoutcheck.h"

#include <cstddef>
#include <memory>
#include <string>

struct _xmlDoc;

namespace satemu {

// A cancellation document (root CFeCanc/infCFe with the attribute chCanc), read and checked.
class CancellationDocument {
public:
    static constexpr size_t kMaximumSize = 64 * 1024;

    // False with a short reason when the text is not a well-formed cancellation of the expected structure. The
    // reason may carry libxml2's own wording; the device makes it one ASCII line. Structure only, leniently: an
    // issued cancellation CF-e reads back with it.
    static bool parse(const char* data, size_t size, CancellationDocument& out, std::string& error);
    // A cancellation request: its data-entry layout (CancellationValidation) first; a refusal carries its code.
    static bool parseRequest(const char* data, size_t size, CancellationDocument& out, Rejection& rejection);
    // What parseRequest runs, adding what it finds to faults; false when there is any.
    static bool checkRequest(const char* data, size_t size, CancellationDocument& out, Faults& faults);

    std::string cancelledKey; // the 44 digits after "CFe" in chCanc
    std::string softwareHouseCnpj;
    std::string signature;
    std::string cashRegister;

private:
    static bool read(const _xmlDoc* doc, CancellationDocument& out, std::string& error);
};

} // namespace satemu
