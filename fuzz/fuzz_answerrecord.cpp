// The error record the tool builds from the answer of a library without CodigoErro: whatever the answer's bytes
// (UTF-8, Windows-1252 or neither), the record has code 0 and a message that is valid UTF-8, ends within its field
// and keeps the answer's code field as it came when that is ASCII.
#include "answerrecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto function = static_cast<SatFunction>(data[0] % SatFunctionCount);
    // An answer is a C string: it ends at its first NUL.
    const char* text = reinterpret_cast<const char*>(data + 1);
    const QByteArray answer(text, qsizetype(strnlen(text, size - 1)));

    const ErroSAT record = recordFromAnswer(function, answer);
    check(record.codigo == 0);
    const std::size_t length = strnlen(record.mensagem, sizeof record.mensagem);
    check(length < sizeof record.mensagem);
    const QByteArray message(record.mensagem, qsizetype(length));
    check(QString::fromUtf8(message).toUtf8() == message);

    const QList<QByteArray> fields = answer.split('|');
    if (fields.size() >= 2 && fields.at(1).size() < 100) {
        bool ascii = true;
        for (char c : fields.at(1))
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii)
            check(message.startsWith(fields.at(1)));
    }
    return 0;
}
