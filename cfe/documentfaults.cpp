#include "documentfaults.h"

#include "allfaults.h"

namespace satresults {

namespace {

    // Rules quote the document's own names and texts: one line each, whatever it put there.
    QString oneLine(const std::string& text)
    {
        QString out = QString::fromStdString(text);
        for (QChar& c : out)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = u' ';
        return out;
    }

} // namespace

DocumentCheck checkDocument(const QByteArray& document)
{
    const satemu::AllFaults found = satemu::AllFaults::of(document.constData(), size_t(document.size()));
    DocumentCheck check;
    check.kind = found.kind == satemu::AllFaults::Kind::Cancellation ? DocumentCheck::Kind::Cancellation
                                                                     : DocumentCheck::Kind::Sale;
    for (const satemu::DocumentFault& fault : found.faults)
        check.faults.append({oneLine(fault.field), oneLine(fault.rule), QString::fromStdString(fault.code)});
    return check;
}

QString faultPlace(const DocumentFault& fault)
{
    return fault.field.isEmpty() ? QStringLiteral("documento") : fault.field;
}

QString faultLine(const DocumentFault& fault)
{
    return QStringLiteral("%1: %2 [rejeição %3]").arg(faultPlace(fault), fault.rule, fault.code);
}

} // namespace satresults
