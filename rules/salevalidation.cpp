#include "salevalidation.h"

#include "cnpj.h"
#include "decimal.h"
#include "xmltree.h"

#include <libxml/tree.h>

#include <set>

namespace satemu {

namespace {

    namespace G = LayoutGroup;
    using namespace layout;

    const char kOrigins[] = "0 1 2 3 4 5 6 7 8";
    const char kUfs[] = "AC AL AP AM BA CE DF ES GO MA MT MS MG PA PB PR PE PI RJ RN RS RO RR SC SP SE TO";
    const char kPaymentCodes[] = "01 02 03 04 05 10 11 12 13 99";
    const char kVersions[] = "0.06 0.07 0.08";

    const FieldFormat kMoney = decimal(13, 2, 2);
    const FieldFormat kRate = decimal(3, 2, 2);

    // PIS and COFINS share their shape; only the names of the rate and of the computed value differ.
    struct Contribution {
        LayoutGroupSchema rated, byQuantity, exempt, simple, other, substitution;
    };

    Contribution contribution(int code, const char* rate, const char* value)
    {
        Contribution c;
        c.rated = {code,
                   {field("CST", 1, 1, oneOf("01 02 05")), field("vBC", 1, 1, kMoney),
                    field(rate, 1, 1, decimal(1, 4, 4)), satOnly(value)}};
        c.byQuantity = {code,
                        {field("CST", 1, 1, oneOf("03")), field("qBCProd", 1, 1, decimal(12, 4, 4)),
                         field("vAliqProd", 1, 1, decimal(11, 4, 4)), satOnly(value)}};
        c.exempt = {code, {field("CST", 1, 1, oneOf("04 06 07 08 09"))}};
        c.simple = {code, {field("CST", 1, 1, oneOf("49"))}};
        c.other = {code,
                   {field("CST", 1, 1, oneOf("99")), field("vBC", 0, 1, kMoney), field(rate, 0, 1, decimal(1, 4, 4)),
                    field("qBCProd", 0, 1, decimal(12, 4, 4)), field("vAliqProd", 0, 1, decimal(11, 4, 4)),
                    satOnly(value)}};
        c.substitution = {code,
                          {field("vBC", 0, 1, kMoney), field(rate, 0, 1, decimal(1, 4, 4)),
                           field("qBCProd", 0, 1, decimal(12, 4, 4)), field("vAliqProd", 0, 1, decimal(11, 4, 4)),
                           satOnly(value)}};
        return c;
    }

    struct Schemas {
        LayoutGroupSchema root, infCFe, ide, emit, dest, entrega, det, prod, obsFiscoDet, imposto, icms, icms00, icms40,
            icmsSn102, icmsSn900, issqn, total, adjustment, pgto, mp, infAdic;
        Contribution pis, cofins;
        LayoutGroupSchema pisGroup, cofinsGroup;

