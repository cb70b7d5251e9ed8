#include "saledraft.h"

#include "cfeformat.h"
#include "decimal.h"
#include "documentfaults.h"
#include "layoutcheck.h"

#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <algorithm>
#include <optional>

namespace satresults {

namespace {

    using Field = DraftFault::Field;

    QList<Choice> choices(std::initializer_list<std::pair<const char*, const char*>> entries)
    {
        QList<Choice> out;
        for (const auto& [code, label] : entries)
            out.append({QString::fromUtf8(code), QString::fromUtf8(label)});
        return out;
    }

    bool listed(const QList<Choice>& list, const QString& code)
    {
        return std::any_of(list.begin(), list.end(), [&](const Choice& c) { return c.code == code; });
    }

    // A CPF's or a CNPJ's punctuation; anything else stays for the check to name.
    QString digitsOnly(QString text)
    {
        static const QRegularExpression punctuation(QStringLiteral("[.\\-/\\s]"));
        return text.remove(punctuation);
    }

    // The layout's decimal from what was typed: a comma as the point, the decimals padded to `fewest`. What is no
    // plain number, or has more decimals than `most`, is left as typed, for the check to name.
    QString decimalText(const QString& typed, int fewest, int most)
    {
        QString text = typed.trimmed();
        // "1.234,56" as well as "1234,56": points that only group thousands go before the comma becomes one.
        static const QRegularExpression grouped(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{3})+,[0-9]*$"));
        if (grouped.match(text).hasMatch())
            text.remove(u'.');
        if (text.count(u',') == 1 && !text.contains(u'.'))
            text.replace(u',', u'.');
        static const QRegularExpression plain(QStringLiteral("^[0-9]+(\\.[0-9]*)?$"));
        if (!plain.match(text).hasMatch())
            return text;
        if (!text.contains(u'.'))
            text += u'.';
        const int decimals = int(text.size() - text.indexOf(u'.') - 1);
        if (decimals > most)
            return text.endsWith(u'.') ? text.chopped(1) : text;
        return text + QString(std::max(0, fewest - decimals), u'0');
    }

    QString checkoutText(const QString& typed)
    {
        const QString text = typed.trimmed();
        static const QRegularExpression short_(QStringLiteral("^[0-9]{1,2}$"));
        return short_.match(text).hasMatch() ? text.rightJustified(3, u'0') : text;
    }

    std::optional<satemu::Decimal> amount(const QString& layoutText, int decimals)
    {
        satemu::Decimal value;
        if (!satemu::Decimal::parse(layoutText.toStdString(), value, decimals))
            return std::nullopt;
        return value;
    }

    QString formatted(const satemu::Decimal& value, int decimals)
    {
        return QString::fromStdString(value.format(decimals));
    }

    // The item's value as the device computes it: quantity times unit price, rounded to the cent.
    std::optional<satemu::Decimal> itemValue(const SaleItemDraft& item)
    {
        const std::optional<satemu::Decimal> quantity = amount(decimalText(item.quantity, 4, 4), 4);
        const std::optional<satemu::Decimal> price = amount(decimalText(item.unitPrice, 2, 3), 3);
        if (!quantity || !price)
            return std::nullopt;
        satemu::Decimal value = *quantity;
        if (!value.multiply(*price))
            return std::nullopt;
        return value.roundedToCents();
    }

    void writeIcms(QXmlStreamWriter& xml, const SaleItemDraft& item)
    {
        const QString& situation = item.icms;
        const bool simples = situation.size() == 3;
        const QString group = simples
            ? (situation == u"900" ? QStringLiteral("ICMSSN900") : QStringLiteral("ICMSSN102"))
            : (icmsHasRate(situation) ? QStringLiteral("ICMS00") : QStringLiteral("ICMS40"));
        xml.writeStartElement(QStringLiteral("ICMS"));
        xml.writeStartElement(group);
        xml.writeTextElement(QStringLiteral("Orig"), item.origin);
        xml.writeTextElement(simples ? QStringLiteral("CSOSN") : QStringLiteral("CST"), situation);
        if (icmsHasRate(situation))
            xml.writeTextElement(QStringLiteral("pICMS"), decimalText(item.icmsRate, 2, 2));
        xml.writeEndElement();
        xml.writeEndElement();
    }

