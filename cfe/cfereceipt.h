#pragma once

// What the extract of a CF-e-SAT shows, read from the device's XML.
//
// Every value keeps the text exactly as the CF-e carries it (decimal point, no padding, no masks): the QR code is
// built from those texts and a technician compares them with the XML. Formatting for the extract lives in
// cfeformat.h. Parsing never throws; a document that is not a CF-e gives ok == false and a Portuguese message.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace satresults {

struct CfeAddress {
    QString street; // xLgr
    QString number; // nro
    QString complement; // xCpl
    QString district; // xBairro
    QString city; // xMun
    QString postalCode; // CEP
};

struct CfeItem {
    QString number; // det/@nItem
    QString code; // cProd
    QString description; // xProd
    QString quantity; // qCom
    QString unit; // uCom
    QString unitPrice; // vUnCom
    QString productValue; // vProd
    QString itemValue; // vItem
    QString discount; // vDesc
    QString increase; // vOutro
    QString discountApportioned; // vRatDesc (subtotal discount shared out on the item)
    QString increaseApportioned; // vRatAcr
};

struct CfePayment {
    QString method; // cMP
    QString amount; // vMP
};

struct CfeReceipt {
    enum class Kind { Sale, Cancellation };

    Kind kind = Kind::Sale;
    bool testEnvironment = false; // ide/tpAmb == 2: never a fiscal receipt
    QString key; // 44 digits, infCFe/@Id without "CFe"
    QString stateCode; // ide/cUF
    QString number; // ide/nCFe
    QString serial; // ide/nserieSAT
    QString date; // ide/dEmi, AAAAMMDD
    QString time; // ide/hEmi, hhmmss
    QString qrCodeSignature; // ide/assinaturaQRCODE
    // The point of sale's part of ide, which a cancellation of the sale repeats.
    QString softwareHouseCnpj; // ide/CNPJ
    QString acSignature; // ide/signAC
    QString checkoutNumber; // ide/numeroCaixa

    QString tradeName; // emit/xFant
    QString name; // emit/xNome
    CfeAddress address; // emit/enderEmit
    QString cnpj; // emit/CNPJ
    QString ie; // emit/IE
    QString im; // emit/IM

    QString consumerId; // dest/CPF or dest/CNPJ, digits as carried
    bool consumerIsCompany = false; // consumerId came from dest/CNPJ
    QString consumerName; // dest/xNome

    QList<CfeItem> items;
    QString subtotalDiscount; // total/DescAcrEntr/vDescSubtot
    QString subtotalIncrease; // total/DescAcrEntr/vAcresSubtot
    QString productsTotal; // total/ICMSTot/vProd
    QString total; // total/vCFe
    QList<CfePayment> payments;
    QString change; // pgto/vTroco
    QString approximateTaxes; // total/vCFeLei12741
    QString notes; // infAdic/infCpl

    // Cancellation only: the cancelled sale. key/number/date/time above are the cancellation's own.
    QString cancelledKey; // infCFe/@chCanc without "CFe"
    QString cancelledDate; // infCFe/dEmi
    QString cancelledTime; // infCFe/hEmi

    // The name the header shows: the trade name, else the company name.
    QString issuerDisplayName() const { return tradeName.isEmpty() ? name : tradeName; }
};

struct CfeParseResult {
    bool ok = false;
    CfeReceipt receipt;
    QString error; // Portuguese, for the user, when !ok
};

// 44 ASCII digits: other scripts' digits, which QChar::isDigit() takes, cannot go into a Code 128.
bool isAccessKey(const QString& text);

// Reads a CF-e (root CFe) or a cancellation CF-e (root CFeCanc).
CfeParseResult parseCfeReceipt(const QByteArray& xml);

// The QR code's text: key|AAAAMMDDhhmmss|total|consumer CPF/CNPJ (empty when none)|assinaturaQRCODE.
QString qrCodeText(const CfeReceipt& receipt);

// The default file name to save the document under: CFe<key>.xml or CFeCanc<key>.xml.
QString receiptFileName(const CfeReceipt& receipt);

// The state (cUF) that issued the receipt, where its key's first two digits and ide/cUF agree (either alone when
// the other is missing); empty when they disagree or neither is there.
QString receiptState(const CfeReceipt& receipt);

// What is known of a sale's cancellation: the cancellation CF-e's own key and its emission date and time
// (AAAAMMDD, hhmmss). From the cancellation's receipt (saleCancellation) or from wherever else it is kept.
struct SaleCancellation {
    QString key;
    QString date;
    QString time;
};

// The cancellation of sale that cancellation is, when it is a cancellation CF-e whose chCanc is the sale's key;
// otherwise nothing, and *why says, in Portuguese, what does not fit.
std::optional<SaleCancellation> saleCancellation(const CfeReceipt& sale, const CfeReceipt& cancellation,
                                                 QString* why = nullptr);

} // namespace satresults