        Schemas()
        {
            pis = contribution(G::Pis, "pPIS", "vPIS");
            cofins = contribution(G::Cofins, "pCOFINS", "vCOFINS");
            pisGroup = {G::Pis,
                        {group("PISAliq", 1, 1, &pis.rated), orGroup("PISQtde", &pis.byQuantity),
                         orGroup("PISNT", &pis.exempt), orGroup("PISSN", &pis.simple), orGroup("PISOutr", &pis.other)}};
            cofinsGroup = {G::Cofins,
                           {group("COFINSAliq", 1, 1, &cofins.rated), orGroup("COFINSQtde", &cofins.byQuantity),
                            orGroup("COFINSNT", &cofins.exempt), orGroup("COFINSSN", &cofins.simple),
                            orGroup("COFINSOutr", &cofins.other)}};

            icms00 = {G::Icms,
                      {field("Orig", 1, 1, oneOf(kOrigins)), field("CST", 1, 1, oneOf("00 20 90")),
                       field("pICMS", 1, 1, kRate), satOnly("vICMS")}};
            icms40 = {G::Icms, {field("Orig", 1, 1, oneOf(kOrigins)), field("CST", 1, 1, oneOf("40 41 50 60"))}};
            icmsSn102
                = {G::Icms, {field("Orig", 1, 1, oneOf(kOrigins)), field("CSOSN", 1, 1, oneOf("102 300 400 500"))}};
            icmsSn900 = {G::Icms,
                         {field("Orig", 1, 1, oneOf(kOrigins)), field("CSOSN", 1, 1, oneOf("900")),
                          field("pICMS", 1, 1, kRate), satOnly("vICMS")}};
            icms = {G::Icms,
                    {group("ICMS00", 1, 1, &icms00), orGroup("ICMS40", &icms40), orGroup("ICMSSN102", &icmsSn102),
                     orGroup("ICMSSN900", &icmsSn900)}};
            issqn = {G::Issqn,
                     {field("vDeducISSQN", 1, 1, kMoney), satOnly("vBC"), field("vAliq", 1, 1, kRate),
                      satOnly("vISSQN"), field("cMunFG", 0, 1, digits(7, 7)), field("cListServ", 0, 1, text(5, 5)),
                      field("cServTribMun", 0, 1, text(1, 20)), field("cNatOp", 1, 1, oneOf("01 02 03 04 05 06 07 08")),
                      field("indIncFisc", 1, 1, oneOf("1 2"))}};
            imposto = {G::Icms,
                       {field("vItem12741", 0, 1, kMoney), group("ICMS", 0, 1, &icms), group("PIS", 1, 1, &pisGroup),
                        group("PISST", 0, 1, &pis.substitution), group("COFINS", 1, 1, &cofinsGroup),
                        group("COFINSST", 0, 1, &cofins.substitution), group("ISSQN", 0, 1, &issqn)}};

            obsFiscoDet = {G::Item, {field("xTextoDet", 1, 1, text(1, 60))}};
            prod = {G::Item,
                    {field("cProd", 1, 1, text(1, 60)), field("cEAN", 0, 1, digitsOf("8 12 13 14")),
                     field("xProd", 1, 1, text(1, 120)), field("NCM", 0, 1, digitsOf("2 8")),
                     field("CEST", 0, 1, digits(7, 7)), field("CFOP", 1, 1, cfop()), field("uCom", 1, 1, text(1, 6)),
                     field("qCom", 1, 1, decimal(11, 4, 4)), field("vUnCom", 1, 1, decimal(9, 2, 3)), satOnly("vProd"),
                     field("indRegra", 1, 1, oneOf("A T")), field("vDesc", 0, 1, kMoney), field("vOutro", 0, 1, kMoney),
                     satOnly("vItem"), satOnly("vRatDesc"), satOnly("vRatAcr"),
                     group("obsFiscoDet", 0, 10, &obsFiscoDet)}};
            det = {
                G::Item,
                {group("prod", 1, 1, &prod), group("imposto", 1, 1, &imposto), field("infAdProd", 0, 1, text(1, 500))}};

            ide = {G::Ide,
                   {satOnly("cUF"), satOnly("cNF"), satOnly("mod"), satOnly("nserieSAT"), satOnly("nCFe"),
                    satOnly("dEmi"), satOnly("hEmi"), satOnly("cDV"), satOnly("tpAmb"),
                    field("CNPJ", 1, 1, digits(14, 14)), field("signAC", 1, 1, text(1, 344)),
                    satOnly("assinaturaQRCODE"), field("numeroCaixa", 1, 1, digits(3, 3))}};
            emit = {G::Emit,
                    {field("CNPJ", 1, 1, digits(14, 14)), satOnly("xNome"), satOnly("xFant"), satOnly("enderEmit"),
                     field("IE", 1, 1, digits(2, 14)), field("IM", 0, 1, text(1, 15)), satOnly("cRegTrib"),
                     field("cRegTribISSQN", 0, 1, oneOf("1 2 3 4 5 6")), field("indRatISSQN", 1, 1, oneOf("S N"))}};
            dest = {G::Dest, {field("CNPJ", 0, 1, cnpj()), orField("CPF", cpf()), field("xNome", 0, 1, text(2, 60))}};
            entrega = {G::Entrega,
                       {field("xLgr", 1, 1, text(2, 60)), field("nro", 1, 1, text(1, 60)),
                        field("xCpl", 0, 1, text(1, 60)), field("xBairro", 1, 1, text(1, 60)),
                        field("xMun", 1, 1, text(2, 60)), field("UF", 1, 1, oneOf(kUfs))}};
            adjustment = {G::Total, {field("vDescSubtot", 1, 1, kMoney), orField("vAcresSubtot", kMoney)}};
            total = {G::Total,
                     {satOnly("ICMSTot"), satOnly("vCFe"), satOnly("ISSQNtot"), group("DescAcrEntr", 0, 1, &adjustment),
                      field("vCFeLei12741", 0, 1, kMoney)}};
            mp = {G::Payment,
                  {field("cMP", 1, 1, oneOf(kPaymentCodes)), field("vMP", 1, 1, kMoney),
                   field("cAdmC", 0, 1, digits(3, 3))}};
            pgto = {G::Payment, {group("MP", 1, 10, &mp), satOnly("vTroco")}};
            infAdic = {G::InfAdic, {field("infCpl", 0, 1, text(1, 5000)), satOnly("obsFisco")}};
            infCFe = {G::Document,
                      {group("ide", 1, 1, &ide), group("emit", 1, 1, &emit), group("dest", 1, 1, &dest),
                       group("entrega", 0, 1, &entrega), group("det", 1, 500, &det), group("total", 1, 1, &total),
                       group("pgto", 1, 1, &pgto), group("infAdic", 0, 1, &infAdic)}};
            root = {G::Document, {group("infCFe", 1, 1, &infCFe), satOnly("Signature")}};
        }
    };

