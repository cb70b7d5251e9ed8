#pragma once

#include <string>

namespace satemu {

// The PKCS#10 certificate request the device hands over at activation, PEM-encoded. Its structure is real DER
// (a 2048-bit RSA key, SHA-256 with RSA); the key and the signature are pseudo-random stand-ins.
class CertificateRequest {
public:
    static std::string pem(const std::string& taxpayerCnpj, const std::string& serial, const std::string& seed);
};

} // namespace satemu
