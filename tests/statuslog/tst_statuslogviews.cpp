// The two views as a user meets them: problems marked, the filter box, and saving through an injected path.
#include "logview.h"
#include "modalanswerer.h"
#include "resultfiles.h"
#include "statusview.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QDateTime When(QDate(2024, 3, 15), QTime(10, 30, 0));
const QByteArray Healthy = "7|10000|Resposta com Sucesso|||900000001|DHCP|192.168.000.150|02:53:41:54:00:01|"
                           "255.255.255.000|192.168.000.001|192.168.000.001|008.008.008.008|CONECTADO|ALTO|"
                           "4194304 KB|3774873 KB|20240315103000|01.00.00|00.07|"
                           "00000000000000000000000000000000000000000000|"
                           "00000000000000000000000000000000000000000000|"
                           "00000000000000000000000000000000000000000000|"
                           "20240315102000|20240315102500|20240315|20290315|0";

QByteArray withBattery(const QByteArray& level)
{
    QByteArray answer = Healthy;
    return answer.replace("|ALTO|", "|" + level + "|");
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<não abriu>");
}

// Answers the save prompt with a fixed path and records what the view suggested.
struct Chooser {
    explicit Chooser(QString chosen = QString(), QString chosenFilter = QString())
        : path(std::move(chosen))
        , filter(std::move(chosenFilter))
    {
    }

    QString path;
    QString filter;
    QString suggested;
    int asked = 0;

    SavePathChooser get()
    {
        return
            [this](QWidget*, const QString&, const QString& suggestion, const QStringList& filters, QString* selected) {
                ++asked;
                suggested = suggestion;
                if (selected && filters.contains(filter))
                    *selected = filter;
                return path;
            };
    }
};

} // namespace

class TestStatusLogViews : public QObject {
    Q_OBJECT

private slots:
    void statusMarksProblems();
    void statusThatIsNoStatus();
    void statusSaved_data();
    void statusSaved();
    void csvQuoting_data();
    void csvQuoting();
    void logFilterBox();
    void logSavedByteForByte_data();
    void logSavedByteForByte();
    void nothingWrittenWithoutAChoice();
    void unwritableTarget_data();
    void unwritableTarget();
};

void TestStatusLogViews::statusMarksProblems()
{
    StatusView view;
    view.setAnswer(withBattery("BAIXO"), When);
    auto* table = view.findChild<QTableWidget*>(QStringLiteral("tabela"));
    auto* summary = view.findChild<QLabel*>(QStringLiteral("resumo"));
    auto* memory = view.findChild<QProgressBar*>(QStringLiteral("memoria"));
    QVERIFY(table && summary && memory);
    QVERIFY(!table->isHidden());
    QCOMPARE(table->rowCount(), 23);
    QCOMPARE(summary->text(), QStringLiteral("Atenção: Bateria em nível baixo"));
    QVERIFY(!memory->isHidden());
    QCOMPARE(memory->value(), 899);

    int marked = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* situation = table->item(row, 2);
        const bool problem = table->item(row, 0)->text() == QStringLiteral("Nível da bateria");
        // Read without colour: a word and an icon; and with colour: a background the other rows lack.
        QCOMPARE(situation->text(), problem ? QStringLiteral("PROBLEMA") : QStringLiteral("OK"));
        QCOMPARE(situation->toolTip(), problem ? QStringLiteral("Bateria em nível baixo") : QString());
        QCOMPARE(!situation->icon().isNull(), problem);
        QCOMPARE(table->item(row, 1)->background().style() != Qt::NoBrush, problem);
        marked += problem;
    }
    QCOMPARE(marked, 1);

    view.setAnswer(Healthy, When);
    QCOMPARE(summary->text(), QStringLiteral("SAT em operação normal"));
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(table->item(row, 2)->text(), QStringLiteral("OK"));
}

