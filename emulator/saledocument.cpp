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

    bool readItem(const xmlNode* det, size_t position, SaleDocument::Item& item, std::set<std::string>& numbers,
                  std::string& error)
    {
        const std::string where = "infCFe/det[" + std::to_string(position) + "]";
        const std::string number = attribute(det, "nItem");
        if (!isDigits(number, 1, 3) || std::stoi(number) < 1 || std::stoi(number) > 500)
            return fail(error, where + ": atributo nItem ausente ou invalido");
        if (!numbers.insert(number).second)
            return fail(error, where + ": nItem repetido");
        const xmlNode* prod = firstChild(det, "prod");
        if (!prod)
            return fail(error, where + "/prod ausente");
        if (!firstChild(det, "imposto"))
            return fail(error, where + "/imposto ausente");
        const std::string code = childText(prod, "cProd");
        const std::string description = childText(prod, "xProd");
        if (code.empty() || characterCount(code) > 60)
            return fail(error, where + "/prod/cProd ausente ou invalido");
        if (description.empty() || characterCount(description) > 120)
            return fail(error, where + "/prod/xProd ausente ou invalido");
        Decimal quantity;
        Decimal unitPrice;
        if (!readAmount(prod, "qCom", true, 4, quantity, error, where + "/prod")
            || !readAmount(prod, "vUnCom", true, 3, unitPrice, error, where + "/prod")
            || !readAmount(prod, "vDesc", false, 2, item.discount, error, where + "/prod")
            || !readAmount(prod, "vOutro", false, 2, item.other, error, where + "/prod"))
            return false;
        if (quantity.units() == 0)
            return fail(error, where + "/prod/qCom igual a zero");
        Decimal product = quantity;
        if (!product.multiply(unitPrice))
            return fail(error, where + ": valor do item fora do limite");
        item.productValue = product.roundedToCents();
        item.itemValue = item.productValue;
        if (!item.itemValue.subtract(item.discount))
            return fail(error, where + "/prod/vDesc maior que o valor do produto");
        if (!item.itemValue.add(item.other))
            return fail(error, where + ": valor do item fora do limite");
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
    int failedGroup = 0;
    return tree ? read(std::move(tree), error, failedGroup) : nullptr;
}

std::unique_ptr<SaleDocument> SaleDocument::parseSale(const char* data, size_t size, Rejection& rejection)
{
    std::string error;
    if (size > kMaximumSize) {
        rejection = satemu::rejection(LayoutGroup::Document, LayoutFault::Format, "documento maior que 1500 KB");
        return nullptr;
    }
    XmlDocument tree = readXml(data, size, error);
    if (!tree) {
        rejection = satemu::rejection(LayoutGroup::Document, LayoutFault::Format, error);
        return nullptr;
    }
    if (!SaleValidation::check(tree.get(), rejection))
        return nullptr;
    int failedGroup = LayoutGroup::Document;
    std::unique_ptr<SaleDocument> sale = read(std::move(tree), error, failedGroup);
    if (!sale)
        rejection = satemu::rejection(failedGroup, LayoutFault::Values, error);
    return sale;
}

