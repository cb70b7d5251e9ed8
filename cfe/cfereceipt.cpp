#include "cfereceipt.h"

#include "devicetext.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace satresults {

namespace {

    // A receipt nests a handful of levels; anything far deeper is not a CF-e and must not exhaust the stack.
    constexpr int kMaxDepth = 64;
    constexpr int kMaxElements = 200000;

    struct Node {
        QString name;
        QXmlStreamAttributes attributes;
        QString text;
        std::vector<std::unique_ptr<Node>> children;

        const Node* child(QStringView childName) const
        {
            for (const auto& c : children)
                if (c->name == childName)
                    return c.get();
            return nullptr;
        }
        std::vector<const Node*> all(QStringView childName) const
        {
            std::vector<const Node*> out;
            for (const auto& c : children)
                if (c->name == childName)
                    out.push_back(c.get());
            return out;
        }
        QString attribute(QStringView attributeName) const
        {
            for (const QXmlStreamAttribute& a : attributes)
                if (a.name() == attributeName)
                    return a.value().toString();
            return {};
        }
    };

    // Follows a path of child names; null as soon as one is missing, so optional groups need no special case.
    const Node* at(const Node* node, std::initializer_list<const char*> path)
    {
        for (const char* name : path) {
            if (!node)
                return nullptr;
            node = node->child(QString::fromLatin1(name));
        }
        return node;
    }

    QString textAt(const Node* node, std::initializer_list<const char*> path)
    {
        const Node* found = at(node, path);
        return found ? found->text : QString();
    }

    struct ReadResult {
        std::unique_ptr<Node> root;
        QString error;
    };

