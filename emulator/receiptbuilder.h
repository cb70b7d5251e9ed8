#pragma once

#include "datetime.h"
#include "decimal.h"
#include "taxpayerprofile.h"

#include <string>
#include <vector>

namespace satemu {

class SaleDocument;

// Writes the CF-e documents the device issues: the sale document completed with the device's fields, the
// computed values and a signature, and the cancellation CF-e. Every field the device fills replaces whatever the
// application sent under that name, so the issued CF-e never carries a field twice, and each lands in the layout's
// place whatever order the application used. Signatures are placeholders of the right shape: the emulator holds
// no key.
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
        TaxpayerProfile taxpayer;
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
        std::string issuerIe;
        std::string issuerIm;
    };

    // 344 Base64 characters derived from the key, standing in for the signature printed in the QR code.
    static std::string qrCodeSignature(const std::string& key);
    // Completes the sale's own tree and returns it serialised as UTF-8.
    static std::string issueSale(SaleDocument& sale, const Issue& issue);
    static std::string issueCancellation(const Cancellation& cancellation, const Issue& issue);

    // Shares of amount proportional to weights, in cents, adding up to amount exactly: each share is truncated to
    // the cent and the cents left go to the largest remainders (the earlier item on a tie). No share exceeds its
    // weight when amount is at most the weights' sum. All zero when the weights are.
    static std::vector<Decimal> apportion(const Decimal& amount, const std::vector<Decimal>& weights);
    // base x rate, exact, rounded half up to the cent; a percentage divides by 100 first.
    static Decimal taxOf(const Decimal& base, const Decimal& rate, bool percent);
    // The text of emit/<name> of the sale as sent.
    static std::string issuerField(const SaleDocument& sale, const char* name);
};

} // namespace satemu
