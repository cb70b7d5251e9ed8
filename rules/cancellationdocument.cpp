#include "cancellationdocument.h"

#include "cancellationvalidation.h"
#include "cnpj.h"
#include "xmltree.h"

#include <libxml/tree.h>

namespace satemu {

bool CancellationDocument::parse(const char* data, size_t size, CancellationDocument& out, std::string& error)
{
    if (size > kMaximumSize) {
        error = "documento de cancelamento maior que 64 KB";
        return false;
    }
    const XmlDocument doc = readXml(data, size, error);
    return doc && read(doc.get(), out, error);
}

bool CancellationDocument::parseRequest(const char* data, size_t size, CancellationDocument& out, Rejection& rejection)
{
    Faults faults;
    if (checkRequest(data, size, out, faults))
        return true;
    rejection = faults.first();
    return false;
}

bool CancellationDocument::checkRequest(const char* data, size_t size, CancellationDocument& out, Faults& faults)
{
    if (size > kMaximumSize) {
        faults.add(LayoutGroup::Cancellation, LayoutFault::Format, "", "documento de cancelamento maior que 64 KB", "");
        return false;
    }
    std::string error;
    const XmlDocument doc = readXml(data, size, error);
    if (!doc) {
        faults.add(LayoutGroup::Cancellation, LayoutFault::Format, "", error, "");
        return false;
    }
    CancellationValidation::check(doc.get(), faults);
    if (!faults.empty())
        return false;
    if (!read(doc.get(), out, error)) {
        // The layout holds everything read here; kept so that a gap between the two never passes silently.
        faults.add(LayoutGroup::Cancellation, LayoutFault::Format, "", error, "");
        return false;
    }
    return true;
}

bool CancellationDocument::read(const _xmlDoc* doc, CancellationDocument& out, std::string& error)
{
    const xmlNode* root = xmlDocGetRootElement(const_cast<xmlDoc*>(doc));
    if (!isElement(root, "CFeCanc")) {
        error = "elemento raiz deve ser CFeCanc";
        return false;
    }
    if (children(root, "infCFe").size() != 1) {
        error = "CFeCanc deve conter um unico infCFe";
        return false;
    }
    const xmlNode* inf = firstChild(root, "infCFe");
    const std::string key = attribute(inf, "chCanc");
    if (key.size() != 47 || key.compare(0, 3, "CFe") != 0 || !isDigits(key.substr(3), 44, 44)) {
        error = "atributo chCanc ausente ou fora do padrao (CFe seguido de 44 digitos)";
        return false;
    }
    const xmlNode* ide = firstChild(inf, "ide");
    if (!ide) {
        error = "infCFe/ide ausente";
        return false;
    }
    CancellationDocument read;
    read.cancelledKey = key.substr(3);
    read.softwareHouseCnpj = childText(ide, "CNPJ");
    read.signature = childText(ide, "signAC");
    read.cashRegister = childText(ide, "numeroCaixa");
    if (!isDigits(read.softwareHouseCnpj, 14, 14)) {
        error = "ide/CNPJ ausente ou fora do padrao";
        return false;
    }
    if (read.signature.empty() || read.signature.size() > 344) {
        error = "ide/signAC ausente ou fora do padrao";
        return false;
    }
    if (!isDigits(read.cashRegister, 1, 3)) {
        error = "ide/numeroCaixa ausente ou fora do padrao";
        return false;
    }
    out = read;
    return true;
}

} // namespace satemu
