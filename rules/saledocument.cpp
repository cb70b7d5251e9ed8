#include "saledocument.h"

#include "cnpj.h"
#include "salevalidation.h"

#include <libxml/tree.h>

#include <set>

namespace satemu {

namespace {

    bool fail(std::string& error, const std::string& reason)
    {
        error = reason;
        return false;
    }

    bool readAmount(const xmlNode* parent, const char* name, bool required, int decimals, Decimal& out,
                    std::string& error, const std::string& where)
    {
        const xmlNode* node = firstChild(parent, name);
        if (!node) {
            out = Decimal();
            return required ? fail(error, where + "/" + name + " ausente") : true;
        }
        if (!Decimal::parse(textOf(node), out, decimals))
            return fail(error, where + "/" + name + " fora do padrao");
        return true;
    }

    // A value that breaks its rule; false, so that a reading can end with "return broken(...)".
    bool broken(Faults& faults, int group, const std::string& field, const std::string& rule,
                const char* separator = " ")
    {
        faults.add(group, LayoutFault::Values, field, rule, separator);
        return false;
    }

    // False when the item does not read (reason says why) or when one of its values breaks a rule (in faults).
    bool readItem(const xmlNode* det, size_t position, SaleDocument::Item& item, std::set<std::string>& numbers,
                  Faults& faults, std::string& reason)
    {
        const std::string where = "infCFe/det[" + std::to_string(position) + "]";
        const std::string number = attribute(det, "nItem");
        if (!isDigits(number, 1, 3) || std::stoi(number) < 1 || std::stoi(number) > 500)
            return fail(reason, where + ": atributo nItem ausente ou invalido");
        if (!numbers.insert(number).second)
            return fail(reason, where + ": nItem repetido");
        const xmlNode* prod = firstChild(det, "prod");
        if (!prod)
            return fail(reason, where + "/prod ausente");
        if (!firstChild(det, "imposto"))
            return fail(reason, where + "/imposto ausente");
        const std::string code = childText(prod, "cProd");
        const std::string description = childText(prod, "xProd");
        if (code.empty() || characterCount(code) > 60)
            return fail(reason, where + "/prod/cProd ausente ou invalido");
        if (description.empty() || characterCount(description) > 120)
            return fail(reason, where + "/prod/xProd ausente ou invalido");
        Decimal quantity;
        Decimal unitPrice;
        if (!readAmount(prod, "qCom", true, 4, quantity, reason, where + "/prod")
            || !readAmount(prod, "vUnCom", true, 3, unitPrice, reason, where + "/prod")
            || !readAmount(prod, "vDesc", false, 2, item.discount, reason, where + "/prod")
            || !readAmount(prod, "vOutro", false, 2, item.other, reason, where + "/prod"))
            return false;
        if (quantity.units() == 0)
            return fail(reason, where + "/prod/qCom igual a zero");
        Decimal product = quantity;
        if (!product.multiply(unitPrice))
            return broken(faults, LayoutGroup::Item, where, "valor do item fora do limite", ": ");
        item.productValue = product.roundedToCents();
        item.itemValue = item.productValue;
        if (!item.itemValue.subtract(item.discount))
            return broken(faults, LayoutGroup::Item, where + "/prod/vDesc", "maior que o valor do produto");
        if (!item.itemValue.add(item.other))
            return broken(faults, LayoutGroup::Item, where, "valor do item fora do limite", ": ");
        return true;
    }

