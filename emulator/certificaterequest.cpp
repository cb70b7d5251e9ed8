#include "certificaterequest.h"

#include "base64encoder.h"

#include <random>

namespace satemu {

namespace {

    using Bytes = std::string;

    Bytes der(unsigned char tag, const Bytes& content)
    {
        Bytes out(1, static_cast<char>(tag));
        const size_t size = content.size();
        if (size < 0x80) {
            out += static_cast<char>(size);
        } else if (size < 0x100) {
            out += '\x81';
            out += static_cast<char>(size);
        } else {
            out += '\x82';
            out += static_cast<char>(size >> 8 & 0xff);
            out += static_cast<char>(size & 0xff);
        }
        return out + content;
    }

    Bytes sequence(const Bytes& content)
    {
        return der(0x30, content);
    }

    Bytes attribute(const Bytes& oid, unsigned char stringTag, const std::string& value)
    {
        return der(0x31, sequence(der(0x06, oid) + der(stringTag, value)));
    }

    Bytes randomBytes(std::mt19937& generator, size_t count)
    {
        Bytes bytes(count, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(generator() & 0xff);
        return bytes;
    }

} // namespace

std::string CertificateRequest::pem(const std::string& taxpayerCnpj, const std::string& serial, const std::string& seed)
{
    std::seed_seq sequenceSeed(seed.begin(), seed.end());
    std::mt19937 generator(sequenceSeed);

    const Bytes country("\x55\x04\x06", 3);
    const Bytes organisation("\x55\x04\x0a", 3);
    const Bytes commonName("\x55\x04\x03", 3);
    const Bytes subject = sequence(attribute(country, 0x13, "BR") + attribute(organisation, 0x0c, "SAT-CF-e")
                                   + attribute(commonName, 0x0c, "SAT " + serial + ":" + taxpayerCnpj));

    Bytes modulus = randomBytes(generator, 256);
    modulus[0] = static_cast<char>(modulus[0] | 0x80);
    modulus[255] = static_cast<char>(modulus[255] | 0x01);
    const Bytes rsaKey = sequence(der(0x02, Bytes(1, '\0') + modulus) + der(0x02, Bytes("\x01\x00\x01", 3)));
    const Bytes rsaEncryption("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x01", 9);
    const Bytes keyInfo
        = sequence(sequence(der(0x06, rsaEncryption) + der(0x05, {})) + der(0x03, Bytes(1, '\0') + rsaKey));

    const Bytes version = der(0x02, Bytes(1, '\0'));
    const Bytes requestInfo = sequence(version + subject + keyInfo + der(0xa0, {}));
    const Bytes sha256WithRsa("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x0b", 9);
    const Bytes request = sequence(requestInfo + sequence(der(0x06, sha256WithRsa) + der(0x05, {}))
                                   + der(0x03, Bytes(1, '\0') + randomBytes(generator, 256)));

    const std::string body = encodeBase64(request);
    std::string out = "-----BEGIN CERTIFICATE REQUEST-----\n";
    for (size_t i = 0; i < body.size(); i += 64)
        out += body.substr(i, 64) + "\n";
    return out + "-----END CERTIFICATE REQUEST-----";
}

} // namespace satemu
