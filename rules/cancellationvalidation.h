#pragma once

#include "layoutcheck.h"

struct _xmlDoc;

namespace satemu {

// The cancellation document against its data-entry layout: chCanc, the three ide fields of the application and
// the emit, dest and total groups that the device fills, sent empty.
class CancellationValidation {
public:
    // Adds what it finds to faults: the attributes of infCFe first, then the layout.
    static void check(const _xmlDoc* document, Faults& faults);
};

} // namespace satemu
