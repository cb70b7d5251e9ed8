#pragma once

#include "datetime.h"

#include <string>

namespace satemu {

class SaleDocument;

// Writes the CF-e documents the device issues: the sale document completed with the device's fields, the
// computed values and a signature, and the cancellation CF-e. Signatures are placeholders of the right shape:
// the emulator holds no key.
class ReceiptBuilder {
public:
    struct Issue {
        std::string key; // 44 digits
        DateTime when;
        int uf = 0;
        int receiptNumber = 0;
        int randomCode = 0;
        std::string serial;
        std::string qrCodeSignature;
    };

    struct Cancellation {
        std::string cancelledKey;
        DateTime saleIssued;
        std::string issuerCnpj;
        std::string softwareHouseCnpj;
        std::string signature;
        std::string cashRegister;
        std::string customerId;
        std::string total;
    };

    // 344 Base64 characters derived from the key, standing in for the signature printed in the QR code.
    static std::string qrCodeSignature(const std::string& key);
    // Completes the sale's own tree and returns it serialised as UTF-8.
    static std::string issueSale(SaleDocument& sale, const Issue& issue);
    static std::string issueCancellation(const Cancellation& cancellation, const Issue& issue);
};

} // namespace satemu
