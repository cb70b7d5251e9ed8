#pragma once

// The cancellation of an issued sale, in the data-entry layout a device takes from the point of sale: the sale's key
// in chCanc, the software house's CNPJ, the signature and the checkout number in ide, as the sale carries them, and
// emit, dest and total empty for the device to fill from the sale. A real device leaves no such file behind; the
// technician writes it from the sale's receipt.

#include "cfereceipt.h"

#include <QByteArray>
#include <QString>

namespace satresults {

// "CFe" and the sale's 44 digits, as the cancellation's key prompt and chCanc take it; empty unless the receipt is
// a sale.
QString cancellationKey(const CfeReceipt& sale);

// "cancelamento-CFe<44 digits>.xml"; empty unless the receipt is a sale.
QString cancellationFileName(const CfeReceipt& sale);

struct CancellationRequest {
    QByteArray document; // UTF-8 XML; empty when it could not be written
    QString error; // Portuguese, for the user: why there is no document
    bool ok() const { return error.isEmpty(); }
};

// The document, checked by the device's own rules before it is given out: a sale whose ide the layout would refuse
// in a cancellation (a checkout number of one digit, say) gives the rule it breaks instead.
CancellationRequest cancellationRequest(const CfeReceipt& sale);

} // namespace satresults
