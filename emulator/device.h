#pragma once

// The emulated SAT-CF-e device.
//
// dllsat.cpp, the C layer, serialises the calls, injects transport faults (TransportFault) and keeps each answer
// alive until the next call; everything a device decides happens here. Each command of Device runs the same way:
//
//   lock        take the exclusive lock beside the state file (StateLock), held until the state is written, so
//               that programs sharing the device take turns
//   prepare()   read the clock (DateTime::now, SAT_EMULADOR_AGORA) and, when the state file's path changed since
//               the last call or another program wrote the file since (StateFile::Version), load the state
//               (StateFile: a missing file means a factory device, an unreadable one is set aside; on a new path,
//               temporary files of a killed writer are removed)
//   busy        a command that would change the device, while SAT_EMULADOR_OCUPADO asks for busy answers, is
//               answered "xx098" and changes nothing but the count (answersBusy)
//   contact     reach the tax authority when the emulated link is up (SAT_EMULADOR_SEFAZ): transmit the working
//               memory, take its orders (SAT_EMULADOR_BLOQUEIO_SEFAZ)
//   body        check the session number; then one step (admit, by the command's CommandGate) for the
//               activation code and, for a sale or a cancellation, the operation state; read the document
//               (SaleDocument, CancellationDocument, NetworkConfig), change DeviceState, build the answer
//               (ReceiptBuilder, AccessKey, CertificateRequest, encodeBase64)
//   finish()    reach the tax authority again (what was just issued leaves at once when the link is up), add a
//               line to the device log, keep the answer for the session query (SessionStore) and, for a sale or
//               a cancellation, for the query of the last fiscal session, write the state file and release the lock
//
// The operation state (ESTADO_OPERACAO) is worked out from the state on every call: blocked for deactivation (4)
// or by the tax authority (1) as it ordered, by the taxpayer (2), autonomously (3: no contact for longer than
// kMaximumDaysWithoutContact, certificate expired, working memory full), else unblocked (0).
//
// Answers are pipe-separated: "numeroSessao|EEEEE|mensagem|cod|mensagemSEFAZ" and each function's extra fields;
// the association, the sale and the cancellation carry an alert code CCCC after EEEEE. Messages are plain ASCII.
// A busy device answers as real ones do, in 6 fields: "numeroSessao|xx098|SAT em processamento. Tente novamente.|||".

#include "datetime.h"
#include "devicestate.h"
#include "statefile.h"

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace satemu {

struct CommandGate;
struct Rejection;

class Device {
public:
    struct Reply {
        std::string answer;
        std::string code; // EEEEE
        std::string message; // the answer's message, for the error record
    };

    static constexpr const char* kFactoryCode = "31415926";
    static constexpr const char* kEmergencyCode = "emergencia-sat-0";
    static constexpr const char* kSerial = "900000001";
    static constexpr const char* kCancellationFileName = "cancelamento-ultima-venda.xml";
    static constexpr int kCancellationWindowSeconds = 30 * 60;
    static constexpr int kMaximumDaysWithoutContact = 10;
    static constexpr int kWrongCodesBeforeLock = 3;
    static constexpr int kLockSeconds = 30 * 60;
    static constexpr int kMemoryFullPercent = 95;
    static constexpr int kCertificateYears = 5;

    enum OperationState {
        Unblocked = 0,
        BlockedByTaxAuthority = 1,
        BlockedByTaxpayer = 2,
        AutonomousBlock = 3,
        BlockedForDeactivation = 4
    };

    Device();

    Reply activate(int session, int subCommand, const char* code, const char* cnpj, int uf);
    Reply associateSignature(int session, const char* code, const char* cnpjs, const char* signature);
    Reply configureNetwork(int session, const char* code, const char* document);
    Reply updateSoftware(int session, const char* code);
    Reply changeActivationCode(int session, const char* code, int option, const char* newCode,
                               const char* confirmation);
    Reply communicateCertificate(int session, const char* code, const char* certificate);
    Reply endToEndTest(int session, const char* code, const char* document);
    Reply block(int session, const char* code);
    Reply unblock(int session, const char* code);
    Reply queryState(int session);
    Reply queryOperationalStatus(int session, const char* code);
    Reply querySession(int session, const char* code, int queriedSession);
    Reply queryLastFiscalSession(int session, const char* code);
    Reply sendSale(int session, const char* code, const char* document);
    Reply cancelLastSale(int session, const char* code, const char* key, const char* document);
    Reply extractLog(int session, const char* code);

    // Forgets the loaded state: the next call reads the state file again, as after a power cycle.
    void reload();
    const DeviceState& state();
    std::string statePath();

private:
    enum class Access { Granted, NotActivated, WrongCode, Locked };

    Reply renewCertificate(int session, const std::string& code, const std::string& taxpayer);
    Reply run(const char* function, int session, const char* family, const std::function<Reply()>& body,
              bool storeAnswer = true);
    // A command whose first step, after the session number, is its gate (admit).
    Reply run(const char* function, int session, const char* activationCode, const CommandGate& gate,
              const std::function<Reply()>& body, bool storeAnswer = true);
    void prepare(const std::string& path, const StateLock& lock);
    bool answersBusy(const char* family);
    void save();
    Access access(const char* code, bool allowedBeforeActivation);
    Access checkCode(const std::string& given, const std::string& expected);
    static const char* accessMessage(Access access);
    bool linkUp() const;
    void contactTaxAuthority();
    void keepInMemory(const std::string& key, size_t bytes);
    OperationState operationState() const;
    std::string autonomousBlockReason() const;
    std::string certificateExpiry() const;
    std::string hidePaths(const std::string& text) const;
    void log(const std::string& text, const char* level = DeviceLog::kInfo);
    // The access step of a command: its refusal, by the command's own codes, when the activation code does not open
    // the device or, for a sale or a cancellation, its operation state stops it.
    std::optional<Reply> admit(int session, const char* activationCode, const CommandGate& gate);
    Reply reply(int session, const std::string& code, const std::string& message,
                const std::vector<std::string>& extra = {}) const;
    Reply alertReply(int session, const std::string& code, const std::string& message,
                     const std::vector<std::string>& extra = {}) const;
    std::vector<std::string> statusFields() const;
    std::string batteryLevel() const;
    int nextReceiptNumber() const;
    std::string issueKey(const std::string& issuerCnpj, int receiptNumber, int& randomCode);
    void writeCancellationTemplate();
    void removeCancellationTemplate();
    // A refused document: its rejection code in the CCCC field.
    Reply rejectionReply(int session, const std::string& eeeee, const Rejection& rejection) const;

    DeviceState m_state;
    std::string m_path;
    bool m_loaded = false;
    StateFile::Version m_version; // of the state file as this device last read or wrote it
    DateTime m_now;
    std::mt19937 m_random;
    std::string m_saveError;
    std::string m_lockError;
};

} // namespace satemu
