#pragma once

#include <cstdint>
#include <string>

namespace satemu {

// A transport failure injected through SAT_EMULADOR_FALHA, so that the caller's error paths can be seen:
// 1 (port not connected), 4 (command not recognised), 8000 and 8001 (time-out, no CTS; hexadecimal, as the
// transport codes are usually shown, with or without "0x"). Any other value injects nothing.
class TransportFault {
public:
    static TransportFault fromEnvironment();
    static TransportFault fromText(const char* text);

    bool active() const { return m_code != 0; }
    int32_t code() const { return m_code; }
    std::string message() const;

private:
    int32_t m_code = 0;
};

} // namespace satemu