    // PIS and COFINS share their shape; only their names differ.
    void writeContribution(QXmlStreamWriter& xml, const SaleItemDraft& item, const QString& base, const QString& name,
                           const QString& rate)
    {
        const QString& cst = item.pisCofins;
        QString group = QStringLiteral("NT");
        if (cst == u"01" || cst == u"02" || cst == u"05")
            group = QStringLiteral("Aliq");
        else if (cst == u"49")
            group = QStringLiteral("SN");
        else if (cst == u"99")
            group = QStringLiteral("Outr");
        xml.writeStartElement(name);
        xml.writeStartElement(name + group);
        xml.writeTextElement(QStringLiteral("CST"), cst);
        if (pisCofinsHasRates(cst)) {
            xml.writeTextElement(QStringLiteral("vBC"), base);
            xml.writeTextElement(QStringLiteral("p") + name, decimalText(rate, 4, 4));
        }
        xml.writeEndElement();
        xml.writeEndElement();
    }

    void writeItem(QXmlStreamWriter& xml, const SaleItemDraft& item, int number)
    {
        xml.writeStartElement(QStringLiteral("det"));
        xml.writeAttribute(QStringLiteral("nItem"), QString::number(number));
        xml.writeStartElement(QStringLiteral("prod"));
        xml.writeTextElement(QStringLiteral("cProd"), item.code.trimmed());
        xml.writeTextElement(QStringLiteral("xProd"), item.description.trimmed());
        xml.writeTextElement(QStringLiteral("CFOP"), item.cfop.trimmed());
        xml.writeTextElement(QStringLiteral("uCom"), item.unit.trimmed());
        xml.writeTextElement(QStringLiteral("qCom"), decimalText(item.quantity, 4, 4));
        xml.writeTextElement(QStringLiteral("vUnCom"), decimalText(item.unitPrice, 2, 3));
        xml.writeTextElement(QStringLiteral("indRegra"), QStringLiteral("A"));
        xml.writeEndElement();

        // The contributions' base is the item's value; where it does not read yet, its own fields say why.
        const std::optional<satemu::Decimal> value = itemValue(item);
        const QString base = value ? formatted(*value, 2) : QStringLiteral("0.00");
        const bool service = item.icms == kServiceTax;
        xml.writeStartElement(QStringLiteral("imposto"));
        if (!service)
            writeIcms(xml, item);
        writeContribution(xml, item, base, QStringLiteral("PIS"), item.pisRate);
        writeContribution(xml, item, base, QStringLiteral("COFINS"), item.cofinsRate);
        if (service) {
            xml.writeStartElement(QStringLiteral("ISSQN"));
            xml.writeTextElement(QStringLiteral("vDeducISSQN"), QStringLiteral("0.00"));
            xml.writeTextElement(QStringLiteral("vAliq"), decimalText(item.issRate, 2, 2));
            xml.writeTextElement(QStringLiteral("cNatOp"), item.serviceNature);
            xml.writeTextElement(QStringLiteral("indIncFisc"), item.incentive);
            xml.writeEndElement();
        }
        xml.writeEndElement();
        xml.writeEndElement();
    }

    // --- What a device checks elsewhere --------------------------------------------------------------------------

    // The check digits, by the layout's own rule for a CNPJ: a device checks them for the taxpayer at activation
    // and for the software house at the association, never in the sale, whose layout counts the digits alone.
    QString cnpjRule(const QString& typed)
    {
        satemu::LayoutFault kind;
        const std::string rule
            = satemu::layout::checkFormat(satemu::layout::cnpj(), digitsOnly(typed).toStdString(), kind);
        return kind == satemu::LayoutFault::Domain ? QString::fromStdString(rule) : QString();
    }

