#include "statuslogcapture.h"

#include "codec/answer.h"
#include "operationalstatus.h"
#include "runresults.h"

namespace {

QByteArray fieldText(const char* answer, int n)
{
    const AnswerField field = answerField(answer, n);
    return field.begin ? QByteArray(field.begin, qsizetype(field.length)) : QByteArray();
}

} // namespace

void keepStatus(QWidget* mainWindow, const QString& command, const char* answer)
{
    keepResult(mainWindow, CommandResult::Kind::Status, command, QByteArray(), answer);
}

void keepLog(QWidget* mainWindow, const QString& command, const char* answer, const char* decoded, std::size_t length)
{
    keepResult(mainWindow, CommandResult::Kind::Log, command, QByteArray(decoded, qsizetype(length)), answer);
}

void keepSessionAnswer(QWidget* mainWindow, const QString& command, const char* answer)
{
    if (!answer)
        return;
    const QByteArray code = fieldText(answer, 1).trimmed();
    if (code == "10000" && QByteArray(answer).count('|') + 1 >= OperationalStatus::FieldCount) {
        keepStatus(mainWindow, command, answer);
        return;
    }
    // Sale and cancellation carry an alert field, so their receipt is the seventh field; the end-to-end test's
    // the sixth.
    struct Receipt {
        const char* code;
        CommandResult::Kind kind;
        int field;
    };
    static const Receipt receipts[] = {
        {"06000", CommandResult::Kind::Sale, 6},
        {"07000", CommandResult::Kind::Cancellation, 6},
        {"09000", CommandResult::Kind::TestReceipt, 5},
    };
    for (const Receipt& receipt : receipts) {
        // An empty or blank receipt field keeps nothing and falls through to the raw answer.
        if (code == receipt.code && keepReceipt(mainWindow, receipt.kind, command, answer, receipt.field))
            return;
    }
    keepResult(mainWindow, CommandResult::Kind::Raw, command, QByteArray(), answer);
}
