// Saving from the log and status views: the whole log or only the lines the filter shows, each byte as the device
// sent it, and the folder the saves propose.
#include "devicetext.h"
#include "logparser.h"
#include "logview.h"
#include "modalanswerer.h"
#include "statusview.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime When(QDate(2024, 3, 15), QTime(10, 30, 0));

// Four lines, two of them about the network, with every kind of line end and no end after the last.
const QByteArray Mixed("20240315103000|SAT|info|SAT ativado\r\n"
                       "20240315103100|SAT|aviso|Rede sem sinal\n"
                       "20240315103200|SAT|info|Venda emitida\r"
                       "20240315103300|REDE|erro|Falha de rede");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<não abriu>");
}

// Answers the save prompt with a fixed path and records what the view proposed.
struct Chooser {
    QString path;
    QStringList titles;
    QStringList suggested;

    SavePathChooser get()
    {
        return [this](QWidget*, const QString& title, const QString& suggestion, const QStringList&, QString*) {
            titles << title;
            suggested << suggestion;
            return path;
        };
    }
};

QString notice(const QWidget& view)
{
    return view.findChild<QLabel*>(QStringLiteral("aviso"))->text();
}

} // namespace

class TestLogViewSave : public QObject {
    Q_OBJECT

private slots:
    void lineBytesFollowTheParsedLines_data();
    void lineBytesFollowTheParsedLines();
    void shownLinesKeepTheirBytes_data();
    void shownLinesKeepTheirBytes();
    void filteredLogOffersBothSaves();
    void savesProposeTheFolderGiven_data();
    void savesProposeTheFolderGiven();
};

void TestLogViewSave::lineBytesFollowTheParsedLines_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::newRow("CRLF, LF and CR") << Mixed;
    QTest::newRow("CR before CRLF") << QByteArray("a\r\r\nb\r\n");
    QTest::newRow("LF before CR: two ends") << QByteArray("a\n\rb");
    QTest::newRow("blank lines") << QByteArray("\n\n\r\n");
    QTest::newRow("CR at the very end") << QByteArray("a\r");
    QTest::newRow("Windows-1252") << QByteArray("Opera\xe7\xe3o\r\nreti\x85\r\n\x81\n");
    QTest::newRow("UTF-8") << QByteArray("Operação\nção\r\n");
    QTest::newRow("NUL inside a line") << QByteArray("a\0b\nc", 5);
    QTest::newRow("empty") << QByteArray();
}

// Saving only the lines shown takes the n-th line's bytes for the n-th row: both readings must cut the same lines.
void TestLogViewSave::lineBytesFollowTheParsedLines()
{
    QFETCH(QByteArray, log);
    const QList<QByteArray> lines = deviceLogLineBytes(log);
    QCOMPARE(lines.size(), parseDeviceLog(decodeDeviceText(log)).size());
    QByteArray joined;
    for (const QByteArray& line : lines) {
        // One line end at most, and only at the end.
        QByteArray text = line;
        if (text.endsWith("\r\n"))
            text.chop(2);
        else if (text.endsWith('\n') || text.endsWith('\r'))
            text.chop(1);
        QVERIFY2(!text.contains('\n') && !text.contains('\r'), line.toHex().constData());
        joined += line;
    }
    QCOMPARE(joined, log);
}

void TestLogViewSave::shownLinesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("each line with its own end, the last with none")
        << Mixed << "rede"
        << QByteArray("20240315103100|SAT|aviso|Rede sem sinal\n20240315103300|REDE|erro|Falha de rede");
    QTest::newRow("by level") << Mixed << "INFO"
                              << QByteArray("20240315103000|SAT|info|SAT ativado\r\n"
                                            "20240315103200|SAT|info|Venda emitida\r");
    QTest::newRow("Windows-1252 found by its letters, kept in its bytes")
        << QByteArray("20240315103000|SAT|info|Opera\xe7\xe3o conclu\xed"
                      "da\r\n20240315103100|SAT|info|outra\r\n")
        << QString::fromUtf8("operação")
        << QByteArray("20240315103000|SAT|info|Opera\xe7\xe3o conclu\xed"
                      "da\r\n");
    QTest::newRow("a line out of the format") << QByteArray("cabe\xc3\xa7"
                                                            "alho solto\nx|y\n")
                                              << "solto"
                                              << QByteArray("cabe\xc3\xa7"
                                                            "alho solto\n");
    QTest::newRow("NUL kept") << QByteArray("a\0b rede\nc\n", 11) << "rede" << QByteArray("a\0b rede\n", 9);
}

void TestLogViewSave::shownLinesKeepTheirBytes()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, filter);
    QFETCH(QByteArray, shown);
    QTemporaryDir dir;
    Chooser chooser {dir.filePath(QStringLiteral("linhas.txt")), {}, {}};
    LogView view;
    view.setSavePathChooser(chooser.get());
    view.setLog(log, QStringLiteral("900000001"), When);
    view.findChild<QLineEdit*>(QStringLiteral("filtro"))->setText(filter);
    QVERIFY(view.shownRows() < view.totalRows());
    QCOMPARE(view.shownBytes(), shown);

    QVERIFY(view.save(LogView::Part::Shown));
    QCOMPARE(readAll(chooser.path), shown);
    QCOMPARE(QFileInfo(chooser.suggested.last()).fileName(),
             QStringLiteral("sat-log-900000001-20240315-103000-filtrado.txt"));

    QVERIFY(view.save(LogView::Part::Whole));
    QCOMPARE(readAll(chooser.path), log);
    QCOMPARE(QFileInfo(chooser.suggested.last()).fileName(), QStringLiteral("sat-log-900000001-20240315-103000.txt"));
}

