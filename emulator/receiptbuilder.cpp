#include "receiptbuilder.h"

#include "base64encoder.h"
#include "saledocument.h"
#include "xmltree.h"

#include <libxml/tree.h>

#include <cstdio>
#include <random>

namespace satemu {

namespace {

    const char kIssuerName[] = "CONTRIBUINTE DO EMULADOR SAT";
    const char kVersion[] = "0.07";
    const char kSoftwareVersion[] = "010000";
    const char kTestingEnvironment[] = "2";

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

    xmlNode* insertBefore(xmlNode* parent, xmlNode* reference, xmlNode* node)
    {
        return reference ? xmlAddPrevSibling(reference, node) : xmlAddChild(parent, node);
    }

    xmlNode* insertAfter(xmlNode* parent, xmlNode* reference, xmlNode* node)
    {
        return reference ? xmlAddNextSibling(reference, node) : xmlAddChild(parent, node);
    }

    std::string number6(int value)
    {
        char text[8];
        std::snprintf(text, sizeof text, "%06d", value % 1000000);
        return text;
    }

    // Fills the fields the device adds to ide, in the layout's order, before the first element the caller sent.
    void completeIde(xmlDoc* doc, xmlNode* ide, const ReceiptBuilder::Issue& issue)
    {
        xmlNode* first = childElements(ide).empty() ? nullptr : childElements(ide).front();
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
        };
        for (const auto& field : fields)
            insertBefore(ide, first, textNode(doc, field[0].c_str(), field[1]));
        insertAfter(ide, firstChild(ide, "signAC"), textNode(doc, "assinaturaQRCODE", issue.qrCodeSignature));
    }

    // A percentage or rate of a base, rounded to cents; zero when either value is missing or malformed.
    Decimal taxOf(const std::string& baseText, const Decimal* base, const std::string& rateText, bool percent)
    {
        Decimal value;
        Decimal rate;
        if (!base && !Decimal::parse(baseText, value, 2))
            return Decimal();
        if (base)
            value = *base;
        if (!Decimal::parse(rateText, rate, 4) || !value.multiply(rate))
            return Decimal();
        if (percent)
            value = Decimal::fromUnits((value.units() + 50) / 100);
        return value.roundedToCents();
    }

    struct TaxTotals {
        Decimal icms, pis, cofins, pisSt, cofinsSt;
    };

    // The device computes the tax values of the groups whose rate the caller gave.
    void completeTaxes(xmlDoc* doc, xmlNode* imposto, const Decimal& itemValue, TaxTotals& totals)
    {
        if (xmlNode* icms00 = firstChild(firstChild(imposto, "ICMS"), "ICMS00")) {
            const Decimal value = taxOf({}, &itemValue, childText(icms00, "pICMS"), true);
            insertAfter(icms00, firstChild(icms00, "pICMS"), textNode(doc, "vICMS", value.format(2)));
            totals.icms.add(value);
        }
        struct Group {
            const char* parent;
            const char* group;
            const char* rate;
            const char* result;
            Decimal* total;
        } groups[] = {
            {"PIS", "PISAliq", "pPIS", "vPIS", &totals.pis},
            {"COFINS", "COFINSAliq", "pCOFINS", "vCOFINS", &totals.cofins},
            {nullptr, "PISST", "pPIS", "vPIS", &totals.pisSt},
            {nullptr, "COFINSST", "pCOFINS", "vCOFINS", &totals.cofinsSt},
        };
        for (const Group& g : groups) {
            xmlNode* node
                = g.parent ? firstChild(firstChild(imposto, g.parent), g.group) : firstChild(imposto, g.group);
            if (!node || !firstChild(node, "vBC"))
                continue;
            const Decimal value = taxOf(childText(node, "vBC"), nullptr, childText(node, g.rate), false);
            insertAfter(node, firstChild(node, g.rate), textNode(doc, g.result, value.format(2)));
            g.total->add(value);
        }
    }

    void completeItem(xmlDoc* doc, xmlNode* det, const SaleDocument::Item& item, TaxTotals& totals)
    {
        xmlNode* prod = firstChild(det, "prod");
        xmlNode* productValue
            = insertAfter(prod, firstChild(prod, "vUnCom"), textNode(doc, "vProd", item.productValue.format(2)));
        xmlNode* last = productValue;
        for (const char* name : {"indRegra", "vDesc", "vOutro"})
            if (xmlNode* node = firstChild(prod, name))
                last = node;
        insertAfter(prod, last, textNode(doc, "vItem", item.itemValue.format(2)));
        completeTaxes(doc, firstChild(det, "imposto"), item.itemValue, totals);
    }

    void completeTotal(xmlDoc* doc, xmlNode* total, const SaleDocument& sale, const TaxTotals& taxes)
    {
        xmlNode* first = childElements(total).empty() ? nullptr : childElements(total).front();
        xmlNode* icmsTotal = insertBefore(total, first, xmlNewDocNode(doc, nullptr, x("ICMSTot"), nullptr));
        const std::pair<const char*, Decimal> fields[] = {
            {"vICMS", taxes.icms},         {"vProd", sale.productsTotal}, {"vDesc", sale.discountsTotal},
            {"vPIS", taxes.pis},           {"vCOFINS", taxes.cofins},     {"vPISST", taxes.pisSt},
            {"vCOFINSST", taxes.cofinsSt}, {"vOutro", sale.othersTotal},
        };
        for (const auto& field : fields)
            xmlAddChild(icmsTotal, textNode(doc, field.first, field.second.format(2)));
        insertAfter(total, icmsTotal, textNode(doc, "vCFe", sale.total.format(2)));
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

std::string ReceiptBuilder::issueSale(SaleDocument& sale, const Issue& issue)
{
    xmlDoc* doc = sale.tree();
    xmlNode* root = xmlDocGetRootElement(doc);
    xmlNode* inf = firstChild(root, "infCFe");
    xmlSetProp(inf, x("Id"), x(("CFe" + issue.key).c_str()));
    xmlSetProp(inf, x("versao"), x(kVersion));
    xmlSetProp(inf, x("versaoSB"), x(kSoftwareVersion));

    completeIde(doc, firstChild(inf, "ide"), issue);
    xmlNode* emit = firstChild(inf, "emit");
    if (!firstChild(emit, "xNome"))
        insertAfter(emit, firstChild(emit, "CNPJ"), textNode(doc, "xNome", kIssuerName));

    TaxTotals taxes;
    const std::vector<xmlNode*> dets = children(inf, "det");
    for (size_t i = 0; i < dets.size() && i < sale.items.size(); ++i)
        completeItem(doc, dets[i], sale.items[i], taxes);
    completeTotal(doc, firstChild(inf, "total"), sale, taxes);
    xmlAddChild(firstChild(inf, "pgto"), textNode(doc, "vTroco", sale.change.format(2)));
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

    xmlNode* emit = xmlNewChild(inf, nullptr, x("emit"), nullptr);
    xmlAddChild(emit, textNode(doc, "CNPJ", cancellation.issuerCnpj));
    xmlAddChild(emit, textNode(doc, "xNome", kIssuerName));
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
