#pragma once

// A test sale for a shop, as a form holds it, and the sale document it makes in the data-entry layout a device takes
// from the point of sale.
//
// The values are kept as typed. Composing makes them what the layout asks for where that is plain (digits without a
// CNPJ's punctuation, a decimal comma as a point, the decimals padded, the checkout number padded to three digits)
// and leaves anything else as it is, for the check to name. The check is the emulator's own (documentfaults.h), the
// rules a device refuses with, each fault brought back to the field it came from; on top of it go the few things a
// device checks elsewhere: the check digits of the taxpayer's and the software house's CNPJ, and a signature of the
// 344 Base64 characters the association takes.

#include <QByteArray>
#include <QList>
#include <QString>

namespace satresults {

enum class TaxRegime { SimplesNacional = 1, SublimitExceeded = 2, Normal = 3 };

// A code of the layout with the words a technician knows it by.
struct Choice {
    QString code;
    QString label;
};

// The item's ICMS situation stands for a service taxed by ISSQN instead.
inline const QString kServiceTax = QStringLiteral("ISSQN");

struct SaleItemDraft {
    QString code; // cProd
    QString description; // xProd
    QString quantity; // qCom
    QString unit; // uCom
    QString unitPrice; // vUnCom
    QString cfop;
    QString icms; // the CST or the CSOSN, or kServiceTax
    QString origin; // Orig
    QString icmsRate; // pICMS, in percent, where the situation has one
    QString issRate; // vAliq, in percent, for a service
    QString serviceNature; // cNatOp
    QString incentive; // indIncFisc
    QString pisCofins; // the CST of both
    QString pisRate; // pPIS, a fraction (0.0165 is 1.65%), where the CST has one
    QString cofinsRate; // pCOFINS, likewise
};

struct PaymentDraft {
    QString method; // cMP
    QString amount; // vMP
};

struct SaleDraft {
    QString taxpayerCnpj;
    QString stateRegistration; // IE
    QString municipalRegistration; // IM: needed when an item is a service
    TaxRegime regime = TaxRegime::SimplesNacional;
    QString softwareHouseCnpj;
    QString signature; // signAC
    QString checkoutNumber; // numeroCaixa
    QString consumer; // CPF or CNPJ, optional
    QString layoutVersion = QStringLiteral("0.07"); // versaoDadosEnt
    QList<SaleItemDraft> items;
    QList<PaymentDraft> payments;
};

QList<Choice> taxRegimes();
QList<Choice> layoutVersions();
// The ICMS situations of the regime (CSOSN for the Simples Nacional, CST otherwise), then a service's ISSQN.
QList<Choice> icmsChoices(TaxRegime regime);
QList<Choice> origins();
QList<Choice> pisCofinsChoices();
QList<Choice> serviceNatures();
QList<Choice> incentives();
QList<Choice> paymentMethods();

bool icmsHasRate(const QString& icms);
bool pisCofinsHasRates(const QString& cst);

// An item as the regime usually taxes it: CSOSN 102 and PIS/COFINS 49 in the Simples Nacional; ICMS at 18% with
// PIS/COFINS 49 over the sublimit; ICMS at 18% and PIS/COFINS at 1.65% and 7.6% in the normal regime.
SaleItemDraft defaultItem(TaxRegime regime);
// The item with the taxes of another regime, where its own do not belong there.
SaleItemDraft itemForRegime(SaleItemDraft item, TaxRegime regime);

struct DraftFault {
    enum class Field {
        Document, // the document as a whole
        TaxpayerCnpj,
        StateRegistration,
        MunicipalRegistration,
        SoftwareHouseCnpj,
        Signature,
        CheckoutNumber,
        Consumer,
        Items, // the list of items
        Item, // one item as a whole (its value)
        ItemCode,
        ItemDescription,
        ItemQuantity,
        ItemUnit,
        ItemUnitPrice,
        ItemCfop,
        ItemIcms,
        ItemOrigin,
        ItemIcmsRate,
        ItemIssRate,
        ItemServiceNature,
        ItemIncentive,
        ItemPisCofins,
        ItemPisRate,
        ItemCofinsRate,
        Payments, // the list of payments, their sum
        PaymentMethod,
        PaymentAmount,
    };

    Field field = Field::Document;
    int index = -1; // of the item or the payment; -1 for the others
    QString rule; // why, in Portuguese
    QString code; // the rejection code a device would give; empty for what a device checks elsewhere

    // "Item 2, valor unitário: <rule> [rejeição 1056]".
    QString text() const;
};

// The field's name in messages: "CNPJ do contribuinte", "valor unitário".
QString fieldName(DraftFault::Field field);

// Never fails: a draft with faults still makes a document, the one the check finds them in.
QByteArray composeSaleDocument(const SaleDraft& draft);

// Every fault, at most one per field: what a device checks elsewhere first, then the document's check. Empty when
// the document would be taken.
QList<DraftFault> checkSaleDraft(const SaleDraft& draft);

struct DraftAmounts {
    bool known = false; // every item's value reads
    QString total; // "12.50"
    QString paid; // of the payments that read
    QString change; // what the payments pass the total by; empty when they do not cover it or it is unknown
    QString missing; // what they fall short of it by; empty when they cover it or it is unknown
};

// The sale's total as the device computes it and the payments' sum, for the form to show as it is typed.
DraftAmounts draftAmounts(const SaleDraft& draft);

} // namespace satresults