    std::string customerOf(const xmlNode* dest, std::string& error)
    {
        if (!dest)
            return {};
        const std::string cnpj = childText(dest, "CNPJ");
        const std::string cpf = childText(dest, "CPF");
        if (firstChild(dest, "CNPJ") && firstChild(dest, "CPF"))
            error = "dest com CNPJ e CPF ao mesmo tempo";
        else if (firstChild(dest, "CNPJ") && !isDigits(cnpj, 14, 14))
            error = "dest/CNPJ fora do padrao";
        else if (firstChild(dest, "CPF") && !isDigits(cpf, 11, 11))
            error = "dest/CPF fora do padrao";
        return firstChild(dest, "CNPJ") ? cnpj : cpf;
    }

} // namespace

std::unique_ptr<SaleDocument> SaleDocument::parse(const char* data, size_t size, std::string& error)
{
    if (size > kMaximumSize) {
        error = "documento maior que 1500 KB";
        return nullptr;
    }
    XmlDocument tree = readXml(data, size, error);
    if (!tree)
        return nullptr;
    Faults faults;
    std::string reason;
    int failedGroup = 0;
    std::unique_ptr<SaleDocument> sale = read(std::move(tree), faults, reason, failedGroup);
    if (!sale)
        error = !reason.empty() ? reason : faults.empty() ? "documento invalido" : faults.list().front().reason;
    return sale;
}

std::unique_ptr<SaleDocument> SaleDocument::parseSale(const char* data, size_t size, Rejection& rejection)
{
    Faults faults;
    std::unique_ptr<SaleDocument> sale = checkSale(data, size, faults);
    if (!sale)
        rejection = faults.first();
    return sale;
}

std::unique_ptr<SaleDocument> SaleDocument::checkSale(const char* data, size_t size, Faults& faults)
{
    if (size > kMaximumSize) {
        faults.add(LayoutGroup::Document, LayoutFault::Format, "", "documento maior que 1500 KB", "");
        return nullptr;
    }
    std::string error;
    XmlDocument tree = readXml(data, size, error);
    if (!tree) {
        faults.add(LayoutGroup::Document, LayoutFault::Format, "", error, "");
        return nullptr;
    }
    SaleValidation::check(tree.get(), faults);
    if (faults.stopped())
        return nullptr;
    int failedGroup = LayoutGroup::Document;
    std::unique_ptr<SaleDocument> sale = read(std::move(tree), faults, error, failedGroup);
    // The layout holds everything read here; a part that still does not read is a gap between the two, refused
    // all the same. After other faults it is one of their consequences.
    if (!error.empty() && faults.empty())
        faults.add(failedGroup, LayoutFault::Values, "", error, "");
    if (!faults.empty())
        return nullptr;
    return sale;
}

std::unique_ptr<SaleDocument> SaleDocument::read(XmlDocument tree, Faults& faults, std::string& error, int& failedGroup)
{
    std::unique_ptr<SaleDocument> sale(new SaleDocument);
    sale->m_tree = std::move(tree);
    const size_t known = faults.list().size();
    int group = LayoutGroup::Document;
    // A part that does not read ends the reading with its reason. A full check, whose layout has named that part
    // already, reads on where the rest does not depend on it.
    const auto unreadable = [&](const std::string& reason) {
        if (error.empty()) {
            error = reason;
            failedGroup = group;
        }
        return !faults.every();
    };

    const xmlNode* root = xmlDocGetRootElement(sale->m_tree.get());
    if (!isElement(root, "CFe")) {
        unreadable("elemento raiz deve ser CFe");
        return nullptr;
    }
    if (children(root, "infCFe").size() != 1 && unreadable("CFe deve conter um unico infCFe"))
        return nullptr;
    const xmlNode* inf = firstChild(root, "infCFe");
    const xmlNode* ide = firstChild(inf, "ide");
    const xmlNode* emit = firstChild(inf, "emit");
    if ((!ide || !emit) && unreadable(ide ? "infCFe/emit ausente" : "infCFe/ide ausente"))
        return nullptr;
    sale->softwareHouseCnpj = childText(ide, "CNPJ");
    sale->signature = childText(ide, "signAC");
    sale->cashRegister = childText(ide, "numeroCaixa");
    sale->issuerCnpj = childText(emit, "CNPJ");
    if (!isDigits(sale->softwareHouseCnpj, 14, 14) && unreadable("ide/CNPJ ausente ou fora do padrao"))
        return nullptr;
    if ((sale->signature.empty() || sale->signature.size() > 344) && unreadable("ide/signAC ausente ou fora do padrao"))
        return nullptr;
    if (!isDigits(sale->cashRegister, 1, 3) && unreadable("ide/numeroCaixa ausente ou fora do padrao"))
        return nullptr;
    if (!isDigits(sale->issuerCnpj, 14, 14) && unreadable("emit/CNPJ ausente ou fora do padrao"))
        return nullptr;
    if (childText(emit, "IE").empty() && unreadable("emit/IE ausente"))
        return nullptr;
    std::string customerError;
    sale->customerId = customerOf(firstChild(inf, "dest"), customerError);
    if (!customerError.empty() && unreadable(customerError))
        return nullptr;

    const std::vector<xmlNode*> dets = children(inf, "det");
    if ((dets.empty() || dets.size() > kMaximumItems)
        && unreadable(dets.empty() ? "nenhum item (det) na venda" : "mais de 500 itens na venda"))
        return nullptr;
    // Each item's values are its own; the sums need every item.
    bool itemsRead = true;
    std::set<std::string> numbers;
    for (size_t i = 0; i < dets.size(); ++i) {
        Item item;
        group = LayoutGroup::Item;
        std::string reason;
        if (!readItem(dets[i], i + 1, item, numbers, faults, reason)) {
            itemsRead = false;
            if (reason.empty() ? faults.stopped() : unreadable(reason))
                return nullptr;
            continue;
        }
        sale->items.push_back(item);
        group = LayoutGroup::Total;
        if (!sale->productsTotal.add(item.productValue) || !sale->discountsTotal.add(item.discount)
            || !sale->othersTotal.add(item.other)) {
            faults.add(LayoutGroup::Total, LayoutFault::Values, "", "total da venda fora do limite", "");
            return nullptr;
        }
    }
    if (!itemsRead)
        return nullptr;

    group = LayoutGroup::Total;
    const xmlNode* total = firstChild(inf, "total");
    if (!total && unreadable("infCFe/total ausente"))
        return nullptr;
    const xmlNode* adjustment = firstChild(total, "DescAcrEntr");
    std::string reason;
    if (!readAmount(adjustment, "vDescSubtot", false, 2, sale->subtotalDiscount, reason, "total/DescAcrEntr")
        || !readAmount(adjustment, "vAcresSubtot", false, 2, sale->subtotalIncrease, reason, "total/DescAcrEntr")) {
        unreadable(reason);
        return nullptr;
    }
    // Each item's discount is at most its product value, so the first subtraction cannot go below zero.
    sale->total = sale->productsTotal;
    sale->total.subtract(sale->discountsTotal);
    if (!sale->total.add(sale->othersTotal) || !sale->total.add(sale->subtotalIncrease)) {
        faults.add(LayoutGroup::Total, LayoutFault::Values, "", "total da venda fora do limite", "");
        return nullptr;
    }
    if (!sale->total.subtract(sale->subtotalDiscount)) {
        faults.add(LayoutGroup::Total, LayoutFault::Values, "infCFe/total/DescAcrEntr/vDescSubtot",
                   "maior que o total dos itens");
        return nullptr;
    }

    group = LayoutGroup::Payment;
    const xmlNode* pgto = firstChild(inf, "pgto");
    const std::vector<xmlNode*> payments = children(pgto, "MP");
    if (payments.empty() || payments.size() > kMaximumPayments) {
        unreadable(payments.empty() ? "nenhum meio de pagamento (pgto/MP)" : "mais de 10 meios de pagamento");
        return nullptr;
    }
    for (const xmlNode* mp : payments) {
        Decimal value;
        if (!isDigits(childText(mp, "cMP"), 2, 2) && unreadable("pgto/MP/cMP ausente ou fora do padrao"))
            return nullptr;
        if (!readAmount(mp, "vMP", true, 2, value, reason, "pgto/MP")) {
            unreadable(reason);
            return nullptr;
        }
        if (!sale->paid.add(value)) {
            faults.add(LayoutGroup::Payment, LayoutFault::Values, "", "valor pago fora do limite", "");
            return nullptr;
        }
    }
    if (sale->paid < sale->total) {
        faults.add(LayoutGroup::Payment, LayoutFault::Values, "infCFe/pgto",
                   "valor pago (" + sale->paid.format(2) + ") menor que o total do cupom (" + sale->total.format(2)
                       + ")",
                   ": ");
        return nullptr;
    }
    sale->change = sale->paid;
    sale->change.subtract(sale->total);
    if (!error.empty() || faults.list().size() != known)
        return nullptr;
    return sale;
}

} // namespace satemu