    const Schemas& schemas()
    {
        static const Schemas all;
        return all;
    }

    void checkVersion(const xmlNode* inf, Faults& faults)
    {
        checkInfCfeAttributes(inf, G::Document, "versaoDadosEnt", faults);
        if (faults.stopped())
            return;
        LayoutFault fault;
        const std::string version = attribute(inf, "versaoDadosEnt");
        if (xmlHasProp(inf, reinterpret_cast<const xmlChar*>("versaoDadosEnt"))
            && !checkFormat(oneOf(kVersions), version, fault).empty())
            faults.add(G::Document, LayoutFault::Domain, "infCFe/@versaoDadosEnt",
                       version.substr(0, 10) + " nao suportada (aceitas de " + SaleValidation::kOldestVersion + " a "
                           + SaleValidation::kNewestVersion + ")");
    }

    void checkItemNumbers(const xmlNode* inf, Faults& faults)
    {
        std::set<std::string> numbers;
        size_t position = 0;
        for (const xmlNode* det : children(inf, "det")) {
            const std::string where = "infCFe/det[" + std::to_string(++position) + "]";
            const std::string number = attribute(det, "nItem");
            if (!xmlHasProp(det, reinterpret_cast<const xmlChar*>("nItem"))) {
                if (!faults.add(G::Item, LayoutFault::Missing, where + "/@nItem", "ausente"))
                    return;
            } else if (!isDigits(number, 1, 3) || std::stoi(number) < 1 || std::stoi(number) > 500) {
                if (!faults.add(G::Item, LayoutFault::Format, where + "/@nItem", "deve ser numero de 1 a 500"))
                    return;
            } else if (!numbers.insert(std::to_string(std::stoi(number))).second
                       && !faults.add(G::Item, LayoutFault::Repeated, where + "/@nItem", number + " repetido")) {
                return;
            }
            // One line per item: the path does not tell one obsFiscoDet of the item from another.
            for (const xmlNode* obs : children(firstChild(det, "prod"), "obsFiscoDet")) {
                const std::string field = attribute(obs, "xCampoDet");
                if (field.empty() || characterCount(field) > 20) {
                    if (!faults.add(G::Item, LayoutFault::Format, where + "/prod/obsFiscoDet/@xCampoDet",
                                    "deve ter de 1 a 20 caracteres"))
                        return;
                    break;
                }
            }
        }
    }

