#pragma once

#include <QByteArray>

// The sale document that the end-to-end test sends: a fixed 1265-byte CF-e,
// the same bytes on every run. Its values need not add up; it tests the
// communication, not a sale.
const QByteArray& sampleSaleDocument();
