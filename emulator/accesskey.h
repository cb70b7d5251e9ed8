#pragma once

#include <string>

namespace satemu {

// The 44-digit access key of a CF-e: cUF (2), AAMM (4), issuer's CNPJ (14), model 59 (2), device serial (9),
// receipt number (6), random code (6) and a modulo-11 check digit (1).
class AccessKey {
public:
    struct Parts {
        int uf = 0;
        std::string yearMonth; // AAMM
        std::string issuerCnpj;
        std::string serial;
        int receiptNumber = 0;
        int randomCode = 0;
    };

    // Empty when a part does not fit its width.
    static std::string build(const Parts& parts);
    // Weights 2 to 9 from the right, restarting after 9; remainders giving 10 or 11 give 0. -1 unless 43 digits.
    static int checkDigit(const std::string& first43);
    static bool isValid(const std::string& key);
};

} // namespace satemu
