// sat-extrato: writes the extract of a CF-e-SAT as a PDF, for scripts at a point of sale.

#include "cfereceipt.h"
#include "extract.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "sat-extrato: %s\n", message.toLocal8Bit().constData());
}

// Fonts and the PDF writer need a QGuiApplication, but a script runs with no display: the offscreen platform is
// taken whenever the caller did not choose one. A PDF never needs a screen, so this is the default even where a
// display exists; QT_QPA_PLATFORM still overrides it.
void chooseOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The receipt in a file, or why not: a message for the script and exit code 1.
bool readReceipt(const QString& path, satresults::CfeReceipt* receipt)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly)) {
        fail(input.exists() ? QStringLiteral("não foi possível ler o arquivo %1.").arg(path)
                            : QStringLiteral("o arquivo %1 não existe.").arg(path));
        return false;
    }
    const satresults::CfeParseResult parsed = satresults::parseCfeReceipt(input.readAll());
    if (!parsed.ok) {
        fail(QStringLiteral("%1: %2").arg(path, parsed.error));
        return false;
    }
    *receipt = parsed.receipt;
    return true;
}

// Qt's own notices (no runtime folder, no session bus) are not the tool's messages and would drown them in a
// script's log; real failures are reported by the tool itself.
void quietQtNotices(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "sat-extrato: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[])
{
    chooseOffscreenPlatform();
    if (qEnvironmentVariableIsEmpty("SAT_EXTRATO_DEPURAR"))
        qInstallMessageHandler(quietQtNotices);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("sat-extrato"));
    QGuiApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // The parser's own words (usage, unknown option) in Portuguese, like the rest of the tool.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QGuiApplication::installTranslator(&qtTranslator);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Gera o extrato do CF-e-SAT (venda ou cancelamento) em PDF."));
    // --help as well as --ajuda: scripts and people try the usual name first.
    const QCommandLineOption helpOption(
        QStringList {QStringLiteral("h"), QStringLiteral("ajuda"), QStringLiteral("help")},
        QStringLiteral("Mostra esta ajuda."));
    parser.addOption(helpOption);
    const QCommandLineOption output(QStringList {QStringLiteral("o"), QStringLiteral("saida")},
                                    QStringLiteral("Arquivo PDF a gravar."), QStringLiteral("arquivo.pdf"));
    const QCommandLineOption width(QStringLiteral("largura"),
                                   QStringLiteral("Largura do papel em milímetros: 80 (padrão) ou 58."),
                                   QStringLiteral("mm"), QStringLiteral("80"));
    const QCommandLineOption cancellation(
        QStringLiteral("cancelamento"),
        QStringLiteral("O CF-e de cancelamento da venda: o extrato sai marcado CANCELADO, com a chave e a hora dele."),
        QStringLiteral("CFeCanc.xml"));
    parser.addOption(output);
    parser.addOption(width);
    parser.addOption(cancellation);
    parser.addPositionalArgument(QStringLiteral("CFe.xml"), QStringLiteral("O CF-e emitido pelo SAT."));
    const QString usage
        = QStringLiteral("uso: sat-extrato CFe.xml -o extrato.pdf [--largura 58|80] [--cancelamento CFeCanc.xml]");

    if (!parser.parse(QGuiApplication::arguments())) {
        fail(QStringLiteral("%1\n%2").arg(parser.errorText(), usage));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        std::fputs("\n", stdout);
        return 0;
    }
    const QStringList inputs = parser.positionalArguments();
    if (inputs.size() != 1 || !parser.isSet(output) || parser.value(output).isEmpty()) {
        fail(inputs.size() > 1 ? QStringLiteral("informe um único CF-e.\n%1").arg(usage) : usage);
        return 2;
    }
    bool numeric = false;
    const int widthMm = parser.value(width).toInt(&numeric);
    if (!numeric || !satresults::isSupportedPaperWidth(widthMm)) {
        fail(QStringLiteral("largura de papel inválida: \"%1\" (use 58 ou 80).").arg(parser.value(width)));
        return 2;
    }

    if (parser.isSet(cancellation) && parser.value(cancellation).isEmpty()) {
        fail(QStringLiteral("informe o arquivo do cancelamento.\n%1").arg(usage));
        return 2;
    }

    satresults::CfeReceipt receipt;
    if (!readReceipt(inputs.first(), &receipt))
        return 1;
    std::optional<satresults::SaleCancellation> cancelled;
    if (parser.isSet(cancellation)) {
        satresults::CfeReceipt cancelling;
        if (!readReceipt(parser.value(cancellation), &cancelling))
            return 1;
        QString why;
        cancelled = satresults::saleCancellation(receipt, cancelling, &why);
        if (!cancelled) {
            fail(QStringLiteral("%1 não cancela %2: %3").arg(parser.value(cancellation), inputs.first(), why));
            return 1;
        }
    }
    QString error;
    if (!satresults::writeExtractPdf(satresults::Extract(receipt, widthMm, cancelled), parser.value(output), &error)) {
        fail(error);
        return 1;
    }
    return 0;
}
