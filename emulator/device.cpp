#include "device.h"

#include "accesskey.h"
#include "base64encoder.h"
#include "certificaterequest.h"
#include "cnpj.h"
#include "documents.h"
#include "layoutcheck.h"
#include "receiptbuilder.h"
#include "statefile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace satemu {

namespace {

    const char kInvalidCode[] = "Codigo de ativacao invalido";
    const char kNotActivated[] = "SAT ainda nao ativado";
    const char kBusy[] = "SAT em processamento. Tente novamente.";
    const char kNoAlert[] = "0000";
    const char kZeroKey[] = "00000000000000000000000000000000000000000000";
    const char kZeroStamp[] = "00000000000000";
    const char kMac[] = "02:53:41:54:00:01";

    // Lengths of untrusted texts, read no further than one byte past the limit.
    size_t boundedLength(const char* text, size_t limit)
    {
        return text ? strnlen(text, limit + 1) : 0;
    }

    std::string textOrEmpty(const char* text, size_t limit)
    {
        return text ? std::string(text, boundedLength(text, limit)) : std::string();
    }

    // Keeps a field from splitting the answer and keeps messages in plain ASCII.
    std::string field(const std::string& text)
    {
        std::string out = text;
        for (char& c : out) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (c == '|')
                c = '/';
            else if (u < 0x20 || u > 0x7e)
                c = u == '\n' ? '\n' : '?';
        }
        return out;
    }

    std::string singleLine(const std::string& text)
    {
        std::string out = field(text);
        for (char& c : out)
            if (c == '\n')
                c = ' ';
        return out;
    }

    std::string code(const char* family, int number)
    {
        char text[8];
        std::snprintf(text, sizeof text, "%s%03d", family, number % 1000);
        return text;
    }

    bool isValidUf(int uf)
    {
        static const int codes[] = {11, 12, 13, 14, 15, 16, 17, 21, 22, 23, 24, 25, 26, 27,
                                    28, 29, 31, 32, 33, 35, 41, 42, 43, 50, 51, 52, 53};
        for (int c : codes)
            if (c == uf)
                return true;
        return false;
    }

    // A PEM certificate block with a Base64 body; the device does not check the chain.
    bool isCertificate(const std::string& text)
    {
        const std::string begin = "-----BEGIN CERTIFICATE-----";
        const std::string end = "-----END CERTIFICATE-----";
        const size_t from = text.find(begin);
        const size_t to = from == std::string::npos ? std::string::npos : text.find(end, from + begin.size());
        if (to == std::string::npos)
            return false;
        std::string body;
        for (size_t i = from + begin.size(); i < to; ++i)
            if (text[i] != '\n' && text[i] != '\r' && text[i] != ' ' && text[i] != '\t')
                body += text[i];
        return body.size() >= 4 && body.size() % 4 == 0 && isBase64Text(body);
    }

    std::string dateAfterYears(const std::string& stamp, int years)
    {
        DateTime moment;
        if (!DateTime::parse(stamp, moment))
            return "00000000";
        moment.year += years;
        if (moment.month == 2 && moment.day == 29)
            moment.day = 28;
        return moment.date();
    }

} // namespace

// How a command turns away whom the device does not serve, by the codes of its own table: a device not yet
// activated, a wrong activation code, the lock after wrong codes and, for a sale or a cancellation, the operation
// states that stop it. Wrong codes answer xx001; a null code below means xx099 (not activated) or xx001 (locked).
struct CommandGate {
    const char* family;
    bool factoryCode; // the factory code opens the command on a device not yet activated
    const char* notActivated;
    const char* locked;
    bool alertField; // the command's answers carry CCCC
    const char* blockedByTaxAuthority; // states 1 and 4; null: no operation state stops the command
    const char* blockedByTaxpayer;
    const char* autonomousBlock;
};

namespace {