    // Vendors send Windows-1252 as well as UTF-8: a document that is not UTF-8 and names no other encoding of its
    // own is read as Windows-1252, instead of stopping at its first accent.
    void open(std::optional<QXmlStreamReader>& reader, const QByteArray& xml)
    {
        static const QRegularExpression declared(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([^\"']*)"));
        const QString encoding = declared.match(QString::fromLatin1(xml.left(200))).captured(1);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8(xml); // the decoder only decodes, and sees errors, when converted
        const bool namesAnother
            = !encoding.isEmpty() && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0;
        if (namesAnother)
            reader.emplace(xml);
        else
            reader.emplace(utf8.hasError() ? decodeDeviceText(xml) : decoded);
    }

    // Elements by local name: a CF-e may come with the tax authority's namespace or without one.
    ReadResult readTree(const QByteArray& xml)
    {
        std::optional<QXmlStreamReader> opened;
        open(opened, xml);
        QXmlStreamReader& reader = *opened;
        std::unique_ptr<Node> root;
        std::vector<Node*> open;
        int elements = 0;
        while (!reader.atEnd()) {
            const QXmlStreamReader::TokenType token = reader.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (open.size() >= size_t(kMaxDepth) || ++elements > kMaxElements)
                    return {nullptr, QStringLiteral("O documento é grande ou aninhado demais para ser um CF-e.")};
                auto node = std::make_unique<Node>();
                node->name = reader.name().toString();
                node->attributes = reader.attributes();
                Node* raw = node.get();
                if (open.empty()) {
                    root = std::move(node);
                } else {
                    open.back()->children.push_back(std::move(node));
                }
                open.push_back(raw);
            } else if (token == QXmlStreamReader::EndElement) {
                // Only a leaf's text is a value; the indentation between a group's children is not. A leaf keeps
                // every piece, blanks between entity references included.
                if (!open.empty() && !open.back()->children.empty())
                    open.back()->text.clear();
                if (!open.empty())
                    open.pop_back();
            } else if (token == QXmlStreamReader::Characters && !open.empty()) {
                open.back()->text += reader.text();
            }
        }
        if (reader.hasError()) {
            if (reader.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                return {nullptr,
                        QStringLiteral("O documento XML está incompleto: termina antes de fechar todos os elementos.")};
            return {nullptr,
                    QStringLiteral("O documento não é um XML bem formado (linha %1, coluna %2).")
                        .arg(reader.lineNumber())
                        .arg(reader.columnNumber())};
        }
        if (!root)
            return {nullptr, QStringLiteral("O documento não contém nenhum elemento XML.")};
        return {std::move(root), {}};
    }

    QString withoutPrefix(const QString& id)
    {
        return id.startsWith(QLatin1String("CFe")) ? id.mid(3) : id;
    }

    void readIssuer(const Node* issuer, CfeReceipt& r)
    {
        r.cnpj = textAt(issuer, {"CNPJ"});
        r.name = textAt(issuer, {"xNome"});
        r.tradeName = textAt(issuer, {"xFant"});
        r.ie = textAt(issuer, {"IE"});
        r.im = textAt(issuer, {"IM"});
        const Node* ender = at(issuer, {"enderEmit"});
        r.address.street = textAt(ender, {"xLgr"});
        r.address.number = textAt(ender, {"nro"});
        r.address.complement = textAt(ender, {"xCpl"});
        r.address.district = textAt(ender, {"xBairro"});
        r.address.city = textAt(ender, {"xMun"});
        r.address.postalCode = textAt(ender, {"CEP"});
    }

    void readConsumer(const Node* dest, CfeReceipt& r)
    {
        r.consumerId = textAt(dest, {"CPF"});
        if (r.consumerId.isEmpty()) {
            r.consumerId = textAt(dest, {"CNPJ"});
            r.consumerIsCompany = !r.consumerId.isEmpty();
        }
        r.consumerName = textAt(dest, {"xNome"});
    }

    void readItems(const Node* inf, CfeReceipt& r)
    {
        for (const Node* det : inf->all(u"det")) {
            const Node* prod = det->child(u"prod");
            CfeItem item;
            item.number = det->attribute(u"nItem");
            item.code = textAt(prod, {"cProd"});
            item.description = textAt(prod, {"xProd"});
            item.quantity = textAt(prod, {"qCom"});
            item.unit = textAt(prod, {"uCom"});
            item.unitPrice = textAt(prod, {"vUnCom"});
            item.productValue = textAt(prod, {"vProd"});
            item.itemValue = textAt(prod, {"vItem"});
            item.discount = textAt(prod, {"vDesc"});
            item.increase = textAt(prod, {"vOutro"});
            item.discountApportioned = textAt(prod, {"vRatDesc"});
            item.increaseApportioned = textAt(prod, {"vRatAcr"});
            r.items.append(item);
        }
    }

    void readTotals(const Node* inf, CfeReceipt& r)
    {
        const Node* total = inf->child(u"total");
        r.total = textAt(total, {"vCFe"});
        r.approximateTaxes = textAt(total, {"vCFeLei12741"});
        r.productsTotal = textAt(total, {"ICMSTot", "vProd"});
        r.subtotalDiscount = textAt(total, {"DescAcrEntr", "vDescSubtot"});
        r.subtotalIncrease = textAt(total, {"DescAcrEntr", "vAcresSubtot"});
        const Node* pgto = inf->child(u"pgto");
        if (pgto) {
            for (const Node* mp : pgto->all(u"MP"))
                r.payments.append({textAt(mp, {"cMP"}), textAt(mp, {"vMP"})});
        }
        r.change = textAt(pgto, {"vTroco"});
        r.notes = textAt(inf, {"infAdic", "infCpl"});
    }

} // namespace

CfeParseResult parseCfeReceipt(const QByteArray& xml)
{
    CfeParseResult result;
    if (xml.trimmed().isEmpty()) {
        result.error = QStringLiteral("O documento está vazio.");
        return result;
    }
    ReadResult tree = readTree(xml);
    if (!tree.root) {
        result.error = tree.error;
        return result;
    }
    const Node* root = tree.root.get();
    CfeReceipt& r = result.receipt;
    if (root->name == u"CFe") {
        r.kind = CfeReceipt::Kind::Sale;
    } else if (root->name == u"CFeCanc") {
        r.kind = CfeReceipt::Kind::Cancellation;
    } else {
        result.error = QStringLiteral("O documento não é um CF-e: o elemento raiz é <%1>, e não <CFe> ou <CFeCanc>.")
                           .arg(root->name);
        return result;
    }
    const Node* inf = root->child(u"infCFe");
    if (!inf) {
        result.error = QStringLiteral("O CF-e não tem o grupo infCFe.");
        return result;
    }
    // Without the device's key there is no barcode, no QR code and nothing to check: the data sent to the device
    // for a sale is not yet a receipt.
    r.key = withoutPrefix(inf->attribute(u"Id"));
    if (!isAccessKey(r.key)) {
        result.error = r.key.isEmpty()
            ? QStringLiteral("O CF-e não tem chave de acesso (atributo Id de infCFe): ainda não foi emitido pelo SAT.")
            : QStringLiteral("A chave de acesso do CF-e (atributo Id de infCFe) não tem 44 dígitos: \"%1\".")
                  .arg(r.key.left(60));
        r = CfeReceipt();
        return result;
    }

    const Node* ide = inf->child(u"ide");
    r.stateCode = textAt(ide, {"cUF"});
    r.number = textAt(ide, {"nCFe"});
    r.serial = textAt(ide, {"nserieSAT"});
    r.date = textAt(ide, {"dEmi"});
    r.time = textAt(ide, {"hEmi"});
    r.qrCodeSignature = textAt(ide, {"assinaturaQRCODE"});
    r.softwareHouseCnpj = textAt(ide, {"CNPJ"});
    r.acSignature = textAt(ide, {"signAC"});
    r.checkoutNumber = textAt(ide, {"numeroCaixa"});
    r.testEnvironment = textAt(ide, {"tpAmb"}) == u"2";

    readIssuer(inf->child(u"emit"), r);
    readConsumer(inf->child(u"dest"), r);
    readItems(inf, r);
    readTotals(inf, r);

    if (r.kind == CfeReceipt::Kind::Cancellation) {
        r.cancelledKey = withoutPrefix(inf->attribute(u"chCanc"));
        r.cancelledDate = textAt(inf, {"dEmi"});
        r.cancelledTime = textAt(inf, {"hEmi"});
    }
    result.ok = true;
    return result;
}

bool isAccessKey(const QString& text)
{
    return text.size() == 44 && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString qrCodeText(const CfeReceipt& receipt)
{
    return QStringList {receipt.key, receipt.date + receipt.time, receipt.total, receipt.consumerId,
                        receipt.qrCodeSignature}
        .join(u'|');
}

QString receiptFileName(const CfeReceipt& receipt)
{
    const QLatin1String prefix(receipt.kind == CfeReceipt::Kind::Cancellation ? "CFeCanc" : "CFe");
    return prefix + receipt.key + QLatin1String(".xml");
}

QString receiptState(const CfeReceipt& receipt)
{
    const QString fromKey = isAccessKey(receipt.key) ? receipt.key.left(2) : QString();
    const QString fromIde = receipt.stateCode.trimmed();
    if (fromKey.isEmpty() || fromIde.isEmpty())
        return fromKey.isEmpty() ? fromIde : fromKey;
    return fromKey == fromIde ? fromKey : QString();
}

std::optional<SaleCancellation> saleCancellation(const CfeReceipt& sale, const CfeReceipt& cancellation, QString* why)
{
    QString reason;
    if (sale.kind != CfeReceipt::Kind::Sale)
        reason = QStringLiteral("o CF-e %1 é um cancelamento, não uma venda.").arg(sale.key);
    else if (cancellation.kind != CfeReceipt::Kind::Cancellation)
        reason = QStringLiteral("o CF-e %1 é uma venda, não um cancelamento.").arg(cancellation.key);
    else if (cancellation.cancelledKey.isEmpty())
        reason = QStringLiteral("o cancelamento %1 não diz de que venda é (falta chCanc).").arg(cancellation.key);
    else if (cancellation.cancelledKey != sale.key)
        reason = QStringLiteral("o cancelamento %1 é da venda %2, não da venda %3.")
                     .arg(cancellation.key, cancellation.cancelledKey.left(60), sale.key);
    if (!reason.isEmpty()) {
        if (why)
            *why = reason;
        return std::nullopt;
    }
    return SaleCancellation {cancellation.key, cancellation.date, cancellation.time};
}

} // namespace satresults
