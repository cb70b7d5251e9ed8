#include "cancellationvalidation.h"

#include "cnpj.h"
#include "xmltree.h"

#include <libxml/tree.h>

namespace satemu {

namespace {

    namespace G = LayoutGroup;
    using namespace layout;

    struct Schemas {
        LayoutGroupSchema root, infCFe, ide, emit, dest, total;

        Schemas()
        {
            ide = {G::CancellationIde,
                   {satOnly("cUF"), satOnly("cNF"), satOnly("mod"), satOnly("nserieSAT"), satOnly("nCFe"),
                    satOnly("dEmi"), satOnly("hEmi"), satOnly("cDV"), field("CNPJ", 1, 1, digits(14, 14)),
                    field("signAC", 1, 1, text(1, 344)), satOnly("assinaturaQRCODE"),
                    field("numeroCaixa", 1, 1, digits(3, 3))}};
            // The device copies these from the sale being cancelled.
            emit = {G::CancellationEmpty,
                    {satOnly("CNPJ"), satOnly("xNome"), satOnly("xFant"), satOnly("enderEmit"), satOnly("IE"),
                     satOnly("IM")}};
            dest = {G::CancellationEmpty, {satOnly("CNPJ"), satOnly("CPF"), satOnly("xNome")}};
            total = {G::CancellationEmpty, {satOnly("vCFe")}};
            infCFe = {G::Cancellation,
                      {group("ide", 1, 1, &ide), group("emit", 1, 1, &emit), group("dest", 1, 1, &dest),
                       group("total", 1, 1, &total)}};
            root = {G::Cancellation, {group("infCFe", 1, 1, &infCFe), satOnly("Signature")}};
        }
    };

    const Schemas& schemas()
    {
        static const Schemas all;
        return all;
    }

    void checkAttributes(const xmlNode* inf, Faults& faults)
    {
        if (!checkInfCfeAttributes(inf, G::Cancellation, "chCanc", faults))
            return;
        const std::string key = attribute(inf, "chCanc");
        if (key.size() != 47 || key.compare(0, 3, "CFe") != 0 || !isDigits(key.substr(3), 44, 44))
            faults.add(G::Cancellation, LayoutFault::Format, "infCFe/@chCanc",
                       "deve ser CFe seguido dos 44 digitos da chave");
    }

} // namespace

void CancellationValidation::check(const _xmlDoc* document, Faults& faults)
{
    const xmlNode* root = document ? xmlDocGetRootElement(const_cast<xmlDoc*>(document)) : nullptr;
    if (!isElement(root, "CFeCanc")) {
        faults.add(G::Cancellation, LayoutFault::Unexpected, "",
                   "elemento raiz " + elementName(root).substr(0, 40) + " nao previsto (deve ser CFeCanc)", "");
        return;
    }
    const xmlNode* inf = firstChild(root, "infCFe");
    if (inf)
        checkAttributes(inf, faults);
    if (!faults.stopped())
        checkLayout(root, schemas().root, "", faults);
}

} // namespace satemu
