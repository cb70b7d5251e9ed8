#pragma once

#include "layoutcheck.h"

struct _xmlDoc;

namespace satemu {

// The cancellation document against its data-entry layout: chCanc, the three ide fields of the application and
// the emit, dest and total groups that the device fills, sent empty.
class CancellationValidation {
public:
    static bool check(const _xmlDoc* document, Rejection& out);
};

} // namespace satemu
