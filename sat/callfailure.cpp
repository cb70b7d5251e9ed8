#include "callfailure.h"

namespace {

std::optional<CallFailure>& lastFailure()
{
    static std::optional<CallFailure> failure;
    return failure;
}

} // namespace

QString CallFailure::text() const
{
    if (!sent)
        return QStringLiteral("A função %1 não foi chamada: %2.\n\nBiblioteca do SAT: %3\n\nNada foi enviado ao SAT.")
            .arg(function, what, library);
    QString text = QStringLiteral("A função %1 da biblioteca do SAT falhou: %2.\n\nBiblioteca do SAT: %3")
                       .arg(function, what, library);
    if (changesDevice)
        text += QStringLiteral("\n\nO SAT pode ter executado o comando mesmo assim. Para saber, use \"Número Sessão\" "
                               "com o número de sessão %1.")
                    .arg(session);
    return text;
}

void setCallFailure(const CallFailure& failure)
{
    lastFailure() = failure;
}

std::optional<CallFailure> takeCallFailure()
{
    return std::exchange(lastFailure(), std::nullopt);
}
