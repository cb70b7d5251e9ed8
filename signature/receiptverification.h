#pragma once

// Whether a receipt that a device issued is still what the device signed: a CF-e (root CFe with its enveloped
// Signature) or a CF-e cancellation (root CFeCanc), checked with the certificate it carries. Plain C++ over libxml2,
// xmlsec1 and OpenSSL, no Qt, so that sat-validar, the check window and the receipts archive share one verdict.
//
// Trust in the tax authority's certificate chain is out of reach here: the verdict names the certificate's subject
// and issuer, and says when the issuer is the emulator's training authority.

#include <cstddef>
#include <string>
#include <vector>

namespace satsignature {

enum class IssuedKind {
    NotIssued, // not a receipt a device issued: a data-entry document, another XML, not XML at all
    Sale, // CFe
    Cancellation, // CFeCanc
};

struct ReceiptFault {
    enum class Kind {
        Unsigned, // "sem assinatura"
        Altered, // "alterado depois de assinado": infCFe no longer matches the signed digest
        InvalidSignature, // "assinatura inválida": the signature does not verify with the embedded certificate
        Certificate, // the embedded certificate is missing or cannot be read
        KeyCheckDigit, // the access key's check digit is wrong
        KeyMismatch, // "chave não confere com o documento: <campo>" (cUF, year and month, CNPJ, model, serial, nCF, cNF)
        QrCodeSignature, // assinaturaQRCODE does not verify
        OutsideValidity, // the emission date falls outside the certificate's validity
    };
    Kind kind;
    std::string text; // Portuguese, one line
};

struct ReceiptVerdict {
    IssuedKind kind = IssuedKind::NotIssued;
    std::string notIssuedReason; // kind == NotIssued: why, in Portuguese
    std::vector<ReceiptFault> faults; // in the order the checks ran
    std::string subject; // the embedded certificate's subject, one line, when it could be read
    std::string issuer; // and its issuer
    bool trainingAuthority = false; // the issuer is the emulator's training authority

    bool intact() const { return kind != IssuedKind::NotIssued && faults.empty(); }
};

// Only whether the document is an issued receipt, and which kind: no signature is checked.
IssuedKind issuedKind(const char* data, std::size_t size);

// Every check on an issued receipt. Never throws; any input gives a verdict.
ReceiptVerdict verifyIssuedReceipt(const char* data, std::size_t size);

// The verdict as the tools print it, one line each: "CF-e emitido íntegro" with the certificate's subject and
// issuer, or each fault on its own line.
std::vector<std::string> verdictLines(const ReceiptVerdict& verdict);

} // namespace satsignature
