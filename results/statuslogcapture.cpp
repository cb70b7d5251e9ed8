#include "statuslogcapture.h"

#include "commands/answer.h"
#include "operationalstatus.h"
#include "resultlist.h"
#include "runresults.h"

#include <QDateTime>

namespace {

void keep(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, QByteArray document,
          const char* answer)
{
    RunResults::of(mainWindow)
        ->add(CommandResult {kind, QDateTime::currentDateTime(), command, std::move(document),
                             QByteArray(answer ? answer : "")});
}

QByteArray fieldText(const char* answer, int n)
{
    const AnswerField field = answerField(answer, n);
    return field.begin ? QByteArray(field.begin, qsizetype(field.length)) : QByteArray();
}

} // namespace

void keepStatus(QWidget* mainWindow, const QString& command, const char* answer)
{
    keep(mainWindow, CommandResult::Kind::Status, command, QByteArray(), answer);
}

void keepLog(QWidget* mainWindow, const QString& command, const char* answer, const char* decoded, std::size_t length)
{
    keep(mainWindow, CommandResult::Kind::Log, command, QByteArray(decoded, qsizetype(length)), answer);
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
        if (code != receipt.code || fieldText(answer, receipt.field).trimmed().isEmpty())
            continue;
        ResultList* list = RunResults::of(mainWindow)->list();
        const int before = list->rowCount();
        keepReceipt(mainWindow, receipt.kind, command, answer, receipt.field);
        if (list->rowCount() > before)
            return;
    }
    keep(mainWindow, CommandResult::Kind::Raw, command, QByteArray(), answer);
}