    // The association takes 344 Base64 characters; the sale's layout, any text of up to 344.
    QString signatureRule(const QString& typed)
    {
        if (typed.isEmpty() || typed.size() > 344)
            return {}; // the layout's rule says it
        static const QRegularExpression base64(QStringLiteral("^[A-Za-z0-9+/=]*$"));
        if (!base64.match(typed).hasMatch())
            return QStringLiteral("deve ter só letras, dígitos, + / e =: é a assinatura do aplicativo comercial em "
                                  "Base64, como foi associada ao SAT");
        if (typed.size() != 344)
            return QStringLiteral("deve ter os 344 caracteres da assinatura associada ao SAT (tem %1)")
                .arg(typed.size());
        return {};
    }

    // What XML cannot carry: control characters (a paste brings them), and halves of characters.
    QString characterRule(const QString& typed)
    {
        for (qsizetype i = 0; i < typed.size(); ++i) {
            const char16_t c = typed.at(i).unicode();
            if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xfffe || c == 0xffff)
                return QStringLiteral("tem um caractere invisível de controle (posição %1), que o documento não "
                                      "pode levar")
                    .arg(i + 1);
            if (QChar::isHighSurrogate(c) && i + 1 < typed.size() && typed.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (QChar::isSurrogate(c))
                return QStringLiteral("tem um caractere incompleto (posição %1)").arg(i + 1);
        }
        return {};
    }

    QString consumerRule(const QString& typed)
    {
        const QString digits = digitsOnly(typed);
        if (digits.isEmpty() || digits.size() == 11 || digits.size() == 14)
            return {};
        return QStringLiteral("deve ser um CPF, de 11 dígitos, ou um CNPJ, de 14 (tem %1 caracteres)")
            .arg(digits.size());
    }

    // --- The check's faults, brought back to their fields -------------------------------------------------------

    struct Place {
        Field field = Field::Document;
        int index = -1;
    };

    Field itemField(const QString& rest, const QString& rule)
    {
        static const struct {
            const char* path;
            Field field;
        } leaves[] = {
            {"prod/cProd", Field::ItemCode}, {"prod/xProd", Field::ItemDescription}, {"prod/qCom", Field::ItemQuantity},
            {"prod/uCom", Field::ItemUnit},  {"prod/vUnCom", Field::ItemUnitPrice},  {"prod/CFOP", Field::ItemCfop},
        };
        for (const auto& leaf : leaves)
            if (rest == QLatin1String(leaf.path))
                return leaf.field;
        if (rest.startsWith(QLatin1String("imposto/ICMS")))
            return rest.endsWith(QLatin1String("/pICMS")) ? Field::ItemIcmsRate
                : rest.endsWith(QLatin1String("/Orig"))   ? Field::ItemOrigin
                                                          : Field::ItemIcms;
        if (rest.startsWith(QLatin1String("imposto/ISSQN"))) {
            if (rule.contains(QLatin1String("emit/IM")))
                return Field::MunicipalRegistration;
            return rest.endsWith(QLatin1String("/vAliq"))     ? Field::ItemIssRate
                : rest.endsWith(QLatin1String("/cNatOp"))     ? Field::ItemServiceNature
                : rest.endsWith(QLatin1String("/indIncFisc")) ? Field::ItemIncentive
                                                              : Field::ItemIcms;
        }
        if (rest.endsWith(QLatin1String("/pPIS")))
            return Field::ItemPisRate;
        if (rest.endsWith(QLatin1String("/pCOFINS")))
            return Field::ItemCofinsRate;
        if (rest.startsWith(QLatin1String("imposto/PIS/")) || rest.startsWith(QLatin1String("imposto/COFINS/")))
            return rest.endsWith(QLatin1String("/CST")) ? Field::ItemPisCofins : Field::Item;
        return Field::Item;
    }