// "Salvar..." saves the log at once while every line is shown; with lines hidden by the filter it offers both, and
// what it saved is said.
void TestLogViewSave::filteredLogOffersBothSaves()
{
    QTemporaryDir dir;
    Chooser chooser {dir.filePath(QStringLiteral("log.txt")), {}, {}};
    LogView view;
    view.setSavePathChooser(chooser.get());
    view.setLog(Mixed, QString(), When);
    auto* button = view.findChild<QPushButton*>(QStringLiteral("salvar"));
    auto* box = view.findChild<QLineEdit*>(QStringLiteral("filtro"));
    QVERIFY(!button->menu());
    button->click();
    QCOMPARE(chooser.titles, QStringList {QStringLiteral("Salvar log do SAT")});
    QCOMPARE(readAll(chooser.path), Mixed);
    QCOMPARE(notice(view), QStringLiteral("Log salvo em ") + QDir::toNativeSeparators(chooser.path));

    QTest::keyClicks(box, QStringLiteral("rede"));
    QMenu* menu = button->menu();
    QVERIFY(menu);
    const QList<QAction*> choices = menu->actions();
    QCOMPARE(choices.size(), 2);
    QCOMPARE(choices.at(0)->text(), QStringLiteral("Log inteiro, como o SAT enviou (4 linhas)..."));
    QCOMPARE(choices.at(1)->text(), QStringLiteral("Só as linhas mostradas (2 de 4)..."));

    choices.at(1)->trigger();
    QCOMPARE(chooser.titles.last(), QStringLiteral("Salvar linhas do log"));
    QCOMPARE(readAll(chooser.path), view.shownBytes());
    QCOMPARE(notice(view),
             QStringLiteral("Linhas mostradas (2 de 4) salvas em ") + QDir::toNativeSeparators(chooser.path));
    choices.at(0)->trigger();
    QCOMPARE(readAll(chooser.path), Mixed);
    QCOMPARE(notice(view), QStringLiteral("Log inteiro salvo em ") + QDir::toNativeSeparators(chooser.path));
    QCOMPARE(chooser.titles.size(), 3);

    // Pressing the button opens the choice and nothing more: dismissing it saves nothing.
    bool offered = false;
    QTimer::singleShot(0, &view, [&offered, menu] {
        offered = menu->isVisible();
        menu->close();
    });
    button->click();
    QVERIFY(offered);
    QCOMPARE(chooser.titles.size(), 3);

    // Nothing shown: only the whole log can be saved.
    box->setText(QStringLiteral("nada assim"));
    QCOMPARE(view.shownRows(), 0);
    QVERIFY(button->menu());
    QVERIFY(choices.at(0)->isEnabled());
    QVERIFY(!choices.at(1)->isEnabled());

    box->clear();
    QVERIFY(!button->menu());
}

void TestLogViewSave::savesProposeTheFolderGiven_data()
{
    QTest::addColumn<bool>("status");
    QTest::newRow("status") << true;
    QTest::newRow("log") << false;
}

// The home folder first, then the folder given; a save moves it to where the file went and says so to the window,
// a failed one leaves it.
void TestLogViewSave::savesProposeTheFolderGiven()
{
    QFETCH(bool, status);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("dada")) && QDir(dir.path()).mkpath(QStringLiteral("escolhida")));
    ModalAnswerer modal;
    Chooser chooser;
    StatusView statusView;
    LogView logView;
    QWidget& view = status ? static_cast<QWidget&>(statusView) : logView;
    statusView.setSavePathChooser(chooser.get());
    logView.setSavePathChooser(chooser.get());
    statusView.setAnswer("3|10001|Codigo de ativacao invalido|||", When);
    logView.setLog("x\n", QString(), When);
    const auto save = [&] { return status ? statusView.save() : logView.save(); };
    const auto folder = [&] { return status ? statusView.saveFolder() : logView.saveFolder(); };
    QSignalSpy saved(&view, SIGNAL(saved(QString)));

    QVERIFY(!save()); // given up
    QCOMPARE(QFileInfo(chooser.suggested.last()).absolutePath(), QDir::homePath());

    status ? statusView.setSaveFolder(dir.filePath(QStringLiteral("dada")))
           : logView.setSaveFolder(dir.filePath(QStringLiteral("dada")));
    chooser.path = dir.filePath(QStringLiteral("escolhida/arquivo.txt"));
    QVERIFY(save());
    QCOMPARE(QFileInfo(chooser.suggested.last()).absolutePath(), dir.filePath(QStringLiteral("dada")));
    QCOMPARE(folder(), dir.filePath(QStringLiteral("escolhida")));
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first().first().toString(), chooser.path);

    QFile blocker(dir.filePath(QStringLiteral("arquivo")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    chooser.path = dir.filePath(QStringLiteral("arquivo/outro.txt"));
    QVERIFY(!save());
    QCOMPARE(modal.boxes.size(), 1);
    QCOMPARE(folder(), dir.filePath(QStringLiteral("escolhida")));
    QCOMPARE(saved.size(), 1);
}

QTEST_MAIN(TestLogViewSave)
#include "tst_logviewsave.moc"
