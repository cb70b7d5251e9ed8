#include "runresults.h"

#include "codec/answer.h"
#include "codec/base64.h"
#include "resultlist.h"
#include "resultwindow.h"

#include <QAbstractButton>
#include <QWidget>

RunResults* RunResults::of(QWidget* mainWindow)
{
    if (auto* found = mainWindow->findChild<RunResults*>(QString(), Qt::FindDirectChildrenOnly))
        return found;
    return new RunResults(mainWindow);
}

RunResults::RunResults(QWidget* owner)
    : QObject(owner)
    , mainWindow(owner)
    , results(new ResultList(this))
{
}

// The window goes before the list it shows, which is a child of this object.
RunResults::~RunResults() = default;

void RunResults::add(CommandResult result)
{
    results->add(std::move(result));
    if (auto* details = mainWindow->findChild<QAbstractButton*>(QStringLiteral("Detalhes")))
        details->setEnabled(true);
}

void RunResults::showLatest()
{
    if (!shown)
        shown = std::make_unique<ResultWindow>(results);
    shown->showLatest();
}

void keepResult(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, QByteArray document,
                const char* answer)
{
    RunResults::of(mainWindow)
        ->add(CommandResult {kind, QDateTime::currentDateTime(), command, std::move(document),
                             QByteArray(answer ? answer : "")});
}

bool keepReceipt(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, const char* answer, int field)
{
    const AnswerField encoded = answerField(answer, field);
    if (!encoded.begin || encoded.length == 0)
        return false;
    const QByteArray text(encoded.begin, int(encoded.length));
    return keepDecodedReceipt(mainWindow, kind, command, answer, decodeBuffer(), decodeBase64(text.constData()));
}

bool keepDecodedReceipt(QWidget* mainWindow, CommandResult::Kind kind, const QString& command, const char* answer,
                        const char* decoded, std::size_t length)
{
    if (length == 0)
        return false;
    keepResult(mainWindow, kind, command, QByteArray(decoded, int(length)), answer);
    return true;
}