    Place placeOf(const DocumentFault& fault)
    {
        static const struct {
            const char* path;
            Field field;
        } fields[] = {
            {"infCFe/ide/CNPJ", Field::SoftwareHouseCnpj},
            {"infCFe/ide/signAC", Field::Signature},
            {"infCFe/ide/numeroCaixa", Field::CheckoutNumber},
            {"infCFe/emit/CNPJ", Field::TaxpayerCnpj},
            {"infCFe/emit/IE", Field::StateRegistration},
            {"infCFe/emit/IM", Field::MunicipalRegistration},
            {"infCFe/dest/CPF", Field::Consumer},
            {"infCFe/dest/CNPJ", Field::Consumer},
            {"infCFe/det", Field::Items},
            {"infCFe/pgto", Field::Payments},
            {"infCFe/pgto/MP", Field::Payments},
        };
        for (const auto& known : fields)
            if (fault.field == QLatin1String(known.path))
                return {known.field, -1};
        static const QRegularExpression indexed(QStringLiteral("^infCFe/(det|pgto/MP)\\[([0-9]+)\\](?:/(.*))?$"));
        const QRegularExpressionMatch match = indexed.match(fault.field);
        if (!match.hasMatch())
            return {};
        const int index = match.captured(2).toInt() - 1;
        const QString rest = match.captured(3);
        if (match.captured(1) == u"det") {
            const Field field = itemField(rest, fault.rule);
            return {field, field == Field::MunicipalRegistration ? -1 : index};
        }
        return {rest == u"cMP"       ? Field::PaymentMethod
                    : rest == u"vMP" ? Field::PaymentAmount
                                     : Field::Payments,
                rest == u"cMP" || rest == u"vMP" ? index : -1};
    }

} // namespace

QList<Choice> taxRegimes()
{
    return choices({{"1", "Simples Nacional"},
                    {"2", "Simples Nacional, excesso de sublimite da receita bruta"},
                    {"3", "Regime Normal"}});
}

QList<Choice> layoutVersions()
{
    return choices({{"0.07", "0.07"}, {"0.08", "0.08"}, {"0.06", "0.06"}});
}

QList<Choice> icmsChoices(TaxRegime regime)
{
    QList<Choice> list = regime == TaxRegime::SimplesNacional
        ? choices({{"102", "CSOSN 102 - Tributada pelo Simples Nacional sem permissão de crédito"},
                   {"300", "CSOSN 300 - Imune"},
                   {"400", "CSOSN 400 - Não tributada pelo Simples Nacional"},
                   {"500", "CSOSN 500 - ICMS cobrado anteriormente por substituição tributária ou por antecipação"},
                   {"900", "CSOSN 900 - Outros (com alíquota)"}})
        : choices({{"00", "CST 00 - Tributada integralmente"},
                   {"20", "CST 20 - Com redução de base de cálculo"},
                   {"90", "CST 90 - Outras (com alíquota)"},
                   {"40", "CST 40 - Isenta"},
                   {"41", "CST 41 - Não tributada"},
                   {"50", "CST 50 - Suspensão"},
                   {"60", "CST 60 - ICMS cobrado anteriormente por substituição tributária"}});
    list.append({kServiceTax, QStringLiteral("Serviço, tributado pelo ISSQN")});
    return list;
}

QList<Choice> origins()
{
    return choices({{"0", "0 - Nacional"},
                    {"1", "1 - Estrangeira, importação direta"},
                    {"2", "2 - Estrangeira, adquirida no mercado interno"},
                    {"3", "3 - Nacional, conteúdo de importação acima de 40% e até 70%"},
                    {"4", "4 - Nacional, processos produtivos básicos"},
                    {"5", "5 - Nacional, conteúdo de importação até 40%"},
                    {"6", "6 - Estrangeira, importação direta, sem similar nacional"},
                    {"7", "7 - Estrangeira, mercado interno, sem similar nacional"},
                    {"8", "8 - Nacional, conteúdo de importação acima de 70%"}});
}

QList<Choice> pisCofinsChoices()
{
    return choices({{"01", "01 - Tributável, alíquota básica"},
                    {"02", "02 - Tributável, alíquota diferenciada"},
                    {"05", "05 - Tributável por substituição tributária"},
                    {"04", "04 - Monofásica, revenda a alíquota zero"},
                    {"06", "06 - Alíquota zero"},
                    {"07", "07 - Isenta"},
                    {"08", "08 - Sem incidência"},
                    {"09", "09 - Com suspensão"},
                    {"49", "49 - Outras operações de saída (Simples Nacional)"},
                    {"99", "99 - Outras operações (com alíquota)"}});
}

QList<Choice> serviceNatures()
{
    return choices({{"01", "01 - Tributação no município"},
                    {"02", "02 - Tributação fora do município"},
                    {"03", "03 - Isenção"},
                    {"04", "04 - Imune"},
                    {"05", "05 - Exigibilidade suspensa por decisão judicial"},
                    {"06", "06 - Exigibilidade suspensa por procedimento administrativo"},
                    {"07", "07"},
                    {"08", "08"}});
}

QList<Choice> incentives()
{
    return choices({{"2", "2 - Sem incentivo fiscal"}, {"1", "1 - Com incentivo fiscal"}});
}

QList<Choice> paymentMethods()
{
    QList<Choice> list;
    for (const char* code : {"01", "02", "03", "04", "05", "10", "11", "12", "13", "99"})
        list.append({QLatin1String(code), QLatin1String(code) + QStringLiteral(" - ") + paymentMethodName(code)});
    return list;
}

bool icmsHasRate(const QString& icms)
{
    return icms == u"00" || icms == u"20" || icms == u"90" || icms == u"900";
}

bool pisCofinsHasRates(const QString& cst)
{
    return cst == u"01" || cst == u"02" || cst == u"05" || cst == u"99";
}

SaleItemDraft defaultItem(TaxRegime regime)
{
    SaleItemDraft item;
    item.quantity = QStringLiteral("1");
    item.unit = QStringLiteral("UN");
    item.cfop = QStringLiteral("5102");
    item.origin = QStringLiteral("0");
    item.issRate = QStringLiteral("5.00");
    item.serviceNature = QStringLiteral("01");
    item.incentive = QStringLiteral("2");
    return itemForRegime(item, regime);
}

SaleItemDraft itemForRegime(SaleItemDraft item, TaxRegime regime)
{
    const bool service = item.icms == kServiceTax;
    if (!service && !listed(icmsChoices(regime), item.icms)) {
        item.icms = regime == TaxRegime::SimplesNacional ? QStringLiteral("102") : QStringLiteral("00");
        item.icmsRate = regime == TaxRegime::SimplesNacional ? QString() : QStringLiteral("18.00");
    }
    // Over the sublimit a company still pays its federal taxes in the Simples Nacional.
    const bool simplesContributions = regime != TaxRegime::Normal;
    if (simplesContributions != (item.pisCofins == u"49") || item.pisCofins.isEmpty()) {
        item.pisCofins = simplesContributions ? QStringLiteral("49") : QStringLiteral("01");
        item.pisRate = simplesContributions ? QString() : QStringLiteral("0.0165");
        item.cofinsRate = simplesContributions ? QString() : QStringLiteral("0.0760");
    }
    return item;
}

QString fieldName(Field field)
{
    switch (field) {
    case Field::Document:
        return QStringLiteral("Documento");
    case Field::TaxpayerCnpj:
        return QStringLiteral("CNPJ do contribuinte");
    case Field::StateRegistration:
        return QStringLiteral("Inscrição estadual");
    case Field::MunicipalRegistration:
        return QStringLiteral("Inscrição municipal");
    case Field::SoftwareHouseCnpj:
        return QStringLiteral("CNPJ da software house");
    case Field::Signature:
        return QStringLiteral("Assinatura do aplicativo comercial");
    case Field::CheckoutNumber:
        return QStringLiteral("Número do caixa");
    case Field::Consumer:
        return QStringLiteral("CPF ou CNPJ do consumidor");
    case Field::Items:
        return QStringLiteral("Itens");
    case Field::Item:
        return QStringLiteral("valor do item");
    case Field::ItemCode:
        return QStringLiteral("código");
    case Field::ItemDescription:
        return QStringLiteral("descrição");
    case Field::ItemQuantity:
        return QStringLiteral("quantidade");
    case Field::ItemUnit:
        return QStringLiteral("unidade");
    case Field::ItemUnitPrice:
        return QStringLiteral("valor unitário");
    case Field::ItemCfop:
        return QStringLiteral("CFOP");
    case Field::ItemIcms:
        return QStringLiteral("tributação");
    case Field::ItemOrigin:
        return QStringLiteral("origem");
    case Field::ItemIcmsRate:
        return QStringLiteral("alíquota do ICMS");
    case Field::ItemIssRate:
        return QStringLiteral("alíquota do ISSQN");
    case Field::ItemServiceNature:
        return QStringLiteral("natureza da operação do ISSQN");
    case Field::ItemIncentive:
        return QStringLiteral("incentivo fiscal");
    case Field::ItemPisCofins:
        return QStringLiteral("CST do PIS e da COFINS");
    case Field::ItemPisRate:
        return QStringLiteral("alíquota do PIS");
    case Field::ItemCofinsRate:
        return QStringLiteral("alíquota da COFINS");
    case Field::Payments:
        return QStringLiteral("Pagamentos");
    case Field::PaymentMethod:
        return QStringLiteral("meio");
    case Field::PaymentAmount:
        return QStringLiteral("valor");
    }
    return QString();
}

QString DraftFault::text() const
{
    QString where = fieldName(field);
    if (index >= 0) {
        const bool payment = field == Field::PaymentMethod || field == Field::PaymentAmount;
        where = QStringLiteral("%1 %2, %3")
                    .arg(payment ? QStringLiteral("Pagamento") : QStringLiteral("Item"))
                    .arg(index + 1)
                    .arg(where);
    }
    const QString line = QStringLiteral("%1: %2").arg(where, rule);
    return code.isEmpty() ? line : QStringLiteral("%1 [rejeição %2]").arg(line, code);
}

QByteArray composeSaleDocument(const SaleDraft& draft)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("CFe"));
    xml.writeStartElement(QStringLiteral("infCFe"));
    xml.writeAttribute(QStringLiteral("versaoDadosEnt"), draft.layoutVersion);

    xml.writeStartElement(QStringLiteral("ide"));
    xml.writeTextElement(QStringLiteral("CNPJ"), digitsOnly(draft.softwareHouseCnpj));
    xml.writeTextElement(QStringLiteral("signAC"), draft.signature.trimmed());
    xml.writeTextElement(QStringLiteral("numeroCaixa"), checkoutText(draft.checkoutNumber));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("emit"));
    xml.writeTextElement(QStringLiteral("CNPJ"), digitsOnly(draft.taxpayerCnpj));
    xml.writeTextElement(QStringLiteral("IE"), digitsOnly(draft.stateRegistration));
    if (!draft.municipalRegistration.trimmed().isEmpty())
        xml.writeTextElement(QStringLiteral("IM"), draft.municipalRegistration.trimmed());
    xml.writeTextElement(QStringLiteral("indRatISSQN"), QStringLiteral("N"));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("dest"));
    const QString consumer = digitsOnly(draft.consumer);
    if (!consumer.isEmpty())
        xml.writeTextElement(consumer.size() == 14 ? QStringLiteral("CNPJ") : QStringLiteral("CPF"), consumer);
    xml.writeEndElement();

    for (int i = 0; i < draft.items.size(); ++i)
        writeItem(xml, draft.items.at(i), i + 1);

    xml.writeEmptyElement(QStringLiteral("total"));
    xml.writeStartElement(QStringLiteral("pgto"));
    for (const PaymentDraft& payment : draft.payments) {
        xml.writeStartElement(QStringLiteral("MP"));
        xml.writeTextElement(QStringLiteral("cMP"), payment.method);
        xml.writeTextElement(QStringLiteral("vMP"), decimalText(payment.amount, 2, 2));
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return document;
}

