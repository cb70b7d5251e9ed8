#pragma once

#include <QByteArray>
#include <QString>

// How the device took a command, as its answer says: numeroSessao|EEEEE|mensagem|... where a code of five digits
// ending in 000 is a success and any other five digits a refusal. Sale, cancellation and the association carry an
// alert field (CCCC) before the message.
struct AnswerOutcome {
    enum class Kind {
        Accepted, // or an answer without a code, which is shown as it came
        Refused,
        NoAnswer,
    };

    Kind kind = Kind::Accepted;
    QString code;
    QString message;

    static AnswerOutcome of(const QByteArray& answer);

    bool failed() const { return kind != Kind::Accepted; }
    // The list's words: "Recusado 10001", "Sem resposta"; empty when accepted.
    QString shortText() const;
    // A sentence for the top of the result's view; empty when accepted.
    QString longText() const;
};
