#include "answeroutcome.h"

#include "codec/answer.h"
#include "devicetext.h"

#include <algorithm>
#include <cctype>

namespace {

// The answer of a log runs to megabytes: only the fields asked for are copied.
QByteArray field(const QByteArray& answer, int n)
{
    const AnswerField found = answerField(answer.constData(), n);
    return found.begin ? QByteArray(found.begin, qsizetype(found.length)) : QByteArray();
}

bool isCode(const QByteArray& field)
{
    if (field.size() != 5)
        return false;
    for (const char c : field)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

AnswerOutcome AnswerOutcome::of(const QByteArray& answer)
{
    AnswerOutcome outcome;
    if (std::all_of(answer.begin(), answer.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); })) {
        outcome.kind = Kind::NoAnswer;
        return outcome;
    }
    const QByteArray code = field(answer, 1).trimmed();
    if (!isCode(code) || code.endsWith("000"))
        return outcome;
    outcome.kind = Kind::Refused;
    outcome.code = QString::fromLatin1(code);
    const bool alert = code.startsWith("06") || code.startsWith("07") || code.startsWith("13");
    outcome.message = decodeDeviceText(field(answer, alert ? 3 : 2)).trimmed();
    return outcome;
}

QString AnswerOutcome::shortText() const
{
    switch (kind) {
    case Kind::Refused:
        return QStringLiteral("Recusado %1").arg(code);
    case Kind::NoAnswer:
        return QStringLiteral("Sem resposta");
    case Kind::Accepted:
        break;
    }
    return QString();
}

QString AnswerOutcome::longText() const
{
    switch (kind) {
    case Kind::Refused:
        return message.isEmpty() ? QStringLiteral("Recusado pelo SAT: código %1").arg(code)
                                 : QStringLiteral("Recusado pelo SAT: código %1 — %2").arg(code, message);
    case Kind::NoAnswer:
        return QStringLiteral("O SAT não enviou resposta.");
    case Kind::Accepted:
        break;
    }
    return QString();
}
