#include "commands/sampledocument.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTextEdit>

#include <libxml/parser.h>

using Call = SatDouble::Call;

namespace {

const QString Critical = QStringLiteral("critical");
const QString Information = QStringLiteral("information");

QString kind(const ModalAnswerer::Box& box)
{
    return box.icon == QMessageBox::Critical ? Critical : Information;
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;

    void set(const char* name, const QString& text) { f->widget<QLineEdit>(name)->setText(text); }
    QString com() const { return f->widget<QTextEdit>("Com")->toPlainText(); }

    // Exactly one box, of this kind, title and text.
    void expectOneBox(const QString& expectedKind, const QString& title, const QString& text)
    {
        QCOMPARE(f->modal.boxes.size(), 1);
        QCOMPARE(kind(f->modal.boxes.first()), expectedKind);
        QCOMPARE(f->modal.boxes.first().title, title);
        QCOMPARE(f->modal.boxes.first().text, text);
    }

    void expectNothingHappened()
    {
        QVERIFY(SatDouble::calls().isEmpty());
        QVERIFY(f->modal.boxes.isEmpty());
    }

    Call onlyCall(const char* function)
    {
        const QList<Call> calls = SatDouble::calls();
        if (calls.size() != 1 || calls.first().function != function)
            qWarning() << "calls:" << calls.size() << (calls.isEmpty() ? QByteArray() : calls.first().function);
        return calls.size() == 1 && calls.first().function == function ? calls.first() : Call();
    }

    void fillActivation(const QString& cnpj, const QString& code, const QString& confirmation)
    {
        set("cnpj", cnpj);
        set("CodAtivacao", code);
        set("ConfCodigoAtivacao", confirmation);
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup()
    {
        QVERIFY2(f->modal.unexpected.isEmpty(), qPrintable(f->modal.unexpected.join(", ")));
        QCOMPARE(f->modal.pendingActions(), 0);
        f.reset();
    }

    // --- CNPJ check -------------------------------------------------------

    void cnpjCheck_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("bare") << QByteArray("11222333000181") << true;
        QTest::newRow("punctuated") << QByteArray("11.222.333/0001-81") << true;
        QTest::newRow("last digit wrong") << QByteArray("11222333000182") << false;
        QTest::newRow("first digit wrong") << QByteArray("11222333000191") << false;
        QTest::newRow("13 digits") << QByteArray("1122233300018") << false;
        QTest::newRow("15 digits") << QByteArray("112223330001810") << false;
        QTest::newRow("fourteen zeros") << QByteArray("00000000000000") << true;
        QTest::newRow("emulator taxpayer") << QByteArray("44555666000181") << true;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("letters") << QByteArray("abcdefghijklmn") << false;
        QTest::newRow("blank inside") << QByteArray("11222333 00181") << false;
    }

    void cnpjCheck()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QCOMPARE(MainWindow::isValidCnpj(text.constData()), valid);
    }

    // --- Activation -------------------------------------------------------

    void activationChecksInOrder_data()
    {
        QTest::addColumn<QString>("cnpj");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid CNPJ first") << "11222333000182"
                                            << "1234"
                                            << "9999" << QString::fromUtf8("CNPJ Inválido.");
        QTest::newRow("7 characters, confirmation matches")
            << "11222333000181"
            << "1234567"
            << "1234567" << QString::fromUtf8("Código de ativação deve conter no mínimo 8 caracteres");
        QTest::newRow("8 characters, one differs")
            << "11222333000181"
            << "12345678"
            << "12345679" << QString::fromUtf8("Código de ativação e de confirmação não são idênticos");
        QTest::newRow("differs in case") << "11222333000181"
                                         << "abcdefgh"
                                         << "ABCDEFGH"
                                         << QString::fromUtf8("Código de ativação e de confirmação não são idênticos");
    }

    void activationChecksInOrder()
    {
        QFETCH(QString, cnpj);
        QFETCH(QString, code);
        QFETCH(QString, confirmation);
        QFETCH(QString, message);
        fillActivation(cnpj, code, confirmation);
        f->click("btAtivarSAT");
        QVERIFY(SatDouble::calls().isEmpty());
        expectOneBox(Critical, "Ativar SAT", message);
    }

