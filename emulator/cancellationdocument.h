#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace satemu {

// A cancellation document (root CFeCanc/infCFe with the attribute chCanc), read and checked.
class CancellationDocument {
public:
    static constexpr size_t kMaximumSize = 64 * 1024;

    // False with a short reason when the text is not a well-formed cancellation of the expected structure. The
    // reason may carry libxml2's own wording; the device makes it one ASCII line.
    static bool parse(const char* data, size_t size, CancellationDocument& out, std::string& error);

    std::string cancelledKey; // the 44 digits after "CFe" in chCanc
    std::string softwareHouseCnpj;
    std::string signature;
    std::string cashRegister;
};

} // namespace satemu