void TestStatusLogViews::statusThatIsNoStatus()
{
    StatusView view;
    view.setAnswer("3|10001|Codigo de ativacao invalido|||", When);
    auto* table = view.findChild<QTableWidget*>(QStringLiteral("tabela"));
    QVERIFY(table->isHidden());
    QVERIFY(view.findChild<QProgressBar*>(QStringLiteral("memoria"))->isHidden());
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("resumo"))->text(),
             QStringLiteral("O SAT respondeu: 10001 - Codigo de ativacao invalido"));
}

void TestStatusLogViews::statusSaved_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("csv");
    QTest::newRow("text") << "status.txt"
                          << "Texto (*.txt)" << false;
    QTest::newRow("csv by extension") << "status.csv"
                                      << "Texto (*.txt)" << true;
    QTest::newRow("csv by filter") << "status"
                                   << "CSV (*.csv)" << true;
}

void TestStatusLogViews::statusSaved()
{
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(bool, csv);
    QTemporaryDir dir;
    Chooser chooser(dir.filePath(name), filter);
    StatusView view;
    view.setSavePathChooser(chooser.get());
    view.setAnswer(withBattery("MEDIO"), When);
    QVERIFY(view.save());
    QCOMPARE(QFileInfo(chooser.suggested).fileName(), QStringLiteral("sat-status-900000001-20240315-103000.txt"));

    const QByteArray bytes = readAll(chooser.path);
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), csv);
    const QString text = QString::fromUtf8(csv ? bytes.mid(3) : bytes);
    if (csv) {
        QVERIFY(text.startsWith(QStringLiteral("Campo,Valor,Situação\r\n")));
        QVERIFY(text.contains(QStringLiteral("\r\nNúmero de série,900000001,OK\r\n")));
        QVERIFY(text.contains(QStringLiteral("\r\nMemória usada,\"3,6 GB (89,9% do total)\",OK\r\n")));
        QVERIFY(text.contains(QStringLiteral("\r\nNível da bateria,Médio,PROBLEMA: Bateria em nível médio\r\n")));
        QVERIFY(
            text.endsWith(QStringLiteral("Resposta do SAT,%1,\r\n").arg(QString::fromLatin1(withBattery("MEDIO")))));
    } else {
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2 + 23 + 1 + 1);
        QCOMPARE(lines.at(1), QStringLiteral("Resumo: Atenção: Bateria em nível médio"));
        QCOMPARE(lines.at(2), QStringLiteral("Número de série: 900000001"));
        QVERIFY(lines.contains(QStringLiteral("Nível da bateria: Médio [PROBLEMA: Bateria em nível médio]")));
        QCOMPARE(lines.at(25), QStringLiteral("Resposta do SAT: ") + QString::fromLatin1(withBattery("MEDIO")));
    }
    QVERIFY(view.findChild<QLabel*>(QStringLiteral("aviso"))->text().contains(chooser.path));
}

void TestStatusLogViews::csvQuoting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "900000001"
                           << "900000001";
    QTest::newRow("comma") << "3,6 GB"
                           << "\"3,6 GB\"";
    QTest::newRow("quote") << "diz \"oi\""
                           << "\"diz \"\"oi\"\"\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
    QTest::newRow("empty") << ""
                           << "";
}

void TestStatusLogViews::csvQuoting()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(ResultFiles::csvField(text), field);
}

void TestStatusLogViews::logFilterBox()
{
    LogView view;
    view.setLog("20240315103000|SAT|info|SAT ativado\r\n20240315103100|SAT|aviso|Rede sem sinal\r\n"
                "20240315103200|REDE|erro|Falha de rede\r\nsolta\r\n",
                QString(), When);
    auto* box = view.findChild<QLineEdit*>(QStringLiteral("filtro"));
    auto* count = view.findChild<QLabel*>(QStringLiteral("contagem"));
    auto* table = view.findChild<QTableView*>(QStringLiteral("tabela"));
    QVERIFY(box && count && table);
    QCOMPARE(count->text(), QStringLiteral("4 de 4 linhas"));
    QTest::keyClicks(box, QStringLiteral("REDE"));
    QCOMPARE(count->text(), QStringLiteral("2 de 4 linhas"));
    QCOMPARE(table->model()->rowCount(), 2);
    QTest::keyClicks(box, QStringLiteral(" sem"));
    QCOMPARE(count->text(), QStringLiteral("1 de 4 linhas"));
    box->clear();
    QCOMPARE(count->text(), QStringLiteral("4 de 4 linhas"));
    QCOMPARE(table->model()->index(3, 3).data().toString(), QStringLiteral("solta"));
}

