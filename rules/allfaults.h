#pragma once

// Every fault of a sale or a cancellation document against its data-entry layout, for whoever writes one: the
// very checks the device refuses with (SaleDocument::checkSale, CancellationDocument::checkRequest), run past the
// first fault. The first fault listed is the device's refusal of the document. What only the device knows is left
// out: the association (ide/CNPJ and signAC), the taxpayer it was activated for, the key of the last sale.

#include "layoutcheck.h"

#include <cstddef>
#include <string>
#include <vector>

namespace satemu {

struct AllFaults {
    enum class Kind { Sale, Cancellation };

    Kind kind = Kind::Sale;
    std::vector<DocumentFault> faults; // in the order the device checks; empty for a valid document

    // The kind follows the root element: CFeCanc is a cancellation; anything else is checked as a sale, the
    // document most often written. Takes the bytes and their length, need not be NUL-terminated, never throws.
    static AllFaults of(const char* data, size_t size);
    // The kind alone, from the first start tag, so that even a document whose XML breaks further on is checked
    // against its own layout.
    static Kind kindOf(const char* data, size_t size);
};

// A text a rule quotes from the document on one line, whatever the document put there: control bytes become spaces.
std::string oneLine(const std::string& text);
// The fault's field, or "documento" for the document as a whole (its size, its XML, its root).
std::string faultPlace(const DocumentFault& fault);
// "infCFe/ide/CNPJ: deve ter 14 digitos [rejeição 1016]": how sat-validar and the tool's windows list a fault.
std::string faultLine(const DocumentFault& fault);

} // namespace satemu
