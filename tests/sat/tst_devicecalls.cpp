// The plain parts of reaching a device library: the calls as data, the frames to the host and back, the error
// record a library without CodigoErro gets, the device's text, and what the tool says of a file that will not
// load.

#include "answerrecord.h"
#include "devicetext.h"
#include "hostbackend.h"
#include "hostprotocol.h"
#include "libraryfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace hostprotocol;

Q_DECLARE_METATYPE(SatFunction)

namespace {

QByteArray messageOf(const ErroSAT& record)
{
    return QByteArray(record.mensagem, int(qstrnlen(record.mensagem, sizeof record.mensagem)));
}

SatCall saleCall()
{
    return SatCall {SatFunction::EnviarDadosVenda,
                    {SatArgument::of(123456), SatArgument::of("codigo-teste"), SatArgument::of("<CFe>\xe7</CFe>")}};
}

std::string payloadOf(const std::string& frame)
{
    FrameReader reader;
    reader.append(frame.data(), frame.size());
    std::string payload;
    return reader.next(payload) == FrameReader::Status::Frame ? payload : std::string();
}

} // namespace

class TestDeviceCalls : public QObject {
    Q_OBJECT

private slots:
    void recordFromTheAnswer_data();
    void recordFromTheAnswer();
    void recordKeepsTheSuccessMarkers();
    void recordIsCutOnACharacter();
    void deviceText_data();
    void deviceText();

    void framesRoundTrip();
    void framesArriveInPieces();
    void badFramesAreRefused_data();
    void badFramesAreRefused();
    void callsMatchTheirFunction();

    void libraryFiles_data();
    void libraryFiles();
    void loaderMessages_data();
    void loaderMessages();
    void hostEnds_data();
    void hostEnds();
};

void TestDeviceCalls::recordFromTheAnswer_data()
{
    QTest::addColumn<SatFunction>("function");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("state query") << SatFunction::ConsultarSAT << QByteArray("12|08000|SAT em operacao||")
                                 << QStringLiteral("08000 - SAT em operacao");
    QTest::newRow("sale keeps its alert code")
        << SatFunction::EnviarDadosVenda << QByteArray("12|06010|1025|Erro de validacao do conteudo|||")
        << QStringLiteral("06010 - 1025 - Erro de validacao do conteudo");
    QTest::newRow("cancellation keeps its alert code")
        << SatFunction::CancelarUltimaVenda << QByteArray("9|07000|0000|Cupom cancelado|||QUJD")
        << QStringLiteral("07000 - 0000 - Cupom cancelado");
    QTest::newRow("association keeps its alert code") << SatFunction::AssociarAssinatura
                                                      << QByteArray("9|13000|0000|Assinatura do AC Registrada||")
                                                      << QStringLiteral("13000 - 0000 - Assinatura do AC Registrada");
    QTest::newRow("the end-to-end test has none")
        << SatFunction::TesteFimAFim << QByteArray("9|09000|Emitido com sucesso|||QUJD|20240101")
        << QStringLiteral("09000 - Emitido com sucesso");
    QTest::newRow("short answer") << SatFunction::ConsultarSAT << QByteArray("9|08001")
                                  << QStringLiteral("08001");
    QTest::newRow("short sale answer") << SatFunction::EnviarDadosVenda << QByteArray("9|06001|0000")
                                       << QStringLiteral("06001 - 0000");
    QTest::newRow("no separator") << SatFunction::ConsultarSAT << QByteArray("ERRO GERAL")
                                  << QStringLiteral("ERRO GERAL");
    QTest::newRow("Windows-1252") << SatFunction::ConsultarSAT
                                  << QByteArray("9|08000|Opera\xe7\xe3o \x96 pronto||")
                                  << QString::fromUtf8("08000 - Operação – pronto");
    QTest::newRow("UTF-8") << SatFunction::ConsultarSAT << QByteArray("9|08000|Opera\xc3\xa7\xc3\xa3o \xe2\x80\x93 ok||")
                           << QString::fromUtf8("08000 - Operação – ok");
}

