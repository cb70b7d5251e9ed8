// The device's reading of a sale document, and the receipt it issues from it: whatever the bytes, a refusal
// carries a reason (and, for a sale, a rejection code) that heads the full check's list of faults, a sale the layout
// takes is read with the same values as the lenient reading of the end-to-end test, and an accepted sale gives a
// receipt that is itself a well-formed sale with the same items, total and payment, as whoever reads the receipt will
// take it.
#include "documentcheck.h"

#include "documents.h"
#include "receiptbuilder.h"

#include <cstdint>
#include <string>

using fuzzcheck::check;
using namespace satemu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    Rejection rejection;
    const std::unique_ptr<SaleDocument> strict = SaleDocument::parseSale(text, size, rejection);
    if (!strict)
        fuzzcheck::checkRejection(rejection.code, rejection.reason);
    // The full check runs the same rules: it passes what the device takes and lists the device's refusal first.
    const AllFaults full = AllFaults::of(text, size);
    if (full.kind == AllFaults::Kind::Sale)
        check(strict ? full.faults.empty() : !full.faults.empty() && full.faults.front().code == rejection.code);

    std::string error;
    std::unique_ptr<SaleDocument> sale = SaleDocument::parse(text, size, error);
    check(sale || !strict);
    if (!sale) {
        fuzzcheck::checkReason(error);
        return 0;
    }
    if (strict)
        check(strict->total.units() == sale->total.units() && strict->paid.units() == sale->paid.units()
              && strict->items.size() == sale->items.size());
    check(sale->tree() != nullptr);
    check(!sale->items.empty() && sale->items.size() <= SaleDocument::kMaximumItems);
    check(!(sale->paid < sale->total));

    ReceiptBuilder::Issue issue;
    issue.key = "35240144555666000181590009000010000011234560";
    issue.when.year = 2024;
    issue.when.month = 1;
    issue.when.day = 31;
    issue.when.hour = 12;
    issue.uf = 35;
    issue.receiptNumber = 1;
    issue.randomCode = 123456;
    issue.serial = "900000001";
    issue.qrCodeSignature = ReceiptBuilder::qrCodeSignature(issue.key);
    const std::string receipt = ReceiptBuilder::issueSale(*sale, issue);

    std::string again;
    const std::unique_ptr<SaleDocument> read = SaleDocument::parse(receipt.data(), receipt.size(), again);
    check(read != nullptr);
    check(read->items.size() == sale->items.size());
    check(read->total.units() == sale->total.units());
    check(read->paid.units() == sale->paid.units());
    check(read->issuerCnpj == sale->issuerCnpj && read->customerId == sale->customerId);
    return 0;
}
