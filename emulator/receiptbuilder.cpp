#include "receiptbuilder.h"

#include "base64encoder.h"
#include "saledocument.h"
#include "xmltree.h"

#include <libxml/tree.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>

namespace satemu {

namespace {

    const char kVersion[] = "0.07";
    const char kSoftwareVersion[] = "010000";
    const char kTestingEnvironment[] = "2";

    using Order = std::initializer_list<const char*>;

    // The layout's order of each group the device completes.
    const Order kInfOrder = {"ide", "emit", "dest", "entrega", "det", "total", "pgto", "infAdic", "obsFisco"};
    const Order kIdeOrder = {"cUF",   "cNF",  "mod",    "nserieSAT",        "nCFe",       "dEmi", "hEmi", "cDV",
                             "tpAmb", "CNPJ", "signAC", "assinaturaQRCODE", "numeroCaixa"};
    const Order kEmitOrder
        = {"CNPJ", "xNome", "xFant", "enderEmit", "IE", "IM", "cRegTrib", "cRegTribISSQN", "indRatISSQN"};
    const Order kProdOrder
        = {"cProd", "cEAN",     "xProd", "NCM",    "CEST",  "CFOP",     "uCom",    "qCom",       "vUnCom",
           "vProd", "indRegra", "vDesc", "vOutro", "vItem", "vRatDesc", "vRatAcr", "obsFiscoDet"};
    const Order kTaxOrder = {"Orig",    "CST",     "CSOSN",     "vBC",   "pICMS", "pPIS",
                             "pCOFINS", "qBCProd", "vAliqProd", "vICMS", "vPIS",  "vCOFINS"};
    const Order kIssqnOrder
        = {"vDeducISSQN", "vBC", "vAliq", "vISSQN", "cMunFG", "cListServ", "cServTribMun", "cNatOp", "indIncFisc"};