// The record is always UTF-8, which is how the reports read most messages.
void TestDeviceCalls::recordFromTheAnswer()
{
    QFETCH(SatFunction, function);
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);
    const ErroSAT record = recordFromAnswer(function, answer);
    QCOMPARE(record.codigo, 0);
    QCOMPARE(QString::fromUtf8(messageOf(record)), message);
}

// What the commands look for in the record: "6000" on a sale, "7000" on a cancellation, and nothing that looks
// like them on a refusal.
void TestDeviceCalls::recordKeepsTheSuccessMarkers()
{
    QVERIFY(messageOf(recordFromAnswer(SatFunction::EnviarDadosVenda, "5|06000|0000|Emitido com sucesso|||QUJD"))
                .contains("6000"));
    QVERIFY(messageOf(recordFromAnswer(SatFunction::CancelarUltimaVenda, "5|07000|0000|Cancelado|||QUJD"))
                .contains("7000"));
    QVERIFY(!messageOf(recordFromAnswer(SatFunction::EnviarDadosVenda, "5|06010|1025|Rejeitado|||"))
                 .contains("6000"));
}

void TestDeviceCalls::recordIsCutOnACharacter()
{
    // 3-byte characters from the 8th byte on: 299 bytes of room end inside one, which must go whole.
    const QByteArray answer = "1|08000|" + QString(200, QChar(0x2013)).toUtf8() + "||";
    const ErroSAT record = recordFromAnswer(SatFunction::ConsultarSAT, answer);
    const QByteArray message = messageOf(record);
    QVERIFY(message.size() <= 299);
    QCOMPARE(message.size(), 8 + 3 * 97);
    QVERIFY(QString::fromUtf8(message).toUtf8() == message); // valid UTF-8, nothing replaced
    QCOMPARE(record.mensagem[sizeof record.mensagem - 1], '\0');
}

void TestDeviceCalls::deviceText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8") << QByteArray("P\xc3\xa3o") << QString::fromUtf8("Pão");
    QTest::newRow("Windows-1252 letters") << QByteArray("P\xe3o") << QString::fromUtf8("Pão");
    QTest::newRow("Windows-1252 marks") << QByteArray("\x80 \x93x\x94 \x96 \x85")
                                        << QString::fromUtf8("€ “x” – …");
    QTest::newRow("bytes Windows-1252 leaves unassigned") << QByteArray("a\x81\x8d\x8f\x90\x9d")
                                                          << QString::fromUtf8("a\u0081\u008d\u008f\u0090\u009d");
}

void TestDeviceCalls::deviceText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeDeviceText(bytes), text);
}

void TestDeviceCalls::framesRoundTrip()
{
    CallRequest request {7, saleCall()};
    CallRequest readRequest;
    QVERIFY(decode(payloadOf(encode(request)), readRequest));
    QCOMPARE(readRequest.sequence, 7u);
    QCOMPARE(int(readRequest.call.function), int(SatFunction::EnviarDadosVenda));
    QCOMPARE(readRequest.call.session(), 123456);
    QCOMPARE(readRequest.call.arguments.at(2).text, std::string("<CFe>\xe7</CFe>"));

    CallReply reply;
    reply.sequence = 7;
    reply.hasRecord = true;
    reply.code = -1;
    reply.message = std::string(300, 'x'); // a record filled whole, with no NUL, stays whole
    reply.answer = "7|06000|0000|ok|||" + std::string(3 << 20, 'A');
    CallReply readReply;
    QVERIFY(decode(payloadOf(encode(reply)), readReply));
    QCOMPARE(readReply.code, -1);
    QCOMPARE(readReply.message, reply.message);
    QCOMPARE(readReply.answer, reply.answer);

    LoadReply loaded;
    loaded.sequence = 3;
    loaded.loaded = true;
    loaded.functions = 0x7fff;
    loaded.hasErrorRecord = true;
    LoadReply readLoaded;
    QVERIFY(decode(payloadOf(encode(loaded)), readLoaded));
    QCOMPARE(readLoaded.functions, 0x7fffu);
    QVERIFY(readLoaded.hasErrorRecord && !readLoaded.isEmulator);
}

