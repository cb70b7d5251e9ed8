#pragma once

// Every fault of a sale or cancellation document in the data-entry layout, for the tool's windows: the emulator's
// own full check (AllFaults), the very rules a device refusal comes from, in Qt's types. One copy of the rules
// serves the device emulator, sat-validar and the tool.

#include <QByteArray>
#include <QList>
#include <QString>

namespace satresults {

struct DocumentFault {
    QString field; // "infCFe/det[2]/prod/vUnCom"; empty for the document as a whole (its size, its XML, its root)
    QString rule; // the rule the field breaks, in Portuguese
    QString code; // the rejection code the device would give
};

struct DocumentCheck {
    enum class Kind { Sale, Cancellation };

    Kind kind = Kind::Sale; // from the root element: CFeCanc is a cancellation, anything else is checked as a sale
    QList<DocumentFault> faults; // in the order the device checks; empty for a valid document
};

DocumentCheck checkDocument(const QByteArray& document);

// The fault's field, or "documento" for the document as a whole.
QString faultPlace(const DocumentFault& fault);

// "infCFe/ide/CNPJ: deve ter 14 digitos [rejeição 1016]", the very line sat-validar writes (satemu::faultLine).
QString faultLine(const DocumentFault& fault);

} // namespace satresults
