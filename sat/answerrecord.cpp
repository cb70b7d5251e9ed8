#include "answerrecord.h"

#include "devicetext.h"

#include <QList>
#include <QString>

#include <cstring>

namespace {

// The longest prefix of text that is whole UTF-8 characters and fits in size bytes.
QByteArray cutToFit(const QByteArray& text, int size)
{
    if (text.size() <= size)
        return text;
    int end = size;
    // Step back over continuation bytes to the start of the character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
        --end;
    return text.left(end);
}

} // namespace

ErroSAT recordFromAnswer(SatFunction function, const QByteArray& answer)
{
    const QList<QByteArray> fields = answer.split('|');
    QList<QByteArray> parts;
    if (fields.size() < 2) {
        parts.append(answer);
    } else {
        const int last = carriesAlertCode(function) ? 3 : 2;
        for (int i = 1; i <= last && i < fields.size(); ++i)
            parts.append(fields.at(i));
    }

    QStringList texts;
    for (const QByteArray& part : parts)
        texts.append(decodeDeviceText(part));
    const QByteArray message = cutToFit(texts.join(QStringLiteral(" - ")).toUtf8(), int(sizeof(ErroSAT::mensagem)) - 1);

    ErroSAT record {};
    record.codigo = 0;
    std::memcpy(record.mensagem, message.constData(), std::size_t(message.size()));
    return record;
}