void TestDeviceCalls::framesArriveInPieces()
{
    const std::string stream = encode(LoadRequest {1, "/tmp/a.so"}) + encode(CallRequest {2, saleCall()});
    FrameReader reader;
    std::string payload;
    std::vector<std::string> frames;
    for (char byte : stream) {
        reader.append(&byte, 1);
        while (reader.next(payload) == FrameReader::Status::Frame)
            frames.push_back(payload);
    }
    QCOMPARE(frames.size(), std::size_t(2));
    LoadRequest load;
    QVERIFY(decode(frames[0], load));
    QCOMPARE(load.path, std::string("/tmp/a.so"));
    QCOMPARE(reader.pending(), std::size_t(0));
}

void TestDeviceCalls::badFramesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("frameError"); // the stream itself is broken, not just the payload
    const std::string good = encode(CallRequest {2, saleCall()});
    const QByteArray goodBytes(good.data(), qsizetype(good.size()));
    QTest::newRow("length over the limit") << QByteArray("\xff\xff\xff\x7f\x03", 5) << true;
    QTest::newRow("empty payload") << QByteArray("\0\0\0\0", 4) << true;
    QByteArray unknown = goodBytes;
    unknown[4] = 9;
    QTest::newRow("unknown type") << unknown << false;
    QByteArray truncated = goodBytes.left(goodBytes.size() - 3);
    truncated[0] = char(truncated.size() - 4);
    truncated[1] = char((truncated.size() - 4) >> 8);
    QTest::newRow("payload ends inside a text") << truncated << false;
    QByteArray longer = goodBytes + "z";
    longer[0] = char(longer.size() - 4);
    longer[1] = char((longer.size() - 4) >> 8);
    QTest::newRow("bytes left over") << longer << false;
    QByteArray wrongKind = goodBytes;
    wrongKind[11] = 1; // the session number sent as a text
    QTest::newRow("argument of the wrong kind") << wrongKind << false;
    QByteArray function = goodBytes;
    function[9] = char(SatFunctionCount);
    QTest::newRow("no such function") << function << false;
}

void TestDeviceCalls::badFramesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, frameError);
    FrameReader reader;
    reader.append(bytes.constData(), std::size_t(bytes.size()));
    std::string payload;
    const FrameReader::Status status = reader.next(payload);
    if (frameError) {
        QCOMPARE(status, FrameReader::Status::Error);
        QVERIFY(reader.failed());
        return;
    }
    QCOMPARE(status, FrameReader::Status::Frame);
    CallRequest request;
    QVERIFY(!decode(payload, request));
    CallReply reply;
    QVERIFY(!decode(payload, reply));
}

void TestDeviceCalls::callsMatchTheirFunction()
{
    QVERIFY(saleCall().isWellFormed());
    SatCall missing = saleCall();
    missing.arguments.pop_back();
    QVERIFY(!missing.isWellFormed());
    SatCall activation {SatFunction::AtivarSAT,
                        {SatArgument::of(1), SatArgument::of(1), SatArgument::of("c"), SatArgument::of("x"),
                         SatArgument::of(35)}};
    QVERIFY(activation.isWellFormed());
    std::swap(activation.arguments[1], activation.arguments[2]);
    QVERIFY(!activation.isWellFormed());
    QVERIFY(changesDevice(SatFunction::EnviarDadosVenda) && changesDevice(SatFunction::TrocarCodigoDeAtivacao)
            && changesDevice(SatFunction::ConfigurarInterfaceDeRede) && changesDevice(SatFunction::AtualizarSoftwareSAT));
    QVERIFY(!changesDevice(SatFunction::ConsultarSAT) && !changesDevice(SatFunction::ExtrairLogs));
}