    void activationSendsTheFormAsTyped()
    {
        fillActivation("11.222.333/0001-81", "codigo-123", "codigo-123");
        auto* uf = f->widget<QComboBox>("UF");
        f->widget<QComboBox>("TipoCertificado")->setCurrentIndex(1);
        uf->setCurrentIndex(uf->findText("Bahia"));
        SatDouble::script(0, "04000 - Ativado", "1|04000|Ativado||");
        f->click("btAtivarSAT");
        const Call call = onlyCall("AtivarSAT");
        QCOMPARE(call.arguments.mid(1), QList<QByteArray>({"2", "codigo-123", "11.222.333/0001-81", "29"}));
        expectOneBox(Information, "Ativacao SAT", "04000 - Ativado");
    }

    void activationAtStartUpSendsDefaults()
    {
        fillActivation("11222333000181", "12345678", "12345678");
        f->click("btAtivarSAT");
        const Call call = onlyCall("AtivarSAT");
        QCOMPARE(call.arguments.value(1), QByteArray("1"));
        QCOMPARE(call.arguments.value(4), QByteArray("35"));
    }

    void activationShowsTheCertificateRequest_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("shown");
        const QByteArray pem = "-----BEGIN CERTIFICATE REQUEST-----\nMIIB\n-----END CERTIFICATE REQUEST-----";
        QTest::newRow("PEM block") << QByteArray("1|04000|Ativado||" + pem) << QString::fromLatin1(pem);
        QTest::newRow("no BEGIN") << QByteArray("1|04000|Ativado||") << QString();
        QTest::newRow("starts with BEGIN") << QByteArray("BEGIN abc") << QStringLiteral("BEGIN abc");
        QTest::newRow("two before BEGIN") << QByteArray("ab BEGIN") << QStringLiteral("ab BEGIN");
        QTest::newRow("Latin-1 byte") << QByteArray("|-----BEGIN \xe9") << QString::fromUtf8("-----BEGIN é");
    }

    void activationShowsTheCertificateRequest()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, shown);
        fillActivation("11222333000181", "12345678", "12345678");
        f->widget<QTextEdit>("textEdit_2")->setPlainText("resposta anterior");
        SatDouble::script(0, "04000 - Ativado", answer);
        f->click("btAtivarSAT");
        QCOMPARE(f->widget<QTextEdit>("textEdit_2")->toPlainText(), shown);
    }

    void activationTransportFailure()
    {
        fillActivation("11222333000181", "12345678", "12345678");
        SatDouble::script(0x8000, "timeout", "-----BEGIN x");
        f->click("btAtivarSAT");
        expectOneBox(Critical, QString::fromUtf8("Ativação SAT"),
                     QString::fromUtf8("TimeOut: Equipamento não está respondendo as mensagens."));
        QVERIFY(f->widget<QTextEdit>("textEdit_2")->toPlainText().isEmpty());
    }

    // --- Signature association --------------------------------------------

    void associationRefusesAnInvalidCnpjBeforeThePrompt_data()
    {
        QTest::addColumn<QString>("taxpayer");
        QTest::addColumn<QString>("softwareHouse");
        QTest::newRow("software house") << "44555666000181"
                                        << "11222333000182";
        QTest::newRow("taxpayer") << "4455566600018"
                                  << "11222333000181";
    }

    void associationRefusesAnInvalidCnpjBeforeThePrompt()
    {
        QFETCH(QString, taxpayer);
        QFETCH(QString, softwareHouse);
        set("cnpjContribuinte", taxpayer);
        set("cnpjSW", softwareHouse);
        f->click("btAssociarAssinatura");
        QVERIFY(f->modal.promptsSeen.isEmpty());
        QVERIFY(SatDouble::calls().isEmpty());
        expectOneBox(Critical, "Associar Assinatura", QString::fromUtf8("CNPJ Inválido."));
    }

    void associationCodeCheck_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("sent");
        QTest::newRow("7 characters") << "accept"
                                      << "1234567" << false;
        QTest::newRow("dismissed empty") << "escape"
                                         << "" << false;
        QTest::newRow("closed empty") << "close"
                                      << "" << false;
        QTest::newRow("dismissed with 8") << "escape"
                                          << "12345678" << true;
        QTest::newRow("accepted with 8") << "accept"
                                         << "12345678" << true;
    }

    void associationCodeCheck()
    {
        QFETCH(QString, how);
        QFETCH(QString, code);
        QFETCH(bool, sent);
        set("cnpjContribuinte", "44555666000181");
        set("cnpjSW", "11222333000181");
        set("assinaturaAC", "assinatura");
        f->modal.then(how == "accept"       ? ModalAnswerer::typeAndAccept(code)
                          : how == "escape" ? ModalAnswerer::typeAndEscape(code)
                                            : ModalAnswerer::typeAndClose(code));
        SatDouble::script(0, "13000 - Assinatura registrada", "1|13000|x||");
        f->click("btAssociarAssinatura");
        if (sent) {
            QCOMPARE(onlyCall("AssociarAssinatura").arguments.value(1), code.toLatin1());
            expectOneBox(Information, "Associar Assinatura", "13000 - Assinatura registrada");
        } else {
            QVERIFY(SatDouble::calls().isEmpty());
            expectOneBox(Critical, "Associar Assinatura",
                         QString::fromUtf8("Códgio de ativação deve conter no mínimo 8 caracteres"));
        }
    }

    void associationJoinsTheCnpjs_data()
    {
        QTest::addColumn<QString>("taxpayer");
        QTest::addColumn<QString>("softwareHouse");
        QTest::newRow("bare") << "44555666000181"
                              << "11222333000181";
        QTest::newRow("punctuated") << "44.555.666/0001-81"
                                    << "11.222.333/0001-81";
    }

    void associationJoinsTheCnpjs()
    {
        QFETCH(QString, taxpayer);
        QFETCH(QString, softwareHouse);
        set("cnpjContribuinte", taxpayer);
        set("cnpjSW", softwareHouse);
        const QString signature(344, QLatin1Char('0'));
        set("assinaturaAC", signature);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("btAssociarAssinatura");
        const Call call = onlyCall("AssociarAssinatura");
        QCOMPARE(call.arguments.value(2), QByteArray("1122233300018144555666000181"));
        QCOMPARE(call.arguments.value(3), signature.toLatin1());
    }

    void associationNeverCutsTheSignature_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("sent");
        QTest::newRow("1023") << 1023 << true;
        QTest::newRow("1024") << 1024 << false;
        QTest::newRow("5000") << 5000 << false;
    }

    void associationNeverCutsTheSignature()
    {
        QFETCH(int, length);
        QFETCH(bool, sent);
        set("cnpjContribuinte", "44555666000181");
        set("cnpjSW", "11222333000181");
        auto* signature = f->widget<QLineEdit>("assinaturaAC");
        signature->setMaxLength(32767);
        signature->setText(QString(length, QLatin1Char('A')));
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        f->click("btAssociarAssinatura");
        if (sent) {
            QCOMPARE(onlyCall("AssociarAssinatura").arguments.value(3), QByteArray(length, 'A'));
        } else {
            QVERIFY(SatDouble::calls().isEmpty());
            QCOMPARE(f->modal.boxes.size(), 1);
            QCOMPARE(kind(f->modal.boxes.first()), Critical);
            QVERIFY(f->modal.boxes.first().text.contains(QString::number(length)));
        }
    }

    // --- Activation code change -------------------------------------------

    void codeChangeChecksInOrder_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("newCode");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("message");
        const QString tooShort = QString::fromUtf8("Código de ativação deve conter no mínimo 8 caracteres");
        const QString mismatch = QString::fromUtf8("Novo Código de Ativação e de confirmação não são idênticos.");
        QTest::newRow("7 characters, confirmation differs") << "atual"
                                                            << "1234567"
                                                            << "x" << tooShort;
        QTest::newRow("empty new code") << "atual"
                                        << ""
                                        << "" << tooShort;
        QTest::newRow("case differs") << "atual"
                                      << "abcdefgh"
                                      << "abcdefgH" << mismatch;
        QTest::newRow("empty current code")
            << ""
            << "abcdefgh"
            << "abcdefgh" << QString::fromUtf8("É necessário entrar com o código de ativação atual.");
    }

    void codeChangeChecksInOrder()
    {
        QFETCH(QString, current);
        QFETCH(QString, newCode);
        QFETCH(QString, confirmation);
        QFETCH(QString, message);
        set("codatual", current);
        set("lne_codnovo", newCode);
        set("lne_codconf", confirmation);
        f->click("btn_alterar");
        QVERIFY(SatDouble::calls().isEmpty());
        expectOneBox(Critical, QString::fromUtf8("Alterar código de ativação"), message);
    }

    void codeChangeSendsItsArguments_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("option");
        QTest::newRow("activation code") << 0 << QByteArray("1");
        QTest::newRow("emergency code") << 1 << QByteArray("2");
    }

    void codeChangeSendsItsArguments()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, option);
        set("codatual", "x");
        set("lne_codnovo", "novo-codigo");
        set("lne_codconf", "novo-codigo");
        f->widget<QComboBox>("qcb_opcao")->setCurrentIndex(index);
        SatDouble::script(0, "18000 - Código alterado", "1|18000|x||");
        f->click("btn_alterar");
        QCOMPARE(onlyCall("TrocarCodigoDeAtivacao").arguments.mid(1),
                 QList<QByteArray>({"x", option, "novo-codigo", "novo-codigo"}));
        expectOneBox(Information, QString::fromUtf8("Alterar código de ativação"),
                     QString::fromUtf8("18000 - Código alterado"));
    }

    // --- Certificate --------------------------------------------------------

    void certificateSendsThePlainText()
    {
        f->widget<QTextEdit>("textEdit_3")
            ->setPlainText("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----");
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(4, "M", "1|05000|x||");
        f->click("pushButton_5");
        QCOMPARE(onlyCall("ComunicarCertificadoICPBRASIL").arguments.mid(1),
                 QList<QByteArray>({"12345678", "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----"}));
        expectOneBox(Information, "Comunicar Certificado", "M [4]");
    }

    // --- Prompts that honour a dismissal ----------------------------------

    void dismissedPromptEndsTheCommand_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("close");
        for (const char* button :
             {"pushButton_5", "TesteFim_a_Fim", "Bloquear", "pushButton", "pushButton_3", "Logs"}) {
            QTest::addRow("%s, Escape", button) << button << false;
            QTest::addRow("%s, closed", button) << button << true;
        }
    }

    void dismissedPromptEndsTheCommand()
    {
        QFETCH(QString, button);
        QFETCH(bool, close);
        f->widget<QTextEdit>("Com")->setPlainText("antes");
        f->modal.then(close ? ModalAnswerer::typeAndClose("12345678") : ModalAnswerer::typeAndEscape("12345678"));
        f->click(button.toLatin1().constData());
        expectNothingHappened();
        QVERIFY(dialogRejected);
        QCOMPARE(com(), QStringLiteral("antes"));
    }

    // --- Software update ----------------------------------------------------

    void updateNeedsACode_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("empty, OK") << false;
        QTest::newRow("empty, dismissed") << true;
    }

    void updateNeedsACode()
    {
        QFETCH(bool, escape);
        f->modal.then(escape ? ModalAnswerer::typeAndEscape("") : ModalAnswerer::typeAndAccept(""));
        f->click("btnatualizar");
        QVERIFY(SatDouble::calls().isEmpty());
        expectOneBox(Critical, QString::fromUtf8("Atualização de software SAT"),
                     QString::fromUtf8("Código de ativação inválido"));
    }

    void updateRunsWhenDismissedWithACode()
    {
        f->modal.then(ModalAnswerer::typeAndEscape("abc"));
        SatDouble::script(0, "14000 - x", "1|14000|Software atualizado ção||");
        f->click("btnatualizar");
        QCOMPARE(onlyCall("AtualizarSoftwareSAT").arguments.value(1), QByteArray("abc"));
        expectOneBox(Information, QString::fromUtf8("Atualização de software SAT"),
                     QString::fromUtf8("1|14000|Software atualizado ção||"));
    }

    // --- End-to-end test ----------------------------------------------------

    void endToEndTest_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expectedKind");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << Information << QString::fromUtf8("09000 - Emitido é");
        QTest::newRow("4") << 4 << Critical << QString::fromUtf8("Comando recebido do equipamento não reconhecido.");
        QTest::newRow("1") << 1 << Critical << QString::fromUtf8("Porta de comunicação não conectada.");
    }

    void endToEndTest()
    {
        QFETCH(int, code);
        QFETCH(QString, expectedKind);
        QFETCH(QString, text);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(code, "09000 - Emitido \xe9", "1|09000|x||");
        f->click("TesteFim_a_Fim");
        const Call call = onlyCall("TesteFimAFim");
        QCOMPARE(call.arguments.value(1), QByteArray("12345678"));
        QCOMPARE(call.arguments.value(2), sampleSaleDocument());
        expectOneBox(expectedKind, QString::fromUtf8("Teste de comunicação Fim-a-Fim."), text);
    }

    void sampleDocumentIsAWellFormedCfe()
    {
        const QByteArray& document = sampleSaleDocument();
        QCOMPARE(document.size(), 1265);
        QCOMPARE(document.count(' ') - QByteArray("<?xml version='1.0' encoding='UTF-8'?>").count(' ')
                     - QByteArray("<infCFe versaoDadosEnt='0.04'>").count(' ')
                     - QByteArray("<det nItem='1'>").count(' ') - 2 /* "<dest />", "<total />" */,
                 62); // 63 tokens, one space between each
        QVERIFY(!document.contains('\n'));
        QVERIFY(document.contains("<signAC>" + QByteArray(344, '0') + "</signAC>"));
        xmlDocPtr parsed = xmlReadMemory(document.constData(), document.size(), "sample.xml", nullptr, XML_PARSE_NONET);
        QVERIFY2(parsed, "the sample is not well-formed");
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(xmlDocGetRootElement(parsed)->name)), QByteArray("CFe"));
        xmlFreeDoc(parsed);
        QCOMPARE(&sampleSaleDocument(), &document);
    }

    // --- Block and unblock --------------------------------------------------

    void blockShowsTheAnswer_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expectedKind");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << Information << QString::fromUtf8("1|16000|Bloqueado ção||");
        QTest::newRow("4") << 4 << Information << QString::fromUtf8("1|16000|Bloqueado ção||");
        QTest::newRow("0x8000") << 0x8000 << Critical << "M [8000]";
    }

    void blockShowsTheAnswer()
    {
        QFETCH(int, code);
        QFETCH(QString, expectedKind);
        QFETCH(QString, text);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(code, "M", "1|16000|Bloqueado ção||");
        f->click("Bloquear");
        QCOMPARE(onlyCall("BloquearSAT").arguments.value(1), QByteArray("12345678"));
        expectOneBox(expectedKind, "Bloquear SAT", text);
    }

    void unblockShowsTheRecord_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expectedKind");
        QTest::addColumn<QString>("text");
        QTest::newRow("4") << 4 << Information << "M [4]";
        QTest::newRow("0x8000") << 0x8000 << Critical << "M [8000]";
        QTest::newRow("0x8001") << 0x8001 << Critical << "M [8001]";
    }

    void unblockShowsTheRecord()
    {
        QFETCH(int, code);
        QFETCH(QString, expectedKind);
        QFETCH(QString, text);
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(code, "M", "1|17000|x||");
        f->click("pushButton");
        QCOMPARE(onlyCall("DesbloquearSAT").arguments.value(1), QByteArray("12345678"));
        expectOneBox(expectedKind, "Desbloquear SAT", text);
    }

    // --- Queries ------------------------------------------------------------

    void statusReplacesComAfterTheBox_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("expectedKind");
        QTest::newRow("0") << 0 << QByteArray("1|10000|Resposta \xe9|") << Information;
        QTest::newRow("port not connected, empty answer") << 1 << QByteArray() << Critical;
        QTest::newRow("time-out") << 0x8000 << QByteArray("1|10000|x") << Critical;
    }

    void statusReplacesComAfterTheBox()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, answer);
        QFETCH(QString, expectedKind);
        auto* comArea = f->widget<QTextEdit>("Com");
        comArea->setPlainText("antes");
        QString comWhileTheBoxWasOpen;
        f->modal.then(ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::onCall([&] { comWhileTheBoxWasOpen = comArea->toPlainText(); });
        SatDouble::script(code, "M", answer);
        f->click("pushButton_3");
        QCOMPARE(onlyCall("ConsultarStatusOperacional").arguments.value(1), QByteArray("12345678"));
        QCOMPARE(comWhileTheBoxWasOpen, QString()); // emptied before the call
        expectOneBox(expectedKind, "Status Operacional SAT", QStringLiteral("M [%1]").arg(code, 0, 16));
        QCOMPARE(com(), QString::fromLatin1(answer));
    }

    void sessionQuery_data()
    {
        QTest::addColumn<QString>("sessionText");
        QTest::addColumn<bool>("escapeSession");
        QTest::addColumn<bool>("escapeCode");
        QTest::addColumn<QByteArray>("queried");
        QTest::newRow("12abc") << "12abc" << false << false << QByteArray("12");
        QTest::newRow("blank then 7") << " 7" << false << false << QByteArray("7");
        QTest::newRow("negative") << "-5" << false << false << QByteArray("-5");
        QTest::newRow("letters") << "abc" << false << false << QByteArray("0");
        QTest::newRow("too large for an int") << "99999999999999" << false << false << QByteArray("2147483647");
        QTest::newRow("session prompt dismissed") << "34" << true << false << QByteArray("34");
        QTest::newRow("session prompt dismissed empty") << "" << true << false << QByteArray("0");
        QTest::newRow("code prompt dismissed") << "34" << false << true << QByteArray();
    }

    void sessionQuery()
    {
        QFETCH(QString, sessionText);
        QFETCH(bool, escapeSession);
        QFETCH(bool, escapeCode);
        QFETCH(QByteArray, queried);
        f->widget<QTextEdit>("Com")->setPlainText("antes");
        f->modal.then(escapeSession ? ModalAnswerer::typeAndEscape(sessionText)
                                    : ModalAnswerer::typeAndAccept(sessionText));
        f->modal.then(escapeCode ? ModalAnswerer::typeAndEscape("12345678") : ModalAnswerer::typeAndAccept("12345678"));
        SatDouble::script(0x8001, "M", "1|11000|resposta");
        f->click("pushButton_4");
        QCOMPARE(f->modal.promptsSeen, QStringList({"Dialog2", "Dialog"}));
        if (escapeCode) {
            expectNothingHappened();
            QCOMPARE(com(), QStringLiteral("antes"));
            return;
        }
        QCOMPARE(onlyCall("ConsultarNumeroSessao").arguments.mid(1), QList<QByteArray>({"12345678", queried}));
        expectOneBox(Critical, "Numero Sessao", "M [8001]");
        QCOMPARE(com(), QStringLiteral("1|11000|resposta"));
    }

    // --- The prompts ---------------------------------------------------------

    void activationPromptTakesAtMost32Characters()
    {
        f->modal.then(ModalAnswerer::typeAndAccept(QString(33, QLatin1Char('7'))));
        f->click("Bloquear");
        QCOMPARE(onlyCall("BloquearSAT").arguments.value(1), QByteArray(32, '7'));
    }

    void promptTextBeyondLatin1BecomesQuestionMarks()
    {
        // The file dialog comes first, then the key, then the code.
        f->modal.then(ModalAnswerer::cancelFileDialog());
        f->modal.then(ModalAnswerer::typeAndAccept(QString::fromUtf8("chave€ção")));
        f->modal.then(ModalAnswerer::typeAndAccept(QString::fromUtf8("código€1")));
        f->click("cancelavenda");
        const Call call = onlyCall("CancelarUltimaVenda");
        QCOMPARE(call.arguments.value(1),
                 QByteArray("c\xf3"
                            "digo?1"));
        QCOMPARE(call.arguments.value(2), QByteArray("chave?\xe7\xe3o"));
    }

    void aLaterPromptStartsEmpty()
    {
        f->modal.then(ModalAnswerer::typeAndAccept("primeiro"));
        f->click("Bloquear");
        f->modal.then(ModalAnswerer::typeAndAccept("segundo1"));
        f->click("Bloquear");
        const QList<Call> calls = SatDouble::calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(1).arguments.value(1), QByteArray("segundo1"));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