    // Either a rate over a base or a value per unit over a quantity, whole, never both.
    bool checkBase(const xmlNode* group, int code, const char* rate, const std::string& where, Faults& faults)
    {
        if (!group)
            return true;
        const bool byValue = firstChild(group, "vBC") || firstChild(group, rate);
        const bool byQuantity = firstChild(group, "qBCProd") || firstChild(group, "vAliqProd");
        const bool wholeValue = firstChild(group, "vBC") && firstChild(group, rate);
        const bool wholeQuantity = firstChild(group, "qBCProd") && firstChild(group, "vAliqProd");
        if (byValue == byQuantity || (byValue && !wholeValue) || (byQuantity && !wholeQuantity))
            return faults.add(code, LayoutFault::Values, where,
                              std::string("deve ter vBC e ") + rate
                                  + ", ou qBCProd e vAliqProd (um dos pares, completo)");
        return true;
    }

    void checkItemRules(const xmlNode* inf, Faults& faults)
    {
        const bool municipalRegistration = firstChild(firstChild(inf, "emit"), "IM") != nullptr;
        size_t position = 0;
        for (const xmlNode* det : children(inf, "det")) {
            const std::string where = "infCFe/det[" + std::to_string(++position) + "]";
            const xmlNode* prod = firstChild(det, "prod");
            Decimal quantity;
            if (Decimal::parse(childText(prod, "qCom"), quantity) && quantity.units() == 0
                && !faults.add(G::Item, LayoutFault::Domain, where + "/prod/qCom", "deve ser maior que zero"))
                return;
            const xmlNode* tax = firstChild(det, "imposto");
            if (!tax)
                continue; // reported by the layout
            const bool icms = firstChild(tax, "ICMS") != nullptr;
            const bool service = firstChild(tax, "ISSQN") != nullptr;
            if (!icms && !service
                && !faults.add(G::Icms, LayoutFault::Missing, where + "/imposto/ICMS",
                               "ausente (o item deve ter o grupo ICMS ou o ISSQN)"))
                return;
            if (icms && service
                && !faults.add(G::Icms, LayoutFault::Values, where + "/imposto",
                               "com ICMS e ISSQN: o item tem um ou outro"))
                return;
            if (service && !municipalRegistration
                && !faults.add(G::Issqn, LayoutFault::Values, where + "/imposto/ISSQN",
                               "exige a inscricao municipal do emitente (emit/IM)"))
                return;
            const xmlNode* pis = firstChild(tax, "PIS");
            const xmlNode* cofins = firstChild(tax, "COFINS");
            if (!checkBase(firstChild(pis, "PISOutr"), G::Pis, "pPIS", where + "/imposto/PIS/PISOutr", faults)
                || !checkBase(firstChild(tax, "PISST"), G::Pis, "pPIS", where + "/imposto/PISST", faults)
                || !checkBase(firstChild(cofins, "COFINSOutr"), G::Cofins, "pCOFINS",
                              where + "/imposto/COFINS/COFINSOutr", faults)
                || !checkBase(firstChild(tax, "COFINSST"), G::Cofins, "pCOFINS", where + "/imposto/COFINSST", faults))
                return;
        }
    }

} // namespace

void SaleValidation::check(const _xmlDoc* document, Faults& faults)
{
    const xmlNode* root = document ? xmlDocGetRootElement(const_cast<xmlDoc*>(document)) : nullptr;
    // Another document altogether: none of its parts is worth checking against the sale's layout.
    if (!isElement(root, "CFe")) {
        faults.add(G::Document, LayoutFault::Unexpected, "",
                   "elemento raiz " + elementName(root).substr(0, 40) + " nao previsto (deve ser CFe)", "");
        return;
    }
    const xmlNode* inf = firstChild(root, "infCFe");
    if (inf)
        checkVersion(inf, faults);
    if (inf && !faults.stopped())
        checkItemNumbers(inf, faults);
    if (!faults.stopped())
        checkLayout(root, schemas().root, "", faults);
    if (!faults.stopped())
        checkItemRules(inf, faults);
}

} // namespace satemu
