// The test sale's form, whatever is typed or pasted into it: composing and checking never crash, every fault names
// why, and a draft without faults makes a document the layout's own check takes.
#include "documentfaults.h"
#include "saledraft.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

// Fields separated by newlines, as a form would hold them: the shop's eight, then items of fifteen and payments
// of two, after a line "--".
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace satresults;
    const QList<QByteArray> lines = QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\n');
    int at = 0;
    const auto next = [&]() { return at < lines.size() ? QString::fromUtf8(lines.at(at++)) : QString(); };
    SaleDraft draft;
    draft.taxpayerCnpj = next();
    draft.stateRegistration = next();
    draft.municipalRegistration = next();
    draft.regime = TaxRegime(1 + (next().size() % 3));
    draft.softwareHouseCnpj = next();
    draft.signature = next();
    draft.checkoutNumber = next();
    draft.consumer = next();
    while (at < lines.size() && lines.at(at) != "--" && draft.items.size() < 20) {
        SaleItemDraft item;
        for (QString* field : {&item.code, &item.description, &item.quantity, &item.unit, &item.unitPrice, &item.cfop,
                               &item.icms, &item.origin, &item.icmsRate, &item.issRate, &item.serviceNature,
                               &item.incentive, &item.pisCofins, &item.pisRate, &item.cofinsRate})
            *field = next();
        draft.items.append(item);
    }
    ++at;
    while (at < lines.size() && draft.payments.size() < 12) {
        PaymentDraft payment;
        payment.method = next();
        payment.amount = next();
        draft.payments.append(payment);
    }

    const QByteArray document = composeSaleDocument(draft);
    const QList<DraftFault> faults = checkSaleDraft(draft);
    for (const DraftFault& fault : faults)
        check(!fault.rule.isEmpty() && !fault.text().isEmpty());
    if (faults.isEmpty())
        check(satresults::checkDocument(document).faults.isEmpty());
    draftAmounts(draft);
    return 0;
}
