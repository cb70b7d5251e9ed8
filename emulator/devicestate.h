#pragma once

#include "datetime.h"
#include "devicelog.h"
#include "networkconfig.h"
#include "sessionstore.h"
#include "taxpayerprofile.h"

#include <cstdint>
#include <string>

namespace satemu {

// Everything the device keeps across power cycles, and its text form in the state file:
//
//   sat-emulador-estado 1          header with the format version
//   chave=valor                    one field a line; values percent-encode "%", control bytes and bytes >= 0x7f
//   sessao=<numero> <resposta>     one line per stored session, oldest first
//   log=<linha>                    one line per log line, oldest first
//   fim                            end mark: a file cut short is unreadable
//
// Reading is strict: an unknown key, a malformed value or a missing end mark makes the whole file unreadable.
class DeviceState {
public:
    static constexpr int kFormatVersion = 1;

    bool activated = false;
    std::string activationCode;
    std::string taxpayerCnpj;
    int uf = 0;
    int certificateType = 0;
    std::string activatedAt; // AAAAMMDDhhmmss, empty before activation
    bool icpCertificate = false;
    bool associated = false;
    std::string softwareHouseCnpj;
    std::string signature;
    bool blocked = false; // by the taxpayer
    int taxAuthorityBlock = 0; // 0 none, 1 blocked by the tax authority, 4 blocked for deactivation
    bool icpRequestPending = false; // an ICP-Brasil certificate request awaits its certificate
    std::string certificateIssuedAt; // AAAAMMDDhhmmss of the certificate in use; the activation's when empty
    TaxpayerProfile taxpayer;
    int wrongCodeAttempts = 0; // in a row
    std::string lockedUntil; // AAAAMMDDhhmmss while wrong codes lock the device
    NetworkConfig network;
    int receiptNumber = 0; // of the last CF-e issued
    std::string lastKey; // of the last CF-e issued, sale or cancellation
    std::string lastIssuedAt;
    std::string lastCommunication;
    std::string lastTransmission; // of a CF-e to the tax authority

    // The working memory: the CF-e issued and not yet transmitted.
    int memoryCount = 0;
    int64_t memoryUsedKb = 0;
    int64_t memoryTotalKb = 4194304;
    std::string memoryFirstKey;
    std::string memoryLastKey;

    // The last sale while it can still be cancelled.
    bool hasLastSale = false;
    std::string saleKey;
    std::string saleIssuedAt;
    std::string saleTotal;
    std::string saleCustomer;
    std::string saleCashRegister;
    std::string saleIssuerIe;
    std::string saleIssuerIm;

    // The answer of the last sale or cancellation, whatever its outcome; empty before the first.
    std::string lastFiscalAnswer;
    // SAT_EMULADOR_OCUPADO as the device last saw it, and how many busy answers it still owes; written only while
    // a request is set, so that a file without one stays readable by an emulator that knows nothing of it.
    std::string busyRequest;
    int busyRemaining = 0;
    SessionStore sessions;
    DeviceLog log;

    std::string serialise() const;
    // False with a reason; out is left untouched then.
    static bool parse(const std::string& text, DeviceState& out, std::string& error);
};

} // namespace satemu
