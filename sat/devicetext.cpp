#include "devicetext.h"

#include <QStringDecoder>

QString decodeDeviceText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Qt's codec for it comes from ICU; without ICU, Latin-1 reads every letter the same and only
    // differs on the typographic marks of 0x80 to 0x9f.
    QStringDecoder windows1252("windows-1252", QStringDecoder::Flag::Stateless);
    if (windows1252.isValid())
        return windows1252(bytes);
    return QString::fromLatin1(bytes);
}
