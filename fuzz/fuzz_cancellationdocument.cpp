// The device's reading of a cancellation document, and the cancellation CF-e it issues from it: whatever the
// bytes, a refusal carries a reason (and, read as a request, a rejection code), a request the layout takes reads
// the same leniently, and an accepted request gives a CF-e that reads back with the same key,
// software house, signature and cash register.
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
    CancellationDocument strict;
    const bool valid = CancellationDocument::parseRequest(text, size, strict, rejection);
    if (!valid)
        fuzzcheck::checkRejection(rejection.code, rejection.reason);

    std::string error;
    CancellationDocument request;
    const bool lenient = CancellationDocument::parse(text, size, request, error);
    check(lenient || !valid);
    if (!lenient) {
        fuzzcheck::checkReason(error);
        return 0;
    }
    if (valid)
        check(strict.cancelledKey == request.cancelledKey && strict.signature == request.signature
              && strict.softwareHouseCnpj == request.softwareHouseCnpj && strict.cashRegister == request.cashRegister);

    ReceiptBuilder::Cancellation cancellation;
    cancellation.cancelledKey = request.cancelledKey;
    cancellation.saleIssued.year = 2024;
    cancellation.issuerCnpj = "44555666000181";
    cancellation.softwareHouseCnpj = request.softwareHouseCnpj;
    cancellation.signature = request.signature;
    cancellation.cashRegister = request.cashRegister;
    cancellation.total = "10.00";
    ReceiptBuilder::Issue issue;
    issue.key = "35240144555666000181590009000020000021234561";
    issue.uf = 35;
    issue.receiptNumber = 2;
    issue.serial = "900000001";
    issue.qrCodeSignature = ReceiptBuilder::qrCodeSignature(issue.key);
    const std::string issued = ReceiptBuilder::issueCancellation(cancellation, issue);

    CancellationDocument read;
    check(CancellationDocument::parse(issued.data(), issued.size(), read, error));
    check(read.cancelledKey == request.cancelledKey);
    check(read.softwareHouseCnpj == request.softwareHouseCnpj);
    check(read.signature == request.signature);
    check(read.cashRegister == request.cashRegister);
    return 0;
}
