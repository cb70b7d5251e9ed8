#include "documentfaults.h"

#include "allfaults.h"

namespace satresults {

namespace {

    // Rules quote the document's own names and texts: one line each, whatever it put there.
    QString oneLine(const std::string& text)
    {
        return QString::fromStdString(satemu::oneLine(text));
    }

    satemu::DocumentFault plain(const DocumentFault& fault)
    {
        return {fault.code.toStdString(), fault.field.toStdString(), fault.rule.toStdString(), {}};
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
    return QString::fromStdString(satemu::faultPlace(plain(fault)));
}

QString faultLine(const DocumentFault& fault)
{
    return QString::fromStdString(satemu::faultLine(plain(fault)));
}

} // namespace satresults