void TestStatusLogViews::logSavedByteForByte_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("suggested");
    QTest::newRow("CRLF and Latin-1") << QByteArray("20240315103000|SAT|info|Opera\xe7\xe3o\r\nsolta\r\n")
                                      << "900000001"
                                      << "sat-log-900000001-20240315-103000.txt";
    QTest::newRow("no series") << QByteArray("a\rb\nc") << ""
                               << "sat-log-20240315-103000.txt";
    QTest::newRow("series made safe for a file name") << QByteArray("x\n") << "../9 0/1"
                                                      << "sat-log-901-20240315-103000.txt";
    QTest::newRow("NUL bytes kept") << QByteArray("a\0b\n", 4) << "1"
                                    << "sat-log-1-20240315-103000.txt";
    QTest::newRow("empty log") << QByteArray() << "1"
                               << "sat-log-1-20240315-103000.txt";
}

void TestStatusLogViews::logSavedByteForByte()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, serial);
    QFETCH(QString, suggested);
    QTemporaryDir dir;
    Chooser chooser(dir.filePath(QStringLiteral("log.txt")));
    LogView view;
    view.setSavePathChooser(chooser.get());
    view.setLog(log, serial, When);
    QVERIFY(view.save());
    QCOMPARE(QFileInfo(chooser.suggested).fileName(), suggested);
    QCOMPARE(readAll(chooser.path), log);
}

void TestStatusLogViews::nothingWrittenWithoutAChoice()
{
    QTemporaryDir dir;
    ModalAnswerer modal;
    Chooser chooser; // the user closes the prompt: an empty path
    LogView log;
    log.setSavePathChooser(chooser.get());
    log.setLog("x\n", QStringLiteral("1"), When);
    StatusView status;
    status.setSavePathChooser(chooser.get());
    status.setAnswer(Healthy, When);
    QVERIFY(!log.save());
    QVERIFY(!status.save());
    QCOMPARE(chooser.asked, 2);
    QVERIFY(modal.boxes.isEmpty());
    QVERIFY(log.findChild<QLabel*>(QStringLiteral("aviso"))->text().isEmpty());
}

void TestStatusLogViews::unwritableTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder that is a file") << "file";
    QTest::newRow("target that is a folder") << "folder";
    QTest::newRow("read-only folder") << "readonly";
}

// The save fails whole: a box says why, in Portuguese, and neither the file nor a temporary one is left behind.
void TestStatusLogViews::unwritableTarget()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path;
    if (kind == QLatin1String("file")) {
        QFile blocker(dir.filePath(QStringLiteral("arquivo")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        path = dir.filePath(QStringLiteral("arquivo/log.txt"));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("log.txt")));
        path = dir.filePath(QStringLiteral("log.txt"));
    } else {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        path = dir.filePath(QStringLiteral("log.txt"));
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    ModalAnswerer modal;
    Chooser chooser(path);
    LogView view;
    view.setSavePathChooser(chooser.get());
    view.setLog("20240315103000|SAT|info|x\n", QStringLiteral("900000001"), When);
    QVERIFY(!view.save());
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(modal.boxes.size(), 1);
    QCOMPARE(modal.boxes.first().icon, QMessageBox::Critical);
    QCOMPARE(modal.boxes.first().title, QStringLiteral("Salvar log do SAT"));
    QVERIFY2(modal.boxes.first().text.startsWith(QStringLiteral("Não foi possível gravar o arquivo ") + path),
             qPrintable(modal.boxes.first().text));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    QVERIFY(view.findChild<QLabel*>(QStringLiteral("aviso"))->text().isEmpty());
}

QTEST_MAIN(TestStatusLogViews)
#include "tst_statuslogviews.moc"