std::unique_ptr<SaleDocument> SaleDocument::read(XmlDocument tree, std::string& error, int& failedGroup)
{
    std::unique_ptr<SaleDocument> sale(new SaleDocument);
    sale->m_tree = std::move(tree);

    const xmlNode* root = xmlDocGetRootElement(sale->m_tree.get());
    if (!isElement(root, "CFe")) {
        error = "elemento raiz deve ser CFe";
        return nullptr;
    }
    if (children(root, "infCFe").size() != 1) {
        error = "CFe deve conter um unico infCFe";
        return nullptr;
    }
    const xmlNode* inf = firstChild(root, "infCFe");
    const xmlNode* ide = firstChild(inf, "ide");
    const xmlNode* emit = firstChild(inf, "emit");
    if (!ide || !emit) {
        error = ide ? "infCFe/emit ausente" : "infCFe/ide ausente";
        return nullptr;
    }
    sale->softwareHouseCnpj = childText(ide, "CNPJ");
    sale->signature = childText(ide, "signAC");
    sale->cashRegister = childText(ide, "numeroCaixa");
    sale->issuerCnpj = childText(emit, "CNPJ");
    if (!isDigits(sale->softwareHouseCnpj, 14, 14)) {
        error = "ide/CNPJ ausente ou fora do padrao";
        return nullptr;
    }
    if (sale->signature.empty() || sale->signature.size() > 344) {
        error = "ide/signAC ausente ou fora do padrao";
        return nullptr;
    }
    if (!isDigits(sale->cashRegister, 1, 3)) {
        error = "ide/numeroCaixa ausente ou fora do padrao";
        return nullptr;
    }
    if (!isDigits(sale->issuerCnpj, 14, 14)) {
        error = "emit/CNPJ ausente ou fora do padrao";
        return nullptr;
    }
    if (childText(emit, "IE").empty()) {
        error = "emit/IE ausente";
        return nullptr;
    }
    std::string customerError;
    sale->customerId = customerOf(firstChild(inf, "dest"), customerError);
    if (!customerError.empty()) {
        error = customerError;
        return nullptr;
    }

    const std::vector<xmlNode*> dets = children(inf, "det");
    if (dets.empty() || dets.size() > kMaximumItems) {
        error = dets.empty() ? "nenhum item (det) na venda" : "mais de 500 itens na venda";
        return nullptr;
    }
    std::set<std::string> numbers;
    for (size_t i = 0; i < dets.size(); ++i) {
        Item item;
        failedGroup = LayoutGroup::Item;
        if (!readItem(dets[i], i + 1, item, numbers, error))
            return nullptr;
        sale->items.push_back(item);
        failedGroup = LayoutGroup::Total;
        if (!sale->productsTotal.add(item.productValue) || !sale->discountsTotal.add(item.discount)
            || !sale->othersTotal.add(item.other)) {
            error = "total da venda fora do limite";
            return nullptr;
        }
    }

    failedGroup = LayoutGroup::Total;
    const xmlNode* total = firstChild(inf, "total");
    if (!total) {
        error = "infCFe/total ausente";
        return nullptr;
    }
    const xmlNode* adjustment = firstChild(total, "DescAcrEntr");
    if (!readAmount(adjustment, "vDescSubtot", false, 2, sale->subtotalDiscount, error, "total/DescAcrEntr")
        || !readAmount(adjustment, "vAcresSubtot", false, 2, sale->subtotalIncrease, error, "total/DescAcrEntr"))
        return nullptr;
    // Each item's discount is at most its product value, so the first subtraction cannot go below zero.
    sale->total = sale->productsTotal;
    sale->total.subtract(sale->discountsTotal);
    if (!sale->total.add(sale->othersTotal) || !sale->total.add(sale->subtotalIncrease)) {
        error = "total da venda fora do limite";
        return nullptr;
    }
    if (!sale->total.subtract(sale->subtotalDiscount)) {
        error = "infCFe/total/DescAcrEntr/vDescSubtot maior que o total dos itens";
        return nullptr;
    }

    failedGroup = LayoutGroup::Payment;
    const xmlNode* pgto = firstChild(inf, "pgto");
    const std::vector<xmlNode*> payments = children(pgto, "MP");
    if (payments.empty() || payments.size() > kMaximumPayments) {
        error = payments.empty() ? "nenhum meio de pagamento (pgto/MP)" : "mais de 10 meios de pagamento";
        return nullptr;
    }
    for (const xmlNode* mp : payments) {
        Decimal value;
        if (!isDigits(childText(mp, "cMP"), 2, 2)) {
            error = "pgto/MP/cMP ausente ou fora do padrao";
            return nullptr;
        }
        if (!readAmount(mp, "vMP", true, 2, value, error, "pgto/MP"))
            return nullptr;
        if (!sale->paid.add(value)) {
            error = "valor pago fora do limite";
            return nullptr;
        }
    }
    if (sale->paid < sale->total) {
        error = "infCFe/pgto: valor pago (" + sale->paid.format(2) + ") menor que o total do cupom ("
            + sale->total.format(2) + ")";
        return nullptr;
    }
    sale->change = sale->paid;
    sale->change.subtract(sale->total);
    return sale;
}

} // namespace satemu
