#pragma once

#include "layoutcheck.h"

struct _xmlDoc;

namespace satemu {

// The sale document checked against the CF-e-SAT data-entry layout, as a device does before it reads any value:
// versaoDadosEnt, the groups and fields in the layout's order, their formats and domains, and none of the fields
// that only the device fills. The values that need arithmetic (payment against the total) are SaleDocument's.
class SaleValidation {
public:
    static constexpr const char* kOldestVersion = "0.06";
    static constexpr const char* kNewestVersion = "0.08";

    // Adds what it finds to faults, in the order a device checks: the attributes of infCFe, the item numbers, the
    // layout, then the rules that span a whole item.
    static void check(const _xmlDoc* document, Faults& faults);
};

} // namespace satemu