    std::string pseudoBytes(const std::string& seed, size_t count)
    {
        std::seed_seq sequence(seed.begin(), seed.end());
        std::mt19937 generator(sequence);
        std::string bytes(count, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(generator() & 0xff);
        return bytes;
    }

    const xmlChar* x(const char* text)
    {
        return reinterpret_cast<const xmlChar*>(text);
    }

    xmlNode* textNode(xmlDoc* doc, const char* name, const std::string& text)
    {
        return xmlNewDocRawNode(doc, nullptr, x(name), x(text.c_str()));
    }

    int rank(const Order& order, const std::string& name)
    {
        int position = 0;
        for (const char* entry : order) {
            if (name == entry)
                return position;
            ++position;
        }
        return -1;
    }

    // Puts node before the first child the layout places after it; children outside the layout stay where they are.
    xmlNode* place(xmlNode* parent, xmlNode* node, const Order& order)
    {
        const int own = rank(order, elementName(node));
        for (xmlNode* child : childElements(parent)) {
            const int other = rank(order, elementName(child));
            if (other > own)
                return xmlAddPrevSibling(child, node);
        }
        return xmlAddChild(parent, node);
    }

    void removeAll(xmlNode* parent, const char* name)
    {
        for (xmlNode* node : children(parent, name)) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
    }

    // The device's value for name, once, in its place.
    xmlNode* setField(xmlDoc* doc, xmlNode* parent, const char* name, const std::string& value, const Order& order)
    {
        if (!parent)
            return nullptr;
        removeAll(parent, name);
        return place(parent, textNode(doc, name, value), order);
    }

    // Sorts the children the layout knows into its order, keeping repeated elements (det, MP) in document order.
    void sortChildren(xmlNode* parent, const Order& order)
    {
        for (const char* name : order)
            for (xmlNode* node : children(parent, name)) {
                xmlUnlinkNode(node);
                xmlAddChild(parent, node);
            }
    }

    // The application's comments and processing instructions are not part of the CF-e.
    void removeComments(xmlNode* first)
    {
        for (xmlNode* node = first; node;) {
            xmlNode* next = node->next;
            if (node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE) {
                xmlUnlinkNode(node);
                xmlFreeNode(node);
            } else if (node->type == XML_ELEMENT_NODE) {
                removeComments(node->children);
            }
            node = next;
        }
    }

    Decimal amountOf(const xmlNode* parent, const char* name, int decimals)
    {
        Decimal value;
        if (!Decimal::parse(childText(parent, name), value, decimals))
            return Decimal();
        return value;
    }

    std::string number6(int value)
    {
        char text[8];
        std::snprintf(text, sizeof text, "%06d", value % 1000000);
        return text;
    }

    void completeIde(xmlDoc* doc, xmlNode* ide, const ReceiptBuilder::Issue& issue)
    {
        const std::string fields[][2] = {
            {"cUF", std::to_string(issue.uf)},
            {"cNF", number6(issue.randomCode)},
            {"mod", "59"},
            {"nserieSAT", issue.serial},
            {"nCFe", number6(issue.receiptNumber)},
            {"dEmi", issue.when.date()},
            {"hEmi", issue.when.time()},
            {"cDV", issue.key.size() == 44 ? issue.key.substr(43, 1) : std::string()},
            {"tpAmb", kTestingEnvironment},
            {"assinaturaQRCODE", issue.qrCodeSignature},
        };
        for (const auto& field : fields)
            setField(doc, ide, field[0].c_str(), field[1], kIdeOrder);
    }

    // The taxpayer's registration replaces whatever the application sent in its place.
    void completeEmit(xmlDoc* doc, xmlNode* emit, const TaxpayerProfile& taxpayer)
    {
        if (!emit)
            return;
        setField(doc, emit, "xNome", taxpayer.name, kEmitOrder);
        setField(doc, emit, "xFant", taxpayer.tradeName, kEmitOrder);
        removeAll(emit, "enderEmit");
        xmlNode* address = place(emit, xmlNewDocNode(doc, nullptr, x("enderEmit"), nullptr), kEmitOrder);
        const std::pair<const char*, const std::string*> lines[] = {
            {"xLgr", &taxpayer.street},      {"nro", &taxpayer.number}, {"xCpl", &taxpayer.complement},
            {"xBairro", &taxpayer.district}, {"xMun", &taxpayer.city},  {"CEP", &taxpayer.cep},
        };
        for (const auto& line : lines)
            xmlAddChild(address, textNode(doc, line.first, *line.second));
        setField(doc, emit, "cRegTrib", taxpayer.regime, kEmitOrder);
    }

    struct TaxTotals {
        Decimal icms, pis, cofins, pisSt, cofinsSt; // of the items under ICMS
        Decimal issqnBase, issqn, issqnPis, issqnCofins, issqnPisSt, issqnCofinsSt; // of the items under ISSQN
        Decimal law12741;
        bool anyIssqn = false;
        bool anyLaw12741 = false;
    };

    // A PIS or COFINS group: by rate on vBC, or by amount per unit on qBCProd; groups without either (NT, SN) carry
    // no value.
    bool contributionOf(const xmlNode* group, const char* rate, Decimal& value)
    {
        if (firstChild(group, "vBC")) {
            value = ReceiptBuilder::taxOf(amountOf(group, "vBC", 2), amountOf(group, rate, 4), false);
            return true;
        }
        if (firstChild(group, "qBCProd")) {
            value = ReceiptBuilder::taxOf(amountOf(group, "qBCProd", 4), amountOf(group, "vAliqProd", 4), false);
            return true;
        }
        return false;
    }

    void completeContribution(xmlDoc* doc, xmlNode* imposto, const char* parent, const char* stGroup,
                              const char* prefix, Decimal& total, Decimal& stTotal)
    {
        const std::string rate = std::string("p") + prefix;
        const std::string result = std::string("v") + prefix;
        for (xmlNode* group : childElements(firstChild(imposto, parent))) {
            Decimal value;
            if (contributionOf(group, rate.c_str(), value)) {
                setField(doc, group, result.c_str(), value.format(2), kTaxOrder);
                total.add(value);
            }
        }
        if (xmlNode* st = firstChild(imposto, stGroup)) {
            Decimal value;
            if (contributionOf(st, rate.c_str(), value)) {
                setField(doc, st, result.c_str(), value.format(2), kTaxOrder);
                stTotal.add(value);
            }
        }
    }

    // base: the item's value after its share of the subtotal discount or increase.
    void completeTaxes(xmlDoc* doc, xmlNode* imposto, const Decimal& base, TaxTotals& totals)
    {
        if (!imposto)
            return;
        Decimal law;
        if (Decimal::parse(childText(imposto, "vItem12741"), law, 2)) {
            totals.law12741.add(law);
            totals.anyLaw12741 = true;
        }
        const bool issqn = firstChild(imposto, "ISSQN") && !firstChild(imposto, "ICMS");
        for (xmlNode* group : childElements(firstChild(imposto, "ICMS"))) {
            const std::string name = elementName(group);
            if (name != "ICMS00" && name != "ICMSSN900")
                continue; // ICMS40 and ICMSSN102 carry no value
            const Decimal value = ReceiptBuilder::taxOf(base, amountOf(group, "pICMS", 2), true);
            setField(doc, group, "vICMS", value.format(2), kTaxOrder);
            totals.icms.add(value);
        }
        if (issqn) {
            xmlNode* group = firstChild(imposto, "ISSQN");
            Decimal taxable = base;
            if (!taxable.subtract(amountOf(group, "vDeducISSQN", 2)))
                taxable = Decimal();
            const Decimal value = ReceiptBuilder::taxOf(taxable, amountOf(group, "vAliq", 2), true);
            setField(doc, group, "vBC", taxable.format(2), kIssqnOrder);
            setField(doc, group, "vISSQN", value.format(2), kIssqnOrder);
            totals.issqnBase.add(taxable);
            totals.issqn.add(value);
            totals.anyIssqn = true;
            completeContribution(doc, imposto, "PIS", "PISST", "PIS", totals.issqnPis, totals.issqnPisSt);
            completeContribution(doc, imposto, "COFINS", "COFINSST", "COFINS", totals.issqnCofins,
                                 totals.issqnCofinsSt);
            return;
        }
        completeContribution(doc, imposto, "PIS", "PISST", "PIS", totals.pis, totals.pisSt);
        completeContribution(doc, imposto, "COFINS", "COFINSST", "COFINS", totals.cofins, totals.cofinsSt);
    }

    void completeItem(xmlDoc* doc, xmlNode* det, const SaleDocument::Item& item, const Decimal& discountShare,
                      const Decimal& increaseShare, TaxTotals& totals)
    {
        xmlNode* prod = firstChild(det, "prod");
        setField(doc, prod, "vProd", item.productValue.format(2), kProdOrder);
        setField(doc, prod, "vItem", item.itemValue.format(2), kProdOrder);
        removeAll(prod, "vRatDesc");
        removeAll(prod, "vRatAcr");
        if (discountShare.units() > 0)
            setField(doc, prod, "vRatDesc", discountShare.format(2), kProdOrder);
        if (increaseShare.units() > 0)
            setField(doc, prod, "vRatAcr", increaseShare.format(2), kProdOrder);
        Decimal base = item.itemValue;
        if (!base.subtract(discountShare))
            base = Decimal();
        base.add(increaseShare);
        completeTaxes(doc, firstChild(det, "imposto"), base, totals);
    }

    void completeTotal(xmlDoc* doc, xmlNode* inf, const SaleDocument& sale, const TaxTotals& taxes)
    {
        xmlNode* total = firstChild(inf, "total");
        if (!total)
            total = xmlAddChild(inf, xmlNewDocNode(doc, nullptr, x("total"), nullptr));
        // Only the application's subtotal discount or increase and its declared tax total survive; the rest is the
        // device's.
        for (xmlNode* child : childElements(total))
            if (elementName(child) != "DescAcrEntr" && elementName(child) != "vCFeLei12741") {
                xmlUnlinkNode(child);
                xmlFreeNode(child);
            }
        xmlNode* icmsTotal = xmlNewDocNode(doc, nullptr, x("ICMSTot"), nullptr);
        const std::pair<const char*, Decimal> fields[] = {
            {"vICMS", taxes.icms},         {"vProd", sale.productsTotal}, {"vDesc", sale.discountsTotal},
            {"vPIS", taxes.pis},           {"vCOFINS", taxes.cofins},     {"vPISST", taxes.pisSt},
            {"vCOFINSST", taxes.cofinsSt}, {"vOutro", sale.othersTotal},
        };
        for (const auto& field : fields)
            xmlAddChild(icmsTotal, textNode(doc, field.first, field.second.format(2)));
        const Order order = {"ICMSTot", "vCFe", "ISSQNtot", "DescAcrEntr", "vCFeLei12741"};
        place(total, icmsTotal, order);
        setField(doc, total, "vCFe", sale.total.format(2), order);
        if (taxes.anyIssqn) {
            xmlNode* issqnTotal = place(total, xmlNewDocNode(doc, nullptr, x("ISSQNtot"), nullptr), order);
            const std::pair<const char*, Decimal> values[] = {
                {"vBC", taxes.issqnBase},       {"vISS", taxes.issqn},        {"vPIS", taxes.issqnPis},
                {"vCOFINS", taxes.issqnCofins}, {"vPISST", taxes.issqnPisSt}, {"vCOFINSST", taxes.issqnCofinsSt},
            };
            for (const auto& value : values)
                xmlAddChild(issqnTotal, textNode(doc, value.first, value.second.format(2)));
        }
        if (taxes.anyLaw12741 && !firstChild(total, "vCFeLei12741"))
            setField(doc, total, "vCFeLei12741", taxes.law12741.format(2), order);
        sortChildren(total, order);
    }

    void completePayment(xmlDoc* doc, xmlNode* inf, const SaleDocument& sale)
    {
        xmlNode* pgto = firstChild(inf, "pgto");
        if (!pgto)
            return;
        removeAll(pgto, "vTroco");
        xmlAddChild(pgto, textNode(doc, "vTroco", sale.change.format(2)));
    }

    xmlNode* signature(xmlDoc* doc, const std::string& key)
    {
        xmlNode* root = xmlNewDocNode(doc, nullptr, x("Signature"), nullptr);
        xmlSetNs(root, xmlNewNs(root, x("http://www.w3.org/2000/09/xmldsig#"), nullptr));
        xmlNode* info = xmlNewChild(root, nullptr, x("SignedInfo"), nullptr);
        xmlNewProp(xmlNewChild(info, nullptr, x("CanonicalizationMethod"), nullptr), x("Algorithm"),
                   x("http://www.w3.org/TR/2001/REC-xml-c14n-20010315"));
        xmlNewProp(xmlNewChild(info, nullptr, x("SignatureMethod"), nullptr), x("Algorithm"),
                   x("http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"));
        xmlNode* reference = xmlNewChild(info, nullptr, x("Reference"), nullptr);
        xmlNewProp(reference, x("URI"), x(("#CFe" + key).c_str()));
        xmlNode* transforms = xmlNewChild(reference, nullptr, x("Transforms"), nullptr);
        xmlNewProp(xmlNewChild(transforms, nullptr, x("Transform"), nullptr), x("Algorithm"),
                   x("http://www.w3.org/2000/09/xmldsig#enveloped-signature"));
        xmlNewProp(xmlNewChild(transforms, nullptr, x("Transform"), nullptr), x("Algorithm"),
                   x("http://www.w3.org/TR/2001/REC-xml-c14n-20010315"));
        xmlNewProp(xmlNewChild(reference, nullptr, x("DigestMethod"), nullptr), x("Algorithm"),
                   x("http://www.w3.org/2001/04/xmlenc#sha256"));
        xmlNewChild(reference, nullptr, x("DigestValue"), x(encodeBase64(pseudoBytes("digest" + key, 32)).c_str()));
        xmlNewChild(root, nullptr, x("SignatureValue"), x(encodeBase64(pseudoBytes("value" + key, 256)).c_str()));
        xmlNode* data = xmlNewChild(xmlNewChild(root, nullptr, x("KeyInfo"), nullptr), nullptr, x("X509Data"), nullptr);
        xmlNewChild(data, nullptr, x("X509Certificate"),
                    x(encodeBase64("certificado do emulador SAT, sem valor fiscal").c_str()));
        return root;
    }

    std::string serialise(xmlDoc* doc)
    {
        xmlChar* text = nullptr;
        int size = 0;
        xmlDocDumpMemoryEnc(doc, &text, &size, "UTF-8");
        std::string out = text && size > 0 ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
        xmlFree(text);
        return out;
    }

} // namespace

std::string ReceiptBuilder::qrCodeSignature(const std::string& key)
{
    return encodeBase64(pseudoBytes("qrcode" + key, 256));
}

std::vector<Decimal> ReceiptBuilder::apportion(const Decimal& amount, const std::vector<Decimal>& weights)
{
    std::vector<Decimal> shares(weights.size());
    __int128 sum = 0;
    for (const Decimal& weight : weights)
        sum += weight.units();
    const int64_t cents = amount.roundedToCents().units() / 100;
    if (sum == 0 || cents == 0)
        return shares;
    std::vector<__int128> remainders(weights.size());
    int64_t given = 0;
    for (size_t i = 0; i < weights.size(); ++i) {
        const __int128 scaled = static_cast<__int128>(cents) * weights[i].units();
        const int64_t share = static_cast<int64_t>(scaled / sum);
        remainders[i] = scaled % sum;
        shares[i] = Decimal::fromUnits(share * 100);
        given += share;
    }
    // Fewer cents are left than items with a remainder, so each gets at most one.
    for (int64_t left = cents - given; left > 0; --left) {
        size_t best = 0;
        for (size_t i = 1; i < remainders.size(); ++i)
            if (remainders[i] > remainders[best])
                best = i;
        remainders[best] = -1;
        shares[best] = Decimal::fromUnits(shares[best].units() + 100);
    }
    return shares;
}

Decimal ReceiptBuilder::taxOf(const Decimal& base, const Decimal& rate, bool percent)
{
    // Units are 1/10000, so the product is in 1/10^8; cents are 1/10^2 of it, or 1/10^4 more for a percentage.
    const __int128 product = static_cast<__int128>(base.units()) * rate.units();
    const __int128 divisor = percent ? 100000000 : 1000000;
    const __int128 cents = (product + divisor / 2) / divisor;
    if (cents * 100 > Decimal::kMaximum)
        return Decimal();
    return Decimal::fromUnits(static_cast<int64_t>(cents * 100));
}

std::string ReceiptBuilder::issuerField(const SaleDocument& sale, const char* name)
{
    const xmlNode* root = xmlDocGetRootElement(sale.tree());
    return childText(firstChild(firstChild(root, "infCFe"), "emit"), name);
}

std::string ReceiptBuilder::issueSale(SaleDocument& sale, const Issue& issue)
{
    xmlDoc* doc = sale.tree();
    xmlNode* root = xmlDocGetRootElement(doc);
    xmlNode* inf = firstChild(root, "infCFe");
    removeComments(doc->children);
    // The issued CF-e carries the layout's attributes only: versaoDadosEnt stays, as a device keeps it.
    xmlSetProp(inf, x("Id"), x(("CFe" + issue.key).c_str()));
    xmlSetProp(inf, x("versao"), x(kVersion));
    xmlSetProp(inf, x("versaoSB"), x(kSoftwareVersion));
    sortChildren(inf, kInfOrder);

    completeIde(doc, firstChild(inf, "ide"), issue);
    completeEmit(doc, firstChild(inf, "emit"), issue.taxpayer);

    std::vector<Decimal> weights;
    for (const SaleDocument::Item& item : sale.items)
        weights.push_back(item.itemValue);
    const std::vector<Decimal> discounts = apportion(sale.subtotalDiscount, weights);
    const std::vector<Decimal> increases = apportion(sale.subtotalIncrease, weights);
    TaxTotals taxes;
    const std::vector<xmlNode*> dets = children(inf, "det");
    for (size_t i = 0; i < dets.size() && i < sale.items.size(); ++i) {
        sortChildren(firstChild(dets[i], "prod"), kProdOrder);
        completeItem(doc, dets[i], sale.items[i], discounts[i], increases[i], taxes);
    }
    completeTotal(doc, inf, sale, taxes);
    sortChildren(inf, kInfOrder);
    completePayment(doc, inf, sale);
    removeAll(root, "Signature");
    xmlAddChild(root, signature(doc, issue.key));
    return serialise(doc);
}

std::string ReceiptBuilder::issueCancellation(const Cancellation& cancellation, const Issue& issue)
{
    XmlDocument holder(xmlNewDoc(x("1.0")));
    xmlDoc* doc = holder.get();
    xmlNode* root = xmlNewDocNode(doc, nullptr, x("CFeCanc"), nullptr);
    xmlDocSetRootElement(doc, root);
    xmlNode* inf = xmlNewChild(root, nullptr, x("infCFe"), nullptr);
    xmlNewProp(inf, x("versao"), x(kVersion));
    xmlNewProp(inf, x("Id"), x(("CFe" + issue.key).c_str()));
    xmlNewProp(inf, x("chCanc"), x(("CFe" + cancellation.cancelledKey).c_str()));
    xmlAddChild(inf, textNode(doc, "dEmi", cancellation.saleIssued.date()));
    xmlAddChild(inf, textNode(doc, "hEmi", cancellation.saleIssued.time()));

    xmlNode* ide = xmlNewChild(inf, nullptr, x("ide"), nullptr);
    xmlAddChild(ide, textNode(doc, "CNPJ", cancellation.softwareHouseCnpj));
    xmlAddChild(ide, textNode(doc, "signAC", cancellation.signature));
    xmlAddChild(ide, textNode(doc, "numeroCaixa", cancellation.cashRegister));
    completeIde(doc, ide, issue);

    // The cancellation repeats the cancelled sale's issuer, with the registration it was issued under.
    xmlNode* emit = xmlNewChild(inf, nullptr, x("emit"), nullptr);
    xmlAddChild(emit, textNode(doc, "CNPJ", cancellation.issuerCnpj));
    if (!cancellation.issuerIe.empty())
        xmlAddChild(emit, textNode(doc, "IE", cancellation.issuerIe));
    if (!cancellation.issuerIm.empty())
        xmlAddChild(emit, textNode(doc, "IM", cancellation.issuerIm));
    completeEmit(doc, emit, issue.taxpayer);
    // cRegTrib belongs to the sale's emit only.
    removeAll(emit, "cRegTrib");

    xmlNode* dest = xmlNewChild(inf, nullptr, x("dest"), nullptr);
    if (!cancellation.customerId.empty())
        xmlAddChild(dest,
                    textNode(doc, cancellation.customerId.size() == 14 ? "CNPJ" : "CPF", cancellation.customerId));
    xmlNode* total = xmlNewChild(inf, nullptr, x("total"), nullptr);
    xmlAddChild(total, textNode(doc, "vCFe", cancellation.total));
    xmlAddChild(root, signature(doc, issue.key));
    return serialise(doc);
}

} // namespace satemu