void TestDeviceCalls::libraryFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("problem"); // a part of it; empty when usable
    auto elf = [](char elfClass, int type, int machine) {
        QByteArray header("\x7f" "ELF", 4);
        header += elfClass;
        header += char(1);
        header += QByteArray(10, '\0');
        header += char(type);
        header += char(0);
        header += char(machine);
        header += char(0);
        return header + QByteArray(40, '\0');
    };
    QTest::newRow("64-bit library") << elf(2, 3, 62) << 64 << QString();
    QTest::newRow("32-bit library") << elf(1, 3, 3) << 32 << QString();
    QTest::newRow("text") << QByteArray("isto nao e uma biblioteca\n") << 0
                          << QStringLiteral("não é uma biblioteca compartilhada");
    QTest::newRow("empty") << QByteArray() << 0 << QStringLiteral("não é uma biblioteca compartilhada");
    QTest::newRow("Windows DLL") << QByteArray("MZ\x90\0\3\0\0\0", 8) << 0 << QStringLiteral("do Windows");
    QTest::newRow("program") << elf(2, 2, 62) << 64 << QStringLiteral("é um programa");
    QTest::newRow("ARM library") << elf(1, 3, 40) << 32 << QStringLiteral("ARM de 32 bits");
}

void TestDeviceCalls::libraryFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(int, bits);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("lib.so")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    const LibraryFile inspected = inspectLibraryFile(file.fileName());
    QCOMPARE(inspected.bits, bits);
    QCOMPARE(inspected.usable, problem.isEmpty());
    QVERIFY2(inspected.problem.contains(problem), qPrintable(inspected.problem));
    QVERIFY(inspectLibraryFile(dir.filePath(QStringLiteral("sumiu.so"))).problem.contains(QStringLiteral("não existe")));
}

void TestDeviceCalls::loaderMessages_data()
{
    QTest::addColumn<QString>("loader");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing dependency")
        << QStringLiteral("libusb-1.0.so.0: cannot open shared object file: No such file or directory")
        << QStringLiteral("falta a biblioteca libusb-1.0.so.0");
    QTest::newRow("missing dependency, QLibrary's words")
        << QStringLiteral("Cannot load library /opt/x/libsat.so: (libcrypto.so.1.1: cannot open shared object "
                          "file: No such file or directory)")
        << QStringLiteral("falta a biblioteca libcrypto.so.1.1");
    QTest::newRow("missing symbol") << QStringLiteral("/opt/x/libsat.so: undefined symbol: EVP_foo")
                                    << QStringLiteral("precisa do símbolo EVP_foo");
    QTest::newRow("32 bits") << QStringLiteral("/opt/x/libsat.so: wrong ELF class: ELFCLASS32")
                             << QStringLiteral("de 32 bits");
    QTest::newRow("not ELF") << QStringLiteral("/opt/x/libsat.so: invalid ELF header")
                             << QStringLiteral("não é uma biblioteca compartilhada");
    QTest::newRow("anything else") << QStringLiteral("something odd") << QStringLiteral("something odd");
}

void TestDeviceCalls::loaderMessages()
{
    QFETCH(QString, loader);
    QFETCH(QString, expected);
    QVERIFY2(explainLoadError(loader).contains(expected), qPrintable(explainLoadError(loader)));
}

void TestDeviceCalls::hostEnds_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("words");
    QTest::newRow("segmentation fault") << int(QProcess::CrashExit) << SIGSEGV
                                        << QStringLiteral("falha de segmentação (sinal 11)");
    QTest::newRow("abort") << int(QProcess::CrashExit) << SIGABRT << QStringLiteral("abortado (sinal 6)");
    QTest::newRow("other signal") << int(QProcess::CrashExit) << 40 << QStringLiteral("sinal 40");
    QTest::newRow("exit") << int(QProcess::NormalExit) << 3
                          << QStringLiteral("a biblioteca encerrou o processo (código de saída 3)");
}

void TestDeviceCalls::hostEnds()
{
    QFETCH(int, status);
    QFETCH(int, code);
    QFETCH(QString, words);
    QCOMPARE(HostBackend::describeEnd(QProcess::ExitStatus(status), code), words);
}

QTEST_GUILESS_MAIN(TestDeviceCalls)
#include "tst_devicecalls.moc"