    // clang-format off
    //                                   family factory not activated locked   CCCC   blocked: SEFAZ taxpayer autonomous
    const CommandGate kAssociation      {"13",  false,  nullptr,      nullptr, true,  nullptr,       nullptr, nullptr};
    const CommandGate kNetwork          {"12",  true,   nullptr,      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kUpdate           {"14",  false,  nullptr,      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kEndToEndTest     {"09",  false,  "09002",      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kBlock            {"16",  false,  nullptr,      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kUnblock          {"17",  false,  nullptr,      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kStatus           {"10",  true,   nullptr,      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kSessionQuery     {"11",  false,  "11002",      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kLastFiscalSession{"19",  false,  "19002",      nullptr, false, nullptr,       nullptr, nullptr};
    const CommandGate kSale             {"06",  false,  "06002",      "06009", true,  "06007",       "06006", "06008"};
    const CommandGate kCancellation     {"07",  false,  nullptr,      "07006", true,  "07004",       "07003", "07005"};
    const CommandGate kLog              {"15",  true,   nullptr,      nullptr, false, nullptr,       nullptr, nullptr};
    // clang-format on

} // namespace

Device::Device()
    : m_random(std::random_device {}())
{
}

// ---- commands

Device::Reply Device::activate(int session, int subCommand, const char* activationCode, const char* cnpj, int uf)
{
    return run("AtivarSAT", session, "04", [&] {
        if (subCommand < 1 || subCommand > 3)
            return reply(session, "04099", "Subcomando invalido (use 1, 2 ou 3)");
        const std::string chosen = textOrEmpty(activationCode, 32);
        const std::string taxpayer = textOrEmpty(cnpj, 14);
        if (subCommand == 3)
            return renewCertificate(session, chosen, taxpayer);
        if (m_state.activated)
            return reply(session, "04003", "SAT ja ativado");
        if (chosen.size() < 8 || chosen.size() > 32)
            return reply(session, "04099", "Codigo de ativacao deve ter de 8 a 32 caracteres");
        if (!isValidCnpj(taxpayer))
            return reply(session, "04002", "SEFAZ nao reconhece este SAT (CNPJ invalido)");
        if (!isValidUf(uf))
            return reply(session, "04099", "Codigo da UF invalido");
        if (!linkUp())
            return reply(session, "04005", "Erro de comunicacao com a SEFAZ");

        // The tax authority hands the taxpayer's registration over with the activation.
        std::string profileError;
        if (!TaxpayerProfile::fromEnvironment(m_state.taxpayer, profileError))
            log("Perfil do contribuinte recusado (" + profileError + "); usado o perfil padrao", DeviceLog::kAlert);
        m_state.activationCode = chosen;
        m_state.taxpayerCnpj = taxpayer;
        m_state.uf = uf;
        m_state.certificateType = subCommand;
        m_state.lastCommunication = m_now.stamp();
        const std::string request = CertificateRequest::pem(taxpayer, kSerial, taxpayer + m_now.stamp());
        if (subCommand == 2) {
            // The device works once the certificate signed by an ICP-Brasil authority comes back.
            m_state.icpRequestPending = true;
            log("Requisicao de certificado ICP-Brasil gerada para o CNPJ " + taxpayer + ", cUF " + std::to_string(uf));
            return reply(session, "04006", "CSR ICP-BRASIL criado com sucesso", {request});
        }
        m_state.activated = true;
        m_state.icpRequestPending = false;
        m_state.activatedAt = m_now.stamp();
        m_state.certificateIssuedAt = m_now.stamp();
        log("SAT ativado para o CNPJ " + taxpayer + ", cUF " + std::to_string(uf));
        return reply(session, "04000", "Ativado corretamente", {request});
    });
}

// Subcommand 3: a new key pair and its request for an ICP-Brasil certificate; the device keeps working meanwhile.
Device::Reply Device::renewCertificate(int session, const std::string& code, const std::string& taxpayer)
{
    if (!m_state.activated)
        return reply(session, "04099", "SAT ainda nao ativado: use o subcomando 1 ou 2");
    const Access granted = checkCode(code, m_state.activationCode);
    if (granted != Access::Granted)
        return reply(session, "04099", accessMessage(granted));
    if (taxpayer != m_state.taxpayerCnpj)
        return reply(session, "04002", "CNPJ difere do contribuinte ativado");
    if (!linkUp())
        return reply(session, "04005", "Erro de comunicacao com a SEFAZ");
    m_state.icpRequestPending = true;
    log("Requisicao de renovacao de certificado ICP-Brasil gerada");
    return reply(session, "04006", "CSR ICP-BRASIL criado com sucesso",
                 {CertificateRequest::pem(taxpayer, kSerial, "renovacao" + taxpayer + m_now.stamp())});
}

Device::Reply Device::associateSignature(int session, const char* activationCode, const char* cnpjs,
                                         const char* signature)
{
    return run("AssociarAssinatura", session, activationCode, kAssociation, [&] {
        const std::string joined = textOrEmpty(cnpjs, 28);
        if (!isDigits(joined, 28, 28))
            return alertReply(session, "13004", "CNPJvalue deve ter 28 digitos: software house e contribuinte");
        const std::string softwareHouse = joined.substr(0, 14);
        const std::string taxpayer = joined.substr(14);
        if (!isValidCnpj(softwareHouse))
            return alertReply(session, "13004", "CNPJ da software house invalido");
        if (taxpayer != m_state.taxpayerCnpj)
            return alertReply(session, "13004", "CNPJ do contribuinte difere do informado na ativacao");
        const std::string sign = textOrEmpty(signature, 344);
        if (sign.size() != 344 || !isBase64Text(sign))
            return alertReply(session, "13003", "Assinatura fora do padrao informado");
        if (!linkUp())
            return alertReply(session, "13002", "Erro de comunicacao com a SEFAZ");

        m_state.associated = true;
        m_state.softwareHouseCnpj = softwareHouse;
        m_state.signature = sign;
        m_state.lastCommunication = m_now.stamp();
        log("Assinatura do AC associada: software house " + softwareHouse);
        return alertReply(session, "13000", "Assinatura do AC Registrada");
    });
}

Device::Reply Device::configureNetwork(int session, const char* activationCode, const char* document)
{
    return run("ConfigurarInterfaceDeRede", session, activationCode, kNetwork, [&] {
        NetworkConfig config;
        std::string error;
        if (!document
            || !NetworkConfig::parse(document, boundedLength(document, NetworkConfig::kMaximumSize), config, error))
            return reply(session, "12002",
                         "Erro na configuracao (dados fora do padrao): " + (document ? error : "documento ausente"));
        m_state.network = config;
        log("Rede configurada: " + config.interfaceType + " " + config.lanType + ", proxy "
            + std::to_string(config.proxy));
        return reply(session, "12000", "Rede Configurada");
    });
}

Device::Reply Device::updateSoftware(int session, const char* activationCode)
{
    return run("AtualizarSoftwareSAT", session, activationCode, kUpdate, [&] {
        if (!linkUp())
            return reply(session, "14003", "Erro na atualizacao: sem comunicacao com a SEFAZ");
        return reply(session, "14000", "Software atualizado com sucesso");
    });
}

Device::Reply Device::changeActivationCode(int session, const char* activationCode, int option, const char* newCode,
                                           const char* confirmation)
{
    return run("TrocarCodigoDeAtivacao", session, "18", [&] {
        if (!m_state.activated)
            return reply(session, "18099", kNotActivated);
        const std::string given = textOrEmpty(activationCode, 64);
        if (option == 1) {
            const Access granted = checkCode(given, m_state.activationCode);
            if (granted != Access::Granted)
                return reply(session, "18001", accessMessage(granted));
        }
        // The emergency code is there for a forgotten code, so it neither counts as a wrong attempt nor is locked.
        if (option == 2 && given != kEmergencyCode)
            return reply(session, "18002", "Codigo de ativacao de emergencia incorreto");
        if (option != 1 && option != 2)
            return reply(session, "18099", "Opcao invalida (use 1 ou 2)");
        const std::string chosen = textOrEmpty(newCode, 33);
        if (chosen.size() < 8 || chosen.size() > 32)
            return reply(session, "18099", "Novo codigo de ativacao deve ter de 8 a 32 caracteres");
        if (chosen != textOrEmpty(confirmation, 33))
            return reply(session, "18099", "Novo codigo de ativacao e confirmacao nao conferem");
        m_state.activationCode = chosen;
        m_state.wrongCodeAttempts = 0;
        m_state.lockedUntil.clear();
        log(option == 1 ? "Codigo de ativacao alterado" : "Codigo de ativacao alterado com o codigo de emergencia");
        return reply(session, "18000", "Codigo de ativacao alterado com sucesso");
    });
}

Device::Reply Device::communicateCertificate(int session, const char* activationCode, const char* certificate)
{
    return run("ComunicarCertificadoICPBRASIL", session, "05", [&] {
        // A device waiting for its first ICP-Brasil certificate already holds the code chosen at activation.
        const bool awaitingActivation = !m_state.activated && m_state.icpRequestPending;
        const Access granted = awaitingActivation ? checkCode(textOrEmpty(activationCode, 64), m_state.activationCode)
                                                  : access(activationCode, false);
        if (granted != Access::Granted)
            return reply(session, granted == Access::NotActivated ? "05099" : "05001", accessMessage(granted));
        if (!m_state.icpRequestPending)
            return reply(
                session, "05002",
                "Certificado nao solicitado: gere antes a requisicao ICP-Brasil (AtivarSAT, subcomando 2 ou 3)");
        const size_t limit = 64 * 1024;
        if (!certificate || boundedLength(certificate, limit) > limit || !isCertificate(certificate))
            return reply(session, "05003", "Certificado invalido");
        m_state.icpRequestPending = false;
        m_state.icpCertificate = true;
        m_state.certificateType = 2;
        m_state.certificateIssuedAt = m_now.stamp();
        m_state.lastCommunication = m_now.stamp();
        if (awaitingActivation) {
            m_state.activated = true;
            m_state.activatedAt = m_now.stamp();
            log("SAT ativado com certificado ICP-Brasil para o CNPJ " + m_state.taxpayerCnpj);
        } else {
            log("Certificado ICP-Brasil instalado");
        }
        return reply(session, "05000", "Certificado transmitido com sucesso");
    });
}

Device::Reply Device::endToEndTest(int session, const char* activationCode, const char* document)
{
    return run("TesteFimAFim", session, activationCode, kEndToEndTest, [&] {
        if (!linkUp())
            return reply(session, "09099", "Erro de comunicacao com a SEFAZ");
        const OperationState operation = operationState();
        if (operation == BlockedByTaxAuthority || operation == BlockedForDeactivation)
            return reply(session, "09099", "SAT bloqueado pela SEFAZ");
        std::string error = "documento ausente";
        const size_t size = boundedLength(document, SaleDocument::kMaximumSize);
        std::unique_ptr<SaleDocument> sale = document ? SaleDocument::parse(document, size, error) : nullptr;
        if (!sale)
            return reply(session, "09099", "Documento de teste invalido: " + error);

        // The test CF-e takes the next number without using it up: it is not a sale.
        const int number = nextReceiptNumber();
        int randomCode = 0;
        const std::string key = issueKey(sale->issuerCnpj, number, randomCode);
        ReceiptBuilder::Issue issue {key,
                                     m_now,
                                     m_state.uf,
                                     number,
                                     randomCode,
                                     kSerial,
                                     ReceiptBuilder::qrCodeSignature(key),
                                     m_state.taxpayer};
        const std::string receipt = ReceiptBuilder::issueSale(*sale, issue);
        char numberText[8];
        std::snprintf(numberText, sizeof numberText, "%06d", number);
        return reply(session, "09000", "Emitido com sucesso",
                     {encodeBase64(receipt), m_now.stamp(), numberText, "CFe" + key});
    });
}

Device::Reply Device::block(int session, const char* activationCode)
{
    return run("BloquearSAT", session, activationCode, kBlock, [&] {
        const OperationState operation = operationState();
        if (m_state.blocked || operation == BlockedByTaxAuthority || operation == BlockedForDeactivation)
            return reply(session, "16002", "Equipamento SAT ja esta bloqueado");
        // The taxpayer's block goes through the tax authority.
        if (!linkUp())
            return reply(session, "16003", "Erro de comunicacao com a SEFAZ");
        m_state.blocked = true;
        return reply(session, "16000", "Equipamento SAT bloqueado com sucesso");
    });
}

Device::Reply Device::unblock(int session, const char* activationCode)
{
    return run("DesbloquearSAT", session, activationCode, kUnblock, [&] {
        switch (operationState()) {
        case Unblocked:
            return reply(session, "17005", "Equipamento SAT ja esta desbloqueado");
        case BlockedByTaxAuthority:
            return reply(session, "17002", "SAT bloqueado pela SEFAZ: so a SEFAZ pode desbloquear");
        case BlockedForDeactivation:
            return reply(session, "17002", "SAT bloqueado para desativacao pela SEFAZ: nao pode ser desbloqueado");
        case AutonomousBlock:
            return reply(session, "17004",
                         "Bloqueio autonomo (" + autonomousBlockReason() + "): termina sozinho quando a causa acaba");
        case BlockedByTaxpayer:
            break;
        }
        if (!linkUp())
            return reply(session, "17003", "Erro de comunicacao com a SEFAZ");
        m_state.blocked = false;
        return reply(session, "17000", "Equipamento SAT desbloqueado com sucesso");
    });
}

Device::Reply Device::queryState(int session)
{
    return run("ConsultarSAT", session, "08", [&] { return reply(session, "08000", "SAT em operacao"); });
}

Device::Reply Device::queryOperationalStatus(int session, const char* activationCode)
{
    return run("ConsultarStatusOperacional", session, activationCode, kStatus,
               [&] { return reply(session, "10000", "Resposta com Sucesso", statusFields()); });
}

Device::Reply Device::querySession(int session, const char* activationCode, int queriedSession)
{
    // The query's own answers are not kept: asking for a query would otherwise hide the command asked about.
    return run(
        "ConsultarNumeroSessao", session, activationCode, kSessionQuery,
        [&] {
            const std::string* stored = m_state.sessions.find(queriedSession);
            if (!stored)
                return reply(session, "11003", "Sessao nao existe");
            return Reply {*stored, "11000", "Sessao encontrada"};
        },
        false);
}

// How a point of sale learns what became of its last sale or cancellation when the answer got lost on the way:
// the device's answer to it, kept whatever its outcome, with the command's own session number to match.
Device::Reply Device::queryLastFiscalSession(int session, const char* activationCode)
{
    // Not kept either: a query sent again under the lost command's session number would hide that command.
    return run(
        "ConsultarUltimaSessaoFiscal", session, activationCode, kLastFiscalSession,
        [&] {
            if (m_state.lastFiscalAnswer.empty())
                return reply(session, "19003", "Nenhuma venda ou cancelamento processado ate agora");
            return Reply {m_state.lastFiscalAnswer, "19000", "Ultima sessao fiscal encontrada"};
        },
        false);
}

Device::Reply Device::sendSale(int session, const char* activationCode, const char* document)
{
    return run("EnviarDadosVenda", session, activationCode, kSale, [&] {
        if (!m_state.associated)
            return alertReply(session, "06003", "SAT nao vinculado ao AC");
        const size_t size = boundedLength(document, SaleDocument::kMaximumSize);
        if (size > SaleDocument::kMaximumSize)
            return alertReply(session, "06005", "Tamanho do CF-e-SAT superior a 1.500KB");
        Rejection rejection = satemu::rejection(LayoutGroup::Document, LayoutFault::Missing, "documento ausente");
        std::unique_ptr<SaleDocument> sale = document ? SaleDocument::parseSale(document, size, rejection) : nullptr;
        if (!sale)
            return rejectionReply(session, "06010", rejection);
        if (sale->softwareHouseCnpj != m_state.softwareHouseCnpj || sale->signature != m_state.signature)
            return alertReply(session, "06004", "Vinculacao do AC nao confere (ide/CNPJ ou signAC)");
        if (sale->issuerCnpj != m_state.taxpayerCnpj)
            return alertReply(session, "06004", "Vinculacao do AC nao confere (emit/CNPJ difere do contribuinte)");

        const int number = nextReceiptNumber();
        int randomCode = 0;
        const std::string key = issueKey(sale->issuerCnpj, number, randomCode);
        const std::string qrCode = ReceiptBuilder::qrCodeSignature(key);
        const ReceiptBuilder::Issue issue {key,        m_now,   m_state.uf, number,
                                           randomCode, kSerial, qrCode,     m_state.taxpayer};
        const std::string receipt = ReceiptBuilder::issueSale(*sale, issue);
        keepInMemory(key, receipt.size());

        m_state.receiptNumber = number;
        m_state.lastKey = key;
        m_state.lastIssuedAt = m_now.stamp();
        m_state.hasLastSale = true;
        m_state.saleKey = key;
        m_state.saleIssuedAt = m_now.stamp();
        m_state.saleTotal = sale->total.format(2);
        m_state.saleCustomer = sale->customerId;
        m_state.saleCashRegister = sale->cashRegister;
        m_state.saleIssuerIe = ReceiptBuilder::issuerField(*sale, "IE").substr(0, 14);
        m_state.saleIssuerIm = ReceiptBuilder::issuerField(*sale, "IM").substr(0, 15);
        log("CF-e emitido: CFe" + key + ", total " + m_state.saleTotal);
        writeCancellationTemplate();
        return alertReply(
            session, "06000", "Emitido com sucesso + conteudo notas",
            {encodeBase64(receipt), m_now.stamp(), "CFe" + key, m_state.saleTotal, sale->customerId, qrCode});
    });
}

Device::Reply Device::cancelLastSale(int session, const char* activationCode, const char* key, const char* document)
{
    return run("CancelarUltimaVenda", session, activationCode, kCancellation, [&] {
        if (!m_state.hasLastSale)
            return alertReply(session, "07002", "Cupom invalido: nao ha venda a cancelar");
        std::string given = textOrEmpty(key, 48);
        if (given.size() != 47 || given.compare(0, 3, "CFe") != 0 || !isDigits(given.substr(3), 44, 44))
            return alertReply(session, "07002", "Cupom invalido: a chave deve ser CFe seguido de 44 digitos");
        given.erase(0, 3);
        if (given != m_state.saleKey)
            return alertReply(session, "07002", "Cupom invalido: a chave nao e a da ultima venda");
        DateTime issued;
        DateTime::parse(m_state.saleIssuedAt, issued);
        const int64_t elapsed = m_now.toSeconds() - issued.toSeconds();
        if (elapsed < 0 || elapsed > kCancellationWindowSeconds)
            return alertReply(session, "07002", "Cupom invalido: venda emitida ha mais de 30 minutos");

        CancellationDocument cancellation;
        Rejection rejection = satemu::rejection(LayoutGroup::Cancellation, LayoutFault::Missing, "documento ausente");
        if (!document
            || !CancellationDocument::parseRequest(
                document, boundedLength(document, CancellationDocument::kMaximumSize), cancellation, rejection))
            return rejectionReply(session, "07007", rejection);
        if (cancellation.cancelledKey != given)
            return rejectionReply(session, "07007",
                                  satemu::rejection(LayoutGroup::Cancellation, LayoutFault::Values,
                                                    "infCFe/@chCanc difere da chave informada no argumento"));
        if (cancellation.softwareHouseCnpj != m_state.softwareHouseCnpj || cancellation.signature != m_state.signature)
            return rejectionReply(session, "07007",
                                  satemu::rejection(LayoutGroup::CancellationIde, LayoutFault::Values,
                                                    "infCFe/ide/CNPJ ou signAC difere da vinculacao do AC"));

        const int number = nextReceiptNumber();
        int randomCode = 0;
        const std::string newKey = issueKey(m_state.taxpayerCnpj, number, randomCode);
        const std::string qrCode = ReceiptBuilder::qrCodeSignature(newKey);
        const ReceiptBuilder::Issue issue {newKey,     m_now,   m_state.uf, number,
                                           randomCode, kSerial, qrCode,     m_state.taxpayer};
        const ReceiptBuilder::Cancellation cancelled {given,
                                                      issued,
                                                      m_state.taxpayerCnpj,
                                                      m_state.softwareHouseCnpj,
                                                      m_state.signature,
                                                      cancellation.cashRegister,
                                                      m_state.saleCustomer,
                                                      m_state.saleTotal,
                                                      m_state.saleIssuerIe,
                                                      m_state.saleIssuerIm};
        const std::string receipt = ReceiptBuilder::issueCancellation(cancelled, issue);
        keepInMemory(newKey, receipt.size());
        const std::string total = m_state.saleTotal;
        const std::string customer = m_state.saleCustomer;

        m_state.receiptNumber = number;
        m_state.lastKey = newKey;
        m_state.lastIssuedAt = m_now.stamp();
        m_state.hasLastSale = false;
        m_state.saleKey.clear();
        m_state.saleIssuedAt.clear();
        m_state.saleTotal.clear();
        m_state.saleCustomer.clear();
        m_state.saleCashRegister.clear();
        m_state.saleIssuerIe.clear();
        m_state.saleIssuerIm.clear();
        log("CF-e CFe" + given + " cancelado pelo CF-e CFe" + newKey);
        removeCancellationTemplate();
        return alertReply(session, "07000", "Cupom cancelado com sucesso + conteudo CF-eSAT cancelado",
                          {encodeBase64(receipt), m_now.stamp(), "CFe" + newKey, total, customer, qrCode});
    });
}

Device::Reply Device::extractLog(int session, const char* activationCode)
{
    return run("ExtrairLogs", session, activationCode, kLog,
               [&] { return reply(session, "15000", "Transferencia completa", {encodeBase64(m_state.log.text())}); });
}

void Device::reload()
{
    m_loaded = false;
}

const DeviceState& Device::state()
{
    const std::string path = StateFile::pathFromEnvironment();
    const StateLock lock(path);
    prepare(path, lock);
    contactTaxAuthority();
    return m_state;
}

std::string Device::statePath()
{
    const std::string path = StateFile::pathFromEnvironment();
    const StateLock lock(path);
    prepare(path, lock);
    return m_path;
}

// ---- shared steps

Device::Reply Device::run(const char* function, int session, const char* family, const std::function<Reply()>& body,
                          bool storeAnswer)
{
    // Held until the state is written: another program on the same device waits for this call to end.
    const std::string path = StateFile::pathFromEnvironment();
    const StateLock lock(path);
    prepare(path, lock);
    if (answersBusy(family)) {
        // Only the count of busy answers moves: no contact, no log line, no session kept.
        save();
        const std::string busy = code(family, 98);
        return Reply {std::to_string(session) + "|" + busy + "|" + kBusy + "|||", busy, kBusy};
    }
    contactTaxAuthority();
    const bool validSession = session >= 0 && session <= 999999;
    Reply result = validSession ? body() : reply(session, code(family, 99), "Numero de sessao invalido");
    contactTaxAuthority();
    const bool succeeded = (result.code.size() == 5 && result.code.compare(2, 3, "000") == 0) || result.code == "04006";
    log(std::string(function) + " sessao " + std::to_string(session) + ": " + result.code + " " + result.message,
        succeeded ? DeviceLog::kInfo : DeviceLog::kAlert);
    if (storeAnswer && validSession)
        m_state.sessions.put(session, result.answer);
    // The sale and the cancellation are the fiscal sessions: their last answer can be asked for again.
    if (validSession && (std::strcmp(family, "06") == 0 || std::strcmp(family, "07") == 0))
        m_state.lastFiscalAnswer = result.answer;
    save();
    return result;
}

void Device::prepare(const std::string& path, const StateLock& lock)
{
    m_now = DateTime::now();
    const bool opened = !m_loaded || path != m_path;
    // Another program on the same device wrote it since this one last read or wrote it.
    const StateFile::Version version = StateFile::version(path);
    if (opened || version != m_version) {
        m_path = path;
        m_loaded = true;
        m_state = DeviceState();
        if (opened) {
            m_saveError.clear();
            m_lockError.clear();
        }
        std::string note;
        const StateFile::Outcome outcome = StateFile::load(path, m_state, m_now.stamp(), note);
        if (outcome == StateFile::Outcome::SetAside)
            m_state = DeviceState();
        if (outcome == StateFile::Outcome::Missing)
            log("SAT de fabrica");
        else if (outcome == StateFile::Outcome::SetAside)
            log(note, DeviceLog::kError);
        if (opened)
            if (const int leftovers = StateFile::removeLeftovers(path, kCancellationFileName))
                log(std::to_string(leftovers) + " arquivo(s) temporario(s) de uma gravacao interrompida removido(s)",
                    DeviceLog::kAlert);
        m_version = StateFile::version(path);
    }
    if (lock.error() != m_lockError) {
        // Noted once per cause; without the lock the device still works, as it does when the state cannot be saved.
        m_lockError = lock.error();
        if (!m_lockError.empty())
            log("Sem a trava do estado: " + m_lockError, DeviceLog::kError);
    }
}

// The count of SAT_EMULADOR_OCUPADO belongs to the device, in its state: every process that loads the emulator, and
// a host started again with the same variables, draws from the same count. It starts over when the device sees the
// variable with another value, or a call without it.
bool Device::answersBusy(const char* family)
{
    const char* text = std::getenv("SAT_EMULADOR_OCUPADO");
    std::string requested = text ? text : "";
    if (!isDigits(requested, 1, 6) || std::stoi(requested) == 0)
        requested.clear();
    else
        requested = std::to_string(std::stoi(requested));
    if (requested != m_state.busyRequest) {
        m_state.busyRequest = requested;
        m_state.busyRemaining = requested.empty() ? 0 : std::stoi(requested);
    }
    // What a busy device turns away: the commands that would change it. Queries, the log and the end-to-end test
    // go through.
    static const char* const changing[] = {"04", "05", "06", "07", "12", "13", "14", "16", "17", "18"};
    bool changes = false;
    for (const char* candidate : changing)
        changes = changes || std::strcmp(candidate, family) == 0;
    if (!changes || m_state.busyRemaining == 0)
        return false;
    --m_state.busyRemaining;
    return true;
}

void Device::save()
{
    std::string error;
    if (StateFile::save(m_path, m_state, error)) {
        m_saveError.clear();
    } else if (error != m_saveError) {
        // Noted once per cause; the device keeps working from memory.
        m_saveError = error;
        log("Falha ao gravar o estado: " + error, DeviceLog::kError);
    }
    // What is there now is this device's own doing (or, when the write failed, what it already knew).
    m_version = StateFile::version(m_path);
}

Device::Access Device::access(const char* activationCode, bool allowedBeforeActivation)
{
    const std::string given = textOrEmpty(activationCode, 64);
    if (m_state.activated)
        return checkCode(given, m_state.activationCode);
    if (!allowedBeforeActivation)
        return Access::NotActivated;
    return given == kFactoryCode ? Access::Granted : Access::WrongCode;
}

// Wrong codes in a row lock every function that takes the code for a while, even with the right code then.
Device::Access Device::checkCode(const std::string& given, const std::string& expected)
{
    DateTime until;
    if (!m_state.lockedUntil.empty() && DateTime::parse(m_state.lockedUntil, until)) {
        if (m_now.toSeconds() < until.toSeconds())
            return Access::Locked;
        m_state.lockedUntil.clear();
        m_state.wrongCodeAttempts = 0;
        log("Fim do bloqueio por codigo de ativacao incorreto");
    }
    if (given == expected) {
        m_state.wrongCodeAttempts = 0;
        return Access::Granted;
    }
    if (++m_state.wrongCodeAttempts >= kWrongCodesBeforeLock) {
        m_state.lockedUntil = DateTime::fromSeconds(m_now.toSeconds() + kLockSeconds).stamp();
        log("SAT bloqueado ate " + m_state.lockedUntil + " depois de " + std::to_string(m_state.wrongCodeAttempts)
                + " codigos de ativacao incorretos",
            DeviceLog::kAlert);
    }
    return Access::WrongCode;
}

const char* Device::accessMessage(Access granted)
{
    switch (granted) {
    case Access::Granted:
        return "";
    case Access::NotActivated:
        return kNotActivated;
    case Access::WrongCode:
        return kInvalidCode;
    case Access::Locked:
        break;
    }
    return "SAT temporariamente bloqueado: numero de tentativas de codigo de ativacao ultrapassado";
}

Device::Reply Device::run(const char* function, int session, const char* activationCode, const CommandGate& gate,
                          const std::function<Reply()>& body, bool storeAnswer)
{
    return run(
        function, session, gate.family,
        [&] {
            const std::optional<Reply> refused = admit(session, activationCode, gate);
            return refused ? *refused : body();
        },
        storeAnswer);
}

std::optional<Device::Reply> Device::admit(int session, const char* activationCode, const CommandGate& gate)
{
    const auto refuse = [&](const std::string& eeeee, const std::string& message) {
        return gate.alertField ? alertReply(session, eeeee, message) : reply(session, eeeee, message);
    };
    switch (const Access granted = access(activationCode, gate.factoryCode)) {
    case Access::Granted:
        break;
    case Access::NotActivated:
        return refuse(gate.notActivated ? gate.notActivated : code(gate.family, 99), accessMessage(granted));
    case Access::WrongCode:
        return refuse(code(gate.family, 1), accessMessage(granted));
    case Access::Locked:
        return refuse(gate.locked ? gate.locked : code(gate.family, 1), accessMessage(granted));
    }
    if (!gate.blockedByTaxAuthority)
        return std::nullopt;
    switch (operationState()) {
    case BlockedByTaxAuthority:
        return refuse(gate.blockedByTaxAuthority, "SAT bloqueado pela SEFAZ");
    case BlockedForDeactivation:
        return refuse(gate.blockedByTaxAuthority, "SAT bloqueado pela SEFAZ para desativacao");
    case BlockedByTaxpayer:
        return refuse(gate.blockedByTaxpayer, "SAT bloqueado pelo contribuinte");
    case AutonomousBlock:
        return refuse(gate.autonomousBlock, "SAT em bloqueio autonomo: " + autonomousBlockReason());
    case Unblocked:
        break;
    }
    return std::nullopt;
}

bool Device::linkUp() const
{
    const char* link = std::getenv("SAT_EMULADOR_SEFAZ");
    return !link || std::strcmp(link, "0") != 0;
}

// With the link up an activated device reaches the tax authority on every command: it transmits the working
// memory and takes the block or unblock the trainer ordered on the authority's behalf.
void Device::contactTaxAuthority()
{
    if (!m_state.activated || !linkUp())
        return;
    m_state.lastCommunication = m_now.stamp();
    if (m_state.memoryCount > 0) {
        log("Transmitidos a SEFAZ " + std::to_string(m_state.memoryCount) + " CF-e, de CFe" + m_state.memoryFirstKey
            + " a CFe" + m_state.memoryLastKey);
        m_state.lastTransmission = m_now.stamp();
        m_state.memoryCount = 0;
        m_state.memoryUsedKb = 0;
        m_state.memoryFirstKey.clear();
        m_state.memoryLastKey.clear();
    }
    // An AC-SAT certificate is renewed by the tax authority itself, within its last 30 days.
    if (m_state.certificateType == 1
        && certificateExpiry() <= DateTime::fromSeconds(m_now.toSeconds() + 30 * 86400).date()) {
        m_state.certificateIssuedAt = m_now.stamp();
        log("Certificado AC-SAT renovado pela SEFAZ");
    }
    const char* order = std::getenv("SAT_EMULADOR_BLOQUEIO_SEFAZ");
    const std::string ordered = order ? order : "";
    if ((ordered == "0" || ordered == "1" || ordered == "4") && std::stoi(ordered) != m_state.taxAuthorityBlock) {
        m_state.taxAuthorityBlock = std::stoi(ordered);
        log(ordered == "0"       ? "SEFAZ desbloqueou o SAT"
                : ordered == "1" ? "SEFAZ bloqueou o SAT"
                                 : "SEFAZ bloqueou o SAT para desativacao",
            ordered == "0" ? DeviceLog::kInfo : DeviceLog::kAlert);
    }
}

void Device::keepInMemory(const std::string& key, size_t bytes)
{
    if (m_state.memoryCount == 0)
        m_state.memoryFirstKey = key;
    m_state.memoryLastKey = key;
    ++m_state.memoryCount;
    m_state.memoryUsedKb += static_cast<int64_t>((bytes + 1023) / 1024);
}

Device::OperationState Device::operationState() const
{
    if (!m_state.activated)
        return Unblocked;
    if (m_state.taxAuthorityBlock == 4)
        return BlockedForDeactivation;
    if (m_state.taxAuthorityBlock == 1)
        return BlockedByTaxAuthority;
    if (m_state.blocked)
        return BlockedByTaxpayer;
    return autonomousBlockReason().empty() ? Unblocked : AutonomousBlock;
}

std::string Device::autonomousBlockReason() const
{
    if (!m_state.activated)
        return {};
    DateTime contact;
    if (DateTime::parse(m_state.lastCommunication, contact)
        && m_now.toSeconds() - contact.toSeconds() > int64_t(kMaximumDaysWithoutContact) * 86400)
        return "sem comunicacao com a SEFAZ ha mais de " + std::to_string(kMaximumDaysWithoutContact) + " dias";
    if (m_now.date() > certificateExpiry())
        return "certificado digital vencido em " + certificateExpiry();
    if (m_state.memoryUsedKb * 100 >= m_state.memoryTotalKb * kMemoryFullPercent)
        return "memoria de trabalho cheia";
    return {};
}

std::string Device::certificateExpiry() const
{
    const std::string& issued = m_state.certificateIssuedAt.empty() ? m_state.activatedAt : m_state.certificateIssuedAt;
    return dateAfterYears(issued, kCertificateYears);
}

// The log leaves the computer: it names files, never where they are.
std::string Device::hidePaths(const std::string& text) const
{
    std::string out = text;
    const std::string directory = StateFile::siblingPath(m_path, "");
    if (directory.size() > 1)
        for (size_t at = out.find(directory); at != std::string::npos; at = out.find(directory, at))
            out.erase(at, directory.size());
    return out;
}

void Device::log(const std::string& text, const char* level)
{
    m_state.log.add(m_now, hidePaths(text), level);
}

Device::Reply Device::reply(int session, const std::string& eeeee, const std::string& message,
                            const std::vector<std::string>& extra) const
{
    const std::string text = singleLine(message);
    std::string answer = std::to_string(session) + "|" + eeeee + "|" + text + "||";
    for (const std::string& value : extra)
        answer += "|" + field(value);
    return Reply {answer, eeeee, text};
}

Device::Reply Device::alertReply(int session, const std::string& eeeee, const std::string& message,
                                 const std::vector<std::string>& extra) const
{
    const std::string text = singleLine(message);
    std::string answer = std::to_string(session) + "|" + eeeee + "|" + kNoAlert + "|" + text + "||";
    for (const std::string& value : extra)
        answer += "|" + field(value);
    return Reply {answer, eeeee, text};
}

// The clock's battery runs down with the device's age: the emulator's own rule, so that the days passed with
// SAT_EMULADOR_AGORA show on it.
std::string Device::batteryLevel() const
{
    DateTime since;
    if (!DateTime::parse(m_state.activatedAt, since))
        return "ALTO";
    const int64_t years = (m_now.toSeconds() - since.toSeconds()) / (365 * 86400);
    return years < 3 ? "ALTO" : years < 5 ? "MEDIO" : "BAIXO";
}

std::vector<std::string> Device::statusFields() const
{
    const NetworkConfig& network = m_state.network;
    // DHCP and PPPoE addresses come from an emulated lease.
    const bool leased = network.lanType != "IPFIX";
    const std::string certificate
        = m_state.certificateIssuedAt.empty() ? m_state.activatedAt : m_state.certificateIssuedAt;
    const auto orZero = [](const std::string& value, const char* zero) { return value.empty() ? zero : value; };
    std::vector<std::string> fields = {
        kSerial,
        network.lanType,
        leased ? "192.168.000.150" : network.ip,
        kMac,
        leased ? "255.255.255.000" : network.mask,
        leased ? "192.168.000.001" : network.gateway,
        leased ? "192.168.000.001" : network.dns1,
        leased ? "008.008.008.008" : network.dns2,
        linkUp() ? "CONECTADO" : "NAO_CONECTADO",
        batteryLevel(),
        std::to_string(m_state.memoryTotalKb) + " KB",
        std::to_string(m_state.memoryUsedKb) + " KB",
        m_now.stamp(),
        "01.00.00",
        "00.07",
        orZero(m_state.lastKey, kZeroKey),
        orZero(m_state.memoryFirstKey, kZeroKey),
        orZero(m_state.memoryLastKey, kZeroKey),
        orZero(m_state.lastTransmission, kZeroStamp),
        orZero(m_state.lastCommunication, kZeroStamp),
        certificate.empty() ? "00000000" : certificate.substr(0, 8),
        certificateExpiry(),
        std::to_string(static_cast<int>(operationState())),
    };
    for (std::string& value : fields)
        value = singleLine(value);
    return fields;
}

int Device::nextReceiptNumber() const
{
    return m_state.receiptNumber % 999999 + 1;
}

std::string Device::issueKey(const std::string& issuerCnpj, int receiptNumber, int& randomCode)
{
    randomCode = static_cast<int>(m_random() % 1000000);
    AccessKey::Parts parts;
    parts.uf = m_state.uf;
    parts.yearMonth = m_now.yearMonth();
    parts.issuerCnpj = issuerCnpj;
    parts.serial = kSerial;
    parts.receiptNumber = receiptNumber;
    parts.randomCode = randomCode;
    return AccessKey::build(parts);
}

void Device::writeCancellationTemplate()
{
    const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<CFeCanc>\n"
                                 "  <infCFe chCanc=\"CFe"
        + m_state.saleKey
        + "\">\n"
          "    <ide>\n"
          "      <CNPJ>"
        + m_state.softwareHouseCnpj
        + "</CNPJ>\n"
          "      <signAC>"
        + m_state.signature
        + "</signAC>\n"
          "      <numeroCaixa>"
        + m_state.saleCashRegister
        + "</numeroCaixa>\n"
          "    </ide>\n"
          "    <emit />\n"
          "    <dest />\n"
          "    <total />\n"
          "  </infCFe>\n"
          "</CFeCanc>\n";
    std::string error;
    if (!StateFile::writeAtomically(StateFile::siblingPath(m_path, kCancellationFileName), document, error))
        log("Falha ao gravar o cancelamento pronto: " + error, DeviceLog::kError);
}

void Device::removeCancellationTemplate()
{
    std::remove(StateFile::siblingPath(m_path, kCancellationFileName).c_str());
}

Device::Reply Device::rejectionReply(int session, const std::string& eeeee, const Rejection& rejection) const
{
    const std::string text = singleLine(rejection.reason);
    const std::string alert = isDigits(rejection.code, 4, 4) ? rejection.code : std::string(kNoAlert);
    return Reply {std::to_string(session) + "|" + eeeee + "|" + alert + "|" + text + "||", eeeee, text};
}

} // namespace satemu