QList<DraftFault> checkSaleDraft(const SaleDraft& draft)
{
    QList<DraftFault> faults;
    const auto add = [&faults](Field field, int index, const QString& rule, const QString& code) {
        if (rule.isEmpty())
            return;
        for (const DraftFault& known : faults)
            if (known.field == field && known.index == index)
                return; // one reason a field at a time: the first one it breaks
        faults.append({field, index, rule, code});
    };

    // Every text the user types goes into the document as it is.
    const std::pair<Field, const QString*> texts[] = {
        {Field::TaxpayerCnpj, &draft.taxpayerCnpj},
        {Field::StateRegistration, &draft.stateRegistration},
        {Field::MunicipalRegistration, &draft.municipalRegistration},
        {Field::SoftwareHouseCnpj, &draft.softwareHouseCnpj},
        {Field::Signature, &draft.signature},
        {Field::CheckoutNumber, &draft.checkoutNumber},
        {Field::Consumer, &draft.consumer},
    };
    for (const auto& [field, text] : texts)
        add(field, -1, characterRule(*text), QString());
    for (int i = 0; i < draft.items.size(); ++i) {
        const SaleItemDraft& item = draft.items.at(i);
        const std::pair<Field, const QString*> itemTexts[] = {
            {Field::ItemCode, &item.code},           {Field::ItemDescription, &item.description},
            {Field::ItemQuantity, &item.quantity},   {Field::ItemUnit, &item.unit},
            {Field::ItemUnitPrice, &item.unitPrice}, {Field::ItemCfop, &item.cfop},
            {Field::ItemIcmsRate, &item.icmsRate},   {Field::ItemIssRate, &item.issRate},
            {Field::ItemPisRate, &item.pisRate},     {Field::ItemCofinsRate, &item.cofinsRate},
        };
        for (const auto& [field, text] : itemTexts)
            add(field, i, characterRule(*text), QString());
    }
    for (int i = 0; i < draft.payments.size(); ++i)
        add(Field::PaymentAmount, i, characterRule(draft.payments.at(i).amount), QString());
    // Such a document would not even be XML: its check would only say that, of the document as a whole.
    const bool writable = faults.isEmpty();
    add(Field::TaxpayerCnpj, -1, cnpjRule(draft.taxpayerCnpj), QString());
    add(Field::SoftwareHouseCnpj, -1, cnpjRule(draft.softwareHouseCnpj), QString());
    add(Field::Signature, -1, signatureRule(draft.signature.trimmed()), QString());
    add(Field::Consumer, -1, consumerRule(draft.consumer), QString());
    const QList<Choice> regimeIcms = icmsChoices(draft.regime);
    for (int i = 0; i < draft.items.size(); ++i)
        if (!listed(regimeIcms, draft.items.at(i).icms))
            add(Field::ItemIcms, i,
                draft.regime == TaxRegime::SimplesNacional
                    ? QStringLiteral("o Simples Nacional informa o ICMS por CSOSN (102, 300, 400, 500 ou 900)")
                    : QStringLiteral("fora do Simples Nacional o ICMS é informado por CST (00, 20, 40, 41, 50, 60 "
                                     "ou 90)"),
                QString());

    if (!writable)
        return faults;
    for (const DocumentFault& fault : checkDocument(composeSaleDocument(draft)).faults) {
        const Place place = placeOf(fault);
        add(place.field, place.index, fault.rule, fault.code);
    }
    return faults;
}

DraftAmounts draftAmounts(const SaleDraft& draft)
{
    DraftAmounts amounts;
    satemu::Decimal total;
    amounts.known = !draft.items.isEmpty();
    for (const SaleItemDraft& item : draft.items) {
        const std::optional<satemu::Decimal> value = itemValue(item);
        amounts.known = amounts.known && value && total.add(*value);
    }
    if (amounts.known)
        amounts.total = formatted(total, 2);
    satemu::Decimal paid;
    for (const PaymentDraft& payment : draft.payments)
        if (const std::optional<satemu::Decimal> value = amount(decimalText(payment.amount, 2, 2), 2))
            paid.add(*value);
    amounts.paid = formatted(paid, 2);
    if (!amounts.known)
        return amounts;
    satemu::Decimal difference = paid;
    if (difference.subtract(total)) {
        amounts.change = formatted(difference, 2);
    } else {
        difference = total;
        difference.subtract(paid);
        amounts.missing = formatted(difference, 2);
    }
    return amounts;
}

} // namespace satresults
