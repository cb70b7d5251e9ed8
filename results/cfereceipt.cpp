#include "cfereceipt.h"

namespace satresults {
CfeParseResult parseCfeReceipt(const QByteArray&) { return {}; }
QString qrCodeText(const CfeReceipt&) { return {}; }
QString receiptFileName(const CfeReceipt&) { return {}; }
}
