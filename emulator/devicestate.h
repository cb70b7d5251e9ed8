#pragma once

#include "datetime.h"
#include "devicelog.h"
#include "networkconfig.h"
#include "sessionstore.h"

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
    bool blocked = false;
    NetworkConfig network;
    int receiptNumber = 0; // of the last CF-e issued
    std::string lastKey; // of the last CF-e issued, sale or cancellation
    std::string lastIssuedAt;
    std::string lastCommunication;

    // The last sale while it can still be cancelled.
    bool hasLastSale = false;
    std::string saleKey;
    std::string saleIssuedAt;
    std::string saleTotal;
    std::string saleCustomer;
    std::string saleCashRegister;

    SessionStore sessions;
    DeviceLog log;

    std::string serialise() const;
    // False with a reason; out is left untouched then.
    static bool parse(const std::string& text, DeviceState& out, std::string& error);
};

} // namespace satemu
