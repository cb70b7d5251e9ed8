// The extract as a user gets it: PDF pages rasterised by poppler and read back by zbar, the printed path, the
// on-screen image, and the layout's lines.
#include "barcode.h"
#include "cfeformat.h"
#include "cfereceipt.h"
#include "extract.h"
#include "extractbatch.h"
#include "issuedreceipts.h"

#include <QPrinter>
#include <QtTest>

using namespace satresults;

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(RESULTS_DATA_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Run {
    int exitCode = -1;
    QString out;
    QString errors;
};

Run run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    // ImageMagick (zbarimg's image reader) on one thread: the runs share two cores with the rest of the suite.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MAGICK_THREAD_LIMIT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("OMP_NUM_THREADS"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        qWarning("%s did not finish: %s", qPrintable(program), qPrintable(process.errorString()));
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

// Every symbol zbar finds on every page, as "CODE-128:..." and "QR-Code:..." lines.
QStringList decodeImages(const QStringList& images)
{
    const Run zbar = run(QStringLiteral("zbarimg"), QStringList {QStringLiteral("-q")} + images);
    if (zbar.exitCode != 0)
        qWarning("zbarimg %s: exit %d: %s", qPrintable(images.join(u' ')), zbar.exitCode, qPrintable(zbar.errors));
    return zbar.out.split(u'\n', Qt::SkipEmptyParts);
}

QStringList rasterise(const QString& pdf, const QString& prefix)
{
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("200"), pdf, prefix});
    const QFileInfo info(prefix);
    QStringList pages;
    for (const QString& name :
         QDir(info.path()).entryList({info.fileName() + QStringLiteral("*.png")}, QDir::Files, QDir::Name))
        pages << info.path() + u'/' + name;
    return pages;
}

QStringList symbols(const QStringList& decoded, const QString& type)
{
    QStringList out;
    for (const QString& line : decoded)
        if (line.startsWith(type + u':'))
            out << line.mid(type.size() + 1);
    out.sort();
    return out;
}

// Page sizes in points, from pdfinfo.
QList<QSizeF> pageSizes(const QString& pdf)
{
    const Run info
        = run(QStringLiteral("pdfinfo"),
              {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1000"), pdf});
    QList<QSizeF> sizes;
    static const QRegularExpression size(QStringLiteral(R"(Page\s+\d+\s+size:\s+([\d.]+) x ([\d.]+) pts)"));
    for (auto it = size.globalMatch(info.out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        sizes << QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return sizes;
}

double pointsToMm(double points)
{
    return points * 25.4 / 72.0;
}

int indexOf(const QStringList& lines, const QString& text, int from = 0)
{
    for (int i = from; i < lines.size(); ++i)
        if (lines.at(i).contains(text))
            return i;
    return -1;
}

QString keyPattern(const QString& key)
{
    return formatKey(key).split(u' ').join(QStringLiteral("\\s+"));
}

// The sentence the tax authority asks for under the QR code, word for word.
const QString kQrCodeNote = QString::fromUtf8("Consulte o QR Code pelo aplicativo \"De olho na nota\", disponível "
                                              "na AppStore (Apple) e PlayStore (Android)");

QString singleSpaced(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

const QString kCancelledMark = QStringLiteral("*** CANCELADO ***");

// A batch into pdf, through a print job on a PDF printer or through the PDF writer; the source cannot read the
// entry unreadable.
BatchOutcome runBatch(bool printed, const QList<ExtractEntry>& entries, int width, const QString& pdf,
                      const BatchControl& control, QString* error, qsizetype unreadable = -1)
{
    const ExtractSource source = [&](qsizetype index, ExtractEntry* entry, QString* why) {
        if (index == unreadable) {
            *why = QStringLiteral("registro ilegível");
            return false;
        }
        *entry = entries.at(index);
        return true;
    };
    if (!printed)
        return writeExtractsPdf(entries.size(), source, width, pdf, control, error);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return printExtracts(entries.size(), source, width, &printer, control, error);
}

// A data row's tag as a file name.
QString fileNameOf(const char* tag)
{
    return QString::fromUtf8(tag).replace(QRegularExpression(QStringLiteral("[^\\w-]+")), QStringLiteral("_"));
}

// The text layer of a PDF, or of one of its pages.
QString pdfText(const QString& pdf, int page = 0)
{
    QStringList arguments {QStringLiteral("-layout")};
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    return run(QStringLiteral("pdftotext"), arguments << pdf << QStringLiteral("-")).out;
}

} // namespace

class TestExtract : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void pdfReadsBack_data();
    void pdfReadsBack();
    void printedPdfReadsBack();
    void screenImageReadsBack_data();
    void screenImageReadsBack();
    void longExtractSpreadsOverPages();
    void pdfCarriesTheQrCodeNote_data();
    void pdfCarriesTheQrCodeNote();
    void qrCodeNoteFollowsTheState_data();
    void qrCodeNoteFollowsTheState();
    void batchHasAPagePerReceipt_data();
    void batchHasAPagePerReceipt();
    void interruptedBatchLeavesNothing_data();
    void interruptedBatchLeavesNothing();

    void code128InSubsetC();
    void linesFitThePaper_data();
    void linesFitThePaper();
    void saleContentInOrder();
    void cancellationContentInOrder();
    void testEnvironmentMarked();
    void missingFieldsLeaveTheirLinesOut();
    void textFieldsShownAsCarried();
    void onlyAsciiKeysGetABarcode();
    void qrCodeNoteUnderTheCode_data();
    void qrCodeNoteUnderTheCode();
    void sizeFollowsContent();
    void unwritablePdf_data();
    void unwritablePdf();
    void printerRefusingAPageFails();

private:
    bool toolsPresent() const;
    CfeReceipt receipt(const QString& name) const;
    // The two-item sale with the cancellation the device issued for it.
    std::optional<SaleCancellation> saleCancelled() const;
    QList<ExtractEntry> batch() const;

    QTemporaryDir m_dir;
    QHash<QString, QByteArray> m_receipts;
};

bool TestExtract::toolsPresent() const
{
    for (const char* tool : {"zbarimg", "pdftoppm", "pdftotext", "pdfinfo"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return false;
    return true;
}

CfeReceipt TestExtract::receipt(const QString& name) const
{
    const CfeParseResult parsed = parseCfeReceipt(m_receipts.value(name));
    if (!parsed.ok)
        qWarning("%s: %s", qPrintable(name), qPrintable(parsed.error));
    return parsed.receipt;
}

std::optional<SaleCancellation> TestExtract::saleCancelled() const
{
    return saleCancellation(receipt(QStringLiteral("two items")), receipt(QStringLiteral("cancellation")));
}

// Receipts of each kind, the cancelled sale second.
QList<ExtractEntry> TestExtract::batch() const
{
    QList<ExtractEntry> entries;
    for (const char* name : {"one item", "two items", "cancellation", "end-to-end", "full layout"})
        entries.append({receipt(QLatin1String(name)), std::nullopt});
    entries[1].cancelled = saleCancelled();
    return entries;
}

void TestExtract::initTestCase()
{
    QVERIFY(m_dir.isValid());
    IssuedReceipts device;
    QVERIFY(device.ready());
    m_receipts[QStringLiteral("one item")] = device.sell(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).xml;
    m_receipts[QStringLiteral("two items")] = device.sell(QStringLiteral(SAT_EXAMPLES_DIR "/venda-dois-itens.xml")).xml;
    m_receipts[QStringLiteral("cancellation")] = device.cancelLast().xml;
    m_receipts[QStringLiteral("end-to-end")] = device.endToEnd(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).xml;
    m_receipts[QStringLiteral("full layout")] = fixture("cfe-completo.xml");
    m_receipts[QStringLiteral("minimal")] = fixture("cfe-minimo.xml");
    for (const auto& [state, name] : {std::pair {23, "sale of Ceará"}, std::pair {33, "sale of Rio de Janeiro"}}) {
        IssuedReceipts elsewhere(state);
        QVERIFY(elsewhere.ready());
        m_receipts[QString::fromUtf8(name)] = elsewhere.sell(QStringLiteral(SAT_EXAMPLES_DIR "/venda.xml")).xml;
    }
    for (auto it = m_receipts.cbegin(); it != m_receipts.cend(); ++it)
        QVERIFY2(parseCfeReceipt(it.value()).ok, qPrintable(it.key()));
}

void TestExtract::pdfReadsBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("cancelled"); // given its cancellation
    for (const char* name :
         {"one item", "two items", "cancellation", "end-to-end", "full layout", "minimal", "sale of Ceará"})
        for (int width : {80, 58})
            QTest::addRow("%s, %d mm", name, width) << QString::fromUtf8(name) << width << false;
    for (int width : {80, 58})
        QTest::addRow("two items cancelled, %d mm", width) << QStringLiteral("two items") << width << true;
}

// The Code 128 reads the key, the QR code reads exactly its text, and the text layer has what a reader looks for; a
// cancelled sale says so at its head and its foot, with the cancellation's key and time, and still scans.
void TestExtract::pdfReadsBack()
{
    if (!toolsPresent())
        QSKIP("zbarimg, pdftoppm, pdftotext or pdfinfo missing (packages zbar-tools and poppler-utils)");
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(bool, cancelled);
    const CfeReceipt r = receipt(name);
    const std::optional<SaleCancellation> cancellation = cancelled ? saleCancelled() : std::nullopt;
    QCOMPARE(cancellation.has_value(), cancelled);
    const Extract extract(r, width, cancellation);
    const QString base
        = m_dir.filePath(QStringLiteral("%1-%2-%3").arg(name).arg(width).arg(cancelled).replace(u' ', u'_'));
    QString error;
    QVERIFY2(writeExtractPdf(extract, base + QStringLiteral(".pdf"), &error), qPrintable(error));

    const QStringList decoded = decodeImages(rasterise(base + QStringLiteral(".pdf"), base));
    QStringList keys {r.key};
    if (r.kind == CfeReceipt::Kind::Cancellation)
        keys << r.cancelledKey;
    keys.sort();
    QCOMPARE(symbols(decoded, QStringLiteral("CODE-128")), keys);
    QCOMPARE(symbols(decoded, QStringLiteral("QR-Code")), QStringList {qrCodeText(r)});

    // -layout keeps each amount on its label's line, as on the paper.
    const QString text = run(QStringLiteral("pdftotext"),
                             {QStringLiteral("-layout"), base + QStringLiteral(".pdf"), QStringLiteral("-")})
                             .out;
    QVERIFY2(text.contains(QRegularExpression(keyPattern(r.key))), qPrintable(text));
    QVERIFY(text.contains(
        QRegularExpression(QStringLiteral("TOTAL R\\$\\s+") + QRegularExpression::escape(formatMoney(r.total)))));
    QVERIFY(text.contains(QStringLiteral("Extrato No. ") + formatExtractNumber(r.number)));
    QCOMPARE(text.contains(QLatin1String("AMBIENTE DE TESTES")), r.testEnvironment);
    QCOMPARE(text.count(kCancelledMark), cancelled ? 2 : 0);
    if (cancelled) {
        QVERIFY2(text.contains(QRegularExpression(keyPattern(cancellation->key))), qPrintable(text));
        QVERIFY(singleSpaced(text).contains(QStringLiteral("Venda cancelada em ")
                                            + formatDateTime(cancellation->date, cancellation->time)));
    }

    const QList<QSizeF> pages = pageSizes(base + QStringLiteral(".pdf"));
    QCOMPARE(pages.size(), 1);
    QVERIFY(qAbs(pointsToMm(pages.first().width()) - width) < 0.2);
    QVERIFY(qAbs(pointsToMm(pages.first().height()) - extract.sizeMm().height()) < 0.2);
}

// The printing path sets up its own page; a PDF printer stands in for the shop's printer.
void TestExtract::printedPdfReadsBack()
{
    if (!toolsPresent())
        QSKIP("zbarimg, pdftoppm, pdftotext or pdfinfo missing (packages zbar-tools and poppler-utils)");
    const CfeReceipt r = receipt(QStringLiteral("two items"));
    for (int width : {80, 58}) {
        const QString base = m_dir.filePath(QStringLiteral("printed-%1").arg(width));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(base + QStringLiteral(".pdf"));
        QString error;
        QVERIFY2(printExtract(r, width, &printer, &error), qPrintable(error));
        const QList<QSizeF> pages = pageSizes(base + QStringLiteral(".pdf"));
        QCOMPARE(pages.size(), 1);
        QVERIFY(qAbs(pointsToMm(pages.first().width()) - width) < 0.5);
        QVERIFY(qAbs(pointsToMm(pages.first().height()) - Extract(r, width).sizeMm().height()) < 0.5);
        const QStringList decoded = decodeImages(rasterise(base + QStringLiteral(".pdf"), base));
        QCOMPARE(symbols(decoded, QStringLiteral("CODE-128")), QStringList {r.key});
        QCOMPARE(symbols(decoded, QStringLiteral("QR-Code")), QStringList {qrCodeText(r)});
    }
}

void TestExtract::screenImageReadsBack_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("dpi");
    // At 96 dpi a Code 128 module across 80 mm paper is under one pixel: only the QR code is required there.
    QTest::addColumn<bool>("barcodeDrawable");
    QTest::newRow("80 mm at 200 dpi") << 80 << 200 << true;
    QTest::newRow("58 mm at 200 dpi") << 58 << 200 << true;
    QTest::newRow("80 mm at 192 dpi, the window on a 96-dpi screen") << 80 << 192 << true;
    QTest::newRow("80 mm at 96 dpi") << 80 << 96 << false;
}

void TestExtract::screenImageReadsBack()
{
    if (!toolsPresent())
        QSKIP("zbarimg missing (package zbar-tools)");
    QFETCH(int, width);
    QFETCH(int, dpi);
    QFETCH(bool, barcodeDrawable);
    const CfeReceipt r = receipt(QStringLiteral("two items"));
    const QImage image = renderExtract(r, width, dpi);
    const QSizeF mm = Extract(r, width).sizeMm();
    QCOMPARE(image.width(), int(std::ceil(mm.width() / 25.4 * dpi)));
    QCOMPARE(image.height(), int(std::ceil(mm.height() / 25.4 * dpi)));
    const QString path = m_dir.filePath(QStringLiteral("screen-%1-%2.png").arg(width).arg(dpi));
    QVERIFY(image.save(path));
    const QStringList decoded = decodeImages({path});
    if (barcodeDrawable)
        QCOMPARE(symbols(decoded, QStringLiteral("CODE-128")), QStringList {r.key});
    QCOMPARE(symbols(decoded, QStringLiteral("QR-Code")), QStringList {qrCodeText(r)});
}

// PDF readers refuse pages over 200 inches: a receipt of thousands of items spans pages, ending with the symbols.
void TestExtract::longExtractSpreadsOverPages()
{
    if (!toolsPresent())
        QSKIP("pdfinfo or zbarimg missing (packages poppler-utils and zbar-tools)");
    CfeReceipt r = receipt(QStringLiteral("two items"));
    const CfeItem item = r.items.first();
    for (int i = 0; i < 2000; ++i)
        r.items.append(item);
    const QString base = m_dir.filePath(QStringLiteral("long"));
    QString error;
    QVERIFY2(writeExtractPdf(r, 80, base + QStringLiteral(".pdf"), &error), qPrintable(error));
    const QList<QSizeF> pages = pageSizes(base + QStringLiteral(".pdf"));
    QVERIFY(pages.size() >= 2);
    double total = 0;
    for (const QSizeF& page : pages) {
        QVERIFY(pointsToMm(page.height()) <= 5000.5);
        total += pointsToMm(page.height());
    }
    QVERIFY(qAbs(total - Extract(r, 80).sizeMm().height()) < 1);
    // The printing path cuts its pages the same way.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(base + QStringLiteral("-impresso.pdf"));
    QVERIFY2(printExtract(r, 80, &printer, &error), qPrintable(error));
    const QList<QSizeF> printed = pageSizes(base + QStringLiteral("-impresso.pdf"));
    QCOMPARE(printed.size(), pages.size());
    for (const QSizeF& page : printed)
        QVERIFY(pointsToMm(page.height()) <= 5000.5);

    const QString last = QString::number(pages.size());
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"), last,
         QStringLiteral("-l"), last, base + QStringLiteral(".pdf"), base});
    const QStringList images = QDir(m_dir.path()).entryList({QStringLiteral("long-*.png")});
    QCOMPARE(images.size(), 1);
    QCOMPARE(symbols(decodeImages({m_dir.filePath(images.first())}), QStringLiteral("QR-Code")),
             QStringList {qrCodeText(r)});
}

void TestExtract::pdfCarriesTheQrCodeNote_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    for (const char* name : {"one item", "cancellation"})
        for (int width : {80, 58})
            QTest::addRow("%s, %d mm", name, width) << QString::fromLatin1(name) << width;
}

// Once per QR code, after the receipt's own key, whole although the paper wraps it.
void TestExtract::pdfCarriesTheQrCodeNote()
{
    if (!toolsPresent())
        QSKIP("pdftotext missing (package poppler-utils)");
    QFETCH(QString, name);
    QFETCH(int, width);
    const CfeReceipt r = receipt(name);
    const QString pdf = m_dir.filePath(QStringLiteral("nota-%1-%2.pdf").arg(name).arg(width).replace(u' ', u'_'));
    QString error;
    QVERIFY2(writeExtractPdf(r, width, pdf, &error), qPrintable(error));
    const QString text = singleSpaced(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).out);
    QCOMPARE(text.count(kQrCodeNote), 1);
    const int key
        = text.indexOf(QRegularExpression(keyPattern(r.key).replace(QStringLiteral("\\s+"), QStringLiteral(" "))));
    QVERIFY2(key >= 0, qPrintable(text));
    QVERIFY(text.indexOf(kQrCodeNote) > key);
}

void TestExtract::qrCodeNoteFollowsTheState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ideState"); // ide/cUF as the receipt is given; "-" keeps the device's
    QTest::addColumn<bool>("saoPaulosNote");
    QTest::newRow("São Paulo, 35") << "one item"
                                   << "-" << true;
    QTest::newRow("Ceará, 23: its documents give no sentence") << "sale of Ceará"
                                                               << "-" << false;
    QTest::newRow("Rio de Janeiro, 33") << "sale of Rio de Janeiro"
                                        << "-" << false;
    QTest::newRow("key of 35, ide/cUF of 23") << "one item"
                                              << "23" << false;
    QTest::newRow("key of 23, ide/cUF of 35") << "sale of Ceará"
                                              << "35" << false;
    QTest::newRow("key of 35, no ide/cUF") << "one item"
                                           << "" << true;
}

// São Paulo's app is named on São Paulo's receipts only, as the key and ide/cUF both say.
void TestExtract::qrCodeNoteFollowsTheState()
{
    if (!toolsPresent())
        QSKIP("pdftotext missing (package poppler-utils)");
    QFETCH(QString, name);
    QFETCH(QString, ideState);
    QFETCH(bool, saoPaulosNote);
    CfeReceipt r = receipt(name);
    QCOMPARE(r.stateCode, r.key.left(2));
    if (ideState != u"-")
        r.stateCode = ideState;
    const QString pdf = m_dir.filePath(QStringLiteral("estado-%1.pdf").arg(fileNameOf(QTest::currentDataTag())));
    QString error;
    QVERIFY2(writeExtractPdf(r, 80, pdf, &error), qPrintable(error));
    const QString text = singleSpaced(pdfText(pdf));
    QVERIFY2(text.contains(QRegularExpression(keyPattern(r.key).replace(QStringLiteral("\\s+"), QStringLiteral(" ")))),
             qPrintable(text));
    QCOMPARE(text.count(kQrCodeNote), saoPaulosNote ? 1 : 0);
    QCOMPARE(text.contains(QLatin1String("De olho na nota")), saoPaulosNote);
}

void TestExtract::batchHasAPagePerReceipt_data()
{
    QTest::addColumn<bool>("printed"); // through a print job on a PDF printer, else the PDF writer
    QTest::newRow("one PDF") << false;
    QTest::newRow("one print job") << true;
}

// Each receipt on a page of its own, in order, of its own height; the cancelled sale alone marked.
void TestExtract::batchHasAPagePerReceipt()
{
    if (!toolsPresent())
        QSKIP("pdfinfo or pdftotext missing (package poppler-utils)");
    QFETCH(bool, printed);
    const QList<ExtractEntry> entries = batch();
    const QString pdf = m_dir.filePath(QStringLiteral("lote-%1.pdf").arg(printed));
    QList<QPair<qsizetype, qsizetype>> steps;
    BatchControl control;
    control.progress = [&steps](qsizetype done, qsizetype total) { steps.append({done, total}); };
    QString error;
    const BatchOutcome outcome = runBatch(printed, entries, 58, pdf, control, &error);
    QVERIFY2(outcome == BatchOutcome::Done, qPrintable(error));
    const qsizetype total = printed ? 2 * entries.size() : entries.size();
    QCOMPARE(steps.size(), total);
    for (qsizetype i = 0; i < total; ++i)
        QCOMPARE(steps.at(i), qMakePair(i + 1, total));

    const QList<QSizeF> pages = pageSizes(pdf);
    QCOMPARE(pages.size(), entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const Extract expected(entries.at(i).receipt, 58, entries.at(i).cancelled);
        QVERIFY(qAbs(pointsToMm(pages.at(i).width()) - 58) < 0.5);
        QVERIFY(qAbs(pointsToMm(pages.at(i).height()) - expected.sizeMm().height()) < 0.5);
        const QString text = pdfText(pdf, i + 1);
        QVERIFY2(text.contains(QRegularExpression(keyPattern(entries.at(i).receipt.key))), qPrintable(text));
        QCOMPARE(text.count(kCancelledMark), entries.at(i).cancelled ? 2 : 0);
    }
}

void TestExtract::interruptedBatchLeavesNothing_data()
{
    QTest::addColumn<bool>("printed");
    QTest::addColumn<int>("cancelAfter"); // the progress step after which the user cancels; 0: never
    QTest::addColumn<int>("unreadable"); // the entry the source cannot read; -1: none
    QTest::addColumn<int>("count"); // entries given
    QTest::addColumn<BatchOutcome>("outcome");
    QTest::addColumn<int>("pages"); // in what is left at the path; 0: nothing new there
    QTest::newRow("PDF cancelled midway") << false << 2 << -1 << 5 << BatchOutcome::Cancelled << 0;
    QTest::newRow("PDF cancelled at its last step") << false << 5 << -1 << 5 << BatchOutcome::Cancelled << 0;
    QTest::newRow("PDF with an unreadable receipt") << false << 0 << 3 << 5 << BatchOutcome::Failed << 0;
    QTest::newRow("PDF of nothing") << false << 0 << -1 << 0 << BatchOutcome::Failed << 0;
    QTest::newRow("print cancelled while laid out") << true << 4 << -1 << 5 << BatchOutcome::Cancelled << 0;
    QTest::newRow("print with an unreadable receipt") << true << 0 << 3 << 5 << BatchOutcome::Failed << 0;
    // A PDF printer cannot take back a job it has begun: it ends whole, never half.
    QTest::newRow("print cancelled once begun") << true << 6 << -1 << 5 << BatchOutcome::Done << 5;
}

void TestExtract::interruptedBatchLeavesNothing()
{
    if (!toolsPresent())
        QSKIP("pdfinfo missing (package poppler-utils)");
    QFETCH(bool, printed);
    QFETCH(int, cancelAfter);
    QFETCH(int, unreadable);
    QFETCH(int, count);
    QFETCH(BatchOutcome, outcome);
    QFETCH(int, pages);
    const QList<ExtractEntry> entries = batch();
    std::atomic_bool cancel = false;
    BatchControl control;
    control.cancel = &cancel;
    control.progress = [&](qsizetype done, qsizetype) { cancel = cancel || done == cancelAfter; };

    const QString pdf = m_dir.filePath(QStringLiteral("interrompido-%1.pdf").arg(fileNameOf(QTest::currentDataTag())));
    QFile previous(pdf);
    if (!printed) {
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("extrato anterior");
        previous.close();
    }
    QString error;
    QCOMPARE(runBatch(printed, entries.mid(0, count), 80, pdf, control, &error, unreadable), outcome);
    if (outcome == BatchOutcome::Failed)
        QVERIFY2(
            error.contains(unreadable >= 0 ? QStringLiteral("registro ilegível") : QStringLiteral("Nenhum extrato")),
            qPrintable(error));
    if (pages > 0) {
        QCOMPARE(pageSizes(pdf).size(), pages);
    } else if (printed) {
        QVERIFY(!QFile::exists(pdf));
    } else {
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), QByteArray("extrato anterior"));
    }
    // No temporary file of the save is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({QFileInfo(pdf).fileName() + u'*'}, QDir::Files).size(),
             printed && pages == 0 ? 0 : 1);
}

// Subset C packs two digits per symbol: start, 22 symbols, check and stop make 277 modules; subset B would
// need 519 and would not fit the paper at a readable module.
void TestExtract::code128InSubsetC()
{
    const QString key = receipt(QStringLiteral("two items")).key;
    const BarcodeSymbol code = encodeCode128(key, 50);
    QVERIFY2(code.valid, qPrintable(code.error));
    QCOMPARE(code.width, 277.0);
    for (const QRectF& bar : code.bars)
        QVERIFY(bar.left() >= 0 && bar.right() <= code.width);
    const BarcodeSymbol qr = encodeQrCode(qrCodeText(receipt(QStringLiteral("two items"))));
    QVERIFY2(qr.valid, qPrintable(qr.error));
    QCOMPARE(qr.width, qr.height);
    QVERIFY(!encodeQrCode(QString(8000, u'x')).valid);

    // Such a receipt still shows, with its reason in place of the symbol.
    CfeReceipt r = receipt(QStringLiteral("two items"));
    r.qrCodeSignature = QString(8000, u'A');
    QVERIFY(indexOf(Extract(r, 80).textLines(), QStringLiteral("QR Code indisponível")) >= 0);
}

void TestExtract::linesFitThePaper_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    for (const char* name : {"two items", "cancellation", "full layout"}) {
        QTest::addRow("%s, 80 mm", name) << QString::fromLatin1(name) << 80 << 48;
        QTest::addRow("%s, 58 mm", name) << QString::fromLatin1(name) << 58 << 32;
    }
}

// The character grid is what keeps columns aligned: no line may run past it.
void TestExtract::linesFitThePaper()
{
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(int, columns);
    const Extract extract(receipt(name), width);
    const QStringList lines = extract.textLines();
    QVERIFY(lines.size() > 10);
    for (const QString& line : lines) {
        QVERIFY2(line.size() <= columns, qPrintable(line));
        for (QChar c : line)
            QVERIFY2(c.category() != QChar::Other_Control, qPrintable(line));
    }
    // Amounts close their lines at the right edge.
    const int total = indexOf(lines, QStringLiteral("TOTAL R$"));
    QVERIFY(total >= 0);
    QCOMPARE(lines.at(total).size(), columns);
}

void TestExtract::saleContentInOrder()
{
    const QStringList lines = Extract(receipt(QStringLiteral("two items")), 80).textLines();
    int at = 0;
    for (const char* expected :
         {"CONTRIBUINTE DO EMULADOR SAT", "CNPJ 44.555.666/0001-81 IE 111111111111", "Extrato No. 000002",
          "CUPOM FISCAL ELETRÔNICO - SAT", "CPF/CNPJ do Consumidor: 123.456.789-09", "# COD DESC QTD UN VL UN R$",
          "001 0001 Cafe torrado 500 g", "3,0000 un X 4,50", "desconto sobre item", "002 0002 Pao de forma",
          "Total bruto de itens", "Desconto sobre subtotal", "TOTAL R$", "Dinheiro", "Cartão de Crédito", "Troco R$",
          "SAT No. 900.000.001", "15/03/2024 - 10:30:00", "3524 0344 5556 6600 0181 5990"}) {
        const int found = indexOf(lines, QString::fromUtf8(expected), at);
        QVERIFY2(found >= 0, expected);
        at = found + 1;
    }
    QVERIFY(lines.at(indexOf(lines, QStringLiteral("3,0000 un X 4,50"))).endsWith(QLatin1String(" 13,50")));
    QVERIFY(lines.at(indexOf(lines, QStringLiteral("desconto sobre item"))).endsWith(QLatin1String(" -1,00")));
    QVERIFY(lines.at(indexOf(lines, QStringLiteral("Desconto sobre subtotal"))).endsWith(QLatin1String(" -0,50")));
    QVERIFY(lines.at(indexOf(lines, QStringLiteral("TOTAL R$"))).endsWith(QLatin1String(" 17,50")));
    QVERIFY(lines.at(indexOf(lines, QStringLiteral("Troco R$"))).endsWith(QLatin1String(" 2,50")));
    QCOMPARE(indexOf(lines, QStringLiteral("CANCELAMENTO")), -1);
}

void TestExtract::cancellationContentInOrder()
{
    const CfeReceipt r = receipt(QStringLiteral("cancellation"));
    const QStringList lines = Extract(r, 80).textLines();
    const QString cancelledKeyStart = formatKey(r.cancelledKey).left(29);
    const QString ownKeyStart = formatKey(r.key).left(29);
    int at = 0;
    for (const QString& expected :
         {QStringLiteral("Extrato No. 000003"), QStringLiteral("CUPOM FISCAL ELETRÔNICO - SAT CANCELAMENTO"),
          QStringLiteral("DADOS DO CUPOM FISCAL ELETRÔNICO CANCELADO"), QStringLiteral("CPF/CNPJ do Consumidor"),
          QStringLiteral("TOTAL R$"), QStringLiteral("SAT No. 900.000.001"), cancelledKeyStart,
          QStringLiteral("DADOS DO CUPOM FISCAL ELETRÔNICO DE CANCELAMENTO"), QStringLiteral("SAT No. 900.000.001"),
          ownKeyStart}) {
        const int found = indexOf(lines, expected, at);
        QVERIFY2(found >= 0, qPrintable(expected));
        at = found + 1;
    }
    // Both keys share their first groups (same device, month and issuer): the last groups tell them apart.
    QVERIFY(indexOf(lines, formatKey(r.cancelledKey).right(14)) < indexOf(lines, formatKey(r.key).right(14)));
    // A cancellation's own extract says what it is; a cancellation cannot be marked cancelled.
    QVERIFY(!Extract(r, 80, saleCancelled()).markedCancelled());
    QCOMPARE(Extract(r, 80, saleCancelled()).textLines(), lines);
}

void TestExtract::testEnvironmentMarked()
{
    for (const char* name : {"one item", "cancellation", "end-to-end"}) {
        const QStringList lines = Extract(receipt(QLatin1String(name)), 58).textLines();
        // At the head and again beside the footer's identification, so no part of the paper passes for fiscal.
        QVERIFY2(lines.filter(QStringLiteral("*** AMBIENTE DE TESTES ***")).size() >= 2, name);
        QVERIFY2(lines.filter(QStringLiteral("DOCUMENTO SEM VALOR FISCAL")).size() >= 2, name);
        QVERIFY(lines.first().contains(QLatin1String("AMBIENTE DE TESTES")));
    }
    const QStringList production = Extract(receipt(QStringLiteral("full layout")), 58).textLines();
    QVERIFY(production.filter(QStringLiteral("AMBIENTE DE TESTES")).isEmpty());
    QVERIFY(production.filter(QStringLiteral("SEM VALOR FISCAL")).isEmpty());
}

void TestExtract::missingFieldsLeaveTheirLinesOut()
{
    const QString all = Extract(receipt(QStringLiteral("minimal")), 80).textLines().join(u'\n');
    for (const char* absent : {"CPF/CNPJ do Consumidor", "Razão Social", "Troco", "OBSERVAÇÕES", "IE ", "IM ", "CEP",
                               "Desconto", "desconto", "Valor aproximado", "Dinheiro", "Total bruto"})
        QVERIFY2(!all.contains(QString::fromUtf8(absent)), absent);
    QVERIFY(all.contains(QLatin1String("CONTRIBUINTE")));
    QVERIFY(all.contains(QRegularExpression(QStringLiteral("TOTAL R\\$ +5,00"))));

    // The full layout has each of them.
    const QString full = Extract(receipt(QStringLiteral("full layout")), 80).textLines().join(u'\n');
    for (const char* present :
         {"PADARIA BOM DIA", "PADARIA & CONFEITARIA BOM DIA LTDA", "RUA DAS ACACIAS, 1500, LOJA 2",
          "JARDIM PAULISTA - SAO PAULO - CEP 01415-002", "CPF/CNPJ do Consumidor: 11.222.333/0001-81",
          "Razão Social/Nome: EMPRESA COMPRADORA <FILIAL>", "rateio de desconto sobre subtotal", "acréscimo sobre item",
          "1.234.567,38", "OBSERVAÇÕES DO CONTRIBUINTE", "Volte sempre!\nPedido 4521 - mesa 7", "12,40"})
        QVERIFY2(full.contains(QString::fromUtf8(present)), present);
    // A zero apportioned increase is not worth a line; the unknown payment code is shown as it is.
    QVERIFY(!full.contains(QLatin1String("+0,00")));
    QVERIFY(full.contains(QRegularExpression(QStringLiteral("\n07 +1.234.567,38\n"))));
}

void TestExtract::textFieldsShownAsCarried()
{
    CfeReceipt r = receipt(QStringLiteral("minimal"));
    r.items[0].description = QStringLiteral("<b>Caf&eacute;</b>\tcom\rleite");
    r.notes = QStringLiteral("linha 1\nlinha 2\x0b");
    r.change = QStringLiteral("1\n2");
    const QStringList lines = Extract(r, 80).textLines();
    for (const QString& line : lines)
        for (QChar c : line)
            QVERIFY2(c.category() != QChar::Other_Control, qPrintable(line));
    QVERIFY(lines.at(indexOf(lines, QStringLiteral("Troco R$"))).endsWith(QLatin1String(" 1 2")));
    QVERIFY(indexOf(lines, QStringLiteral("<b>Caf&eacute;</b> com leite")) >= 0);
    QVERIFY(indexOf(lines, QStringLiteral("linha 1")) + 1 == indexOf(lines, QStringLiteral("linha 2")));
}

// Digits of another script pass QChar::isDigit() but are no key: such a key gets no barcode of question marks.
void TestExtract::onlyAsciiKeysGetABarcode()
{
    CfeReceipt r = receipt(QStringLiteral("cancellation"));
    const double withBarcode = Extract(r, 80).sizeMm().height();
    r.cancelledKey = QString(44, QChar(0x0663)); // ARABIC-INDIC DIGIT THREE
    QVERIFY(Extract(r, 80).sizeMm().height() < withBarcode - 5);
}

void TestExtract::qrCodeNoteUnderTheCode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("columns");
    for (const char* name : {"one item", "two items", "cancellation", "end-to-end", "full layout", "minimal"}) {
        QTest::addRow("%s, 80 mm", name) << QString::fromLatin1(name) << 80 << 48;
        QTest::addRow("%s, 58 mm", name) << QString::fromLatin1(name) << 58 << 32;
    }
}

// The QR code closes the extract: the note is its last lines, wrapped on words to the paper's columns.
void TestExtract::qrCodeNoteUnderTheCode()
{
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(int, columns);
    CfeReceipt r = receipt(name);
    const QStringList lines = Extract(r, width).textLines();
    const int first = indexOf(lines, QStringLiteral("Consulte o QR Code"));
    QVERIFY(first > 0);
    QVERIFY2(lines.at(first - 1).contains(formatKey(r.key).right(4)), qPrintable(lines.at(first - 1)));
    QStringList note = lines.mid(first);
    QVERIFY(note.size() >= 2);
    for (const QString& line : note)
        QVERIFY2(line.size() <= columns, qPrintable(line));
    for (QString& line : note)
        line = line.trimmed();
    QCOMPARE(note.join(u' '), kQrCodeNote);
    QCOMPARE(lines.filter(QStringLiteral("Consulte o QR Code")).size(), 1);

    // Without a QR code there is nothing to consult.
    r.qrCodeSignature = QString(8000, u'A');
    QCOMPARE(indexOf(Extract(r, width).textLines(), QStringLiteral("De olho na nota")), -1);
}

void TestExtract::sizeFollowsContent()
{
    CfeReceipt r = receipt(QStringLiteral("one item"));
    const Extract one(r, 80);
    QCOMPARE(one.paperWidthMm(), 80);
    QCOMPARE(one.sizeMm().width(), 80.0);
    r.items.append(r.items.first());
    const Extract two(r, 80);
    QVERIFY(two.sizeMm().height() > one.sizeMm().height());
    QCOMPARE(Extract(r, 58).sizeMm().width(), 58.0);
    // 58 mm wraps more lines and runs the barcode along the paper: a longer extract.
    QVERIFY(Extract(r, 58).sizeMm().height() > two.sizeMm().height());
    QCOMPARE(Extract(r, 70).paperWidthMm(), 80);
    QVERIFY(!isSupportedPaperWidth(70));
}

void TestExtract::unwritablePdf_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << QStringLiteral("pasta-que-nao-existe/extrato.pdf");
    QTest::newRow("a folder") << QString();
    QTest::newRow("inside a file") << QStringLiteral("arquivo/extrato.pdf");
}

void TestExtract::unwritablePdf()
{
    QFETCH(QString, path);
    const QString target = path.isEmpty() ? m_dir.path() : m_dir.filePath(path);
    QFile plain(m_dir.filePath(QStringLiteral("arquivo")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QString error;
    QVERIFY(!writeExtractPdf(receipt(QStringLiteral("one item")), 80, target, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Não foi possível")), qPrintable(error));
    QVERIFY(error.contains(target));
    QVERIFY(QFileInfo(target).isDir() == path.isEmpty());
}

namespace {

// A printer whose paper runs out after the first page, while its state stays Active.
class OnePagePrinter : public QPrinter {
public:
    using QPrinter::QPrinter;
    bool newPage() override { return false; }
};

} // namespace

// An extract of several pages whose second page the printer will not start is a failed print, not a success.
void TestExtract::printerRefusingAPageFails()
{
    CfeReceipt r = receipt(QStringLiteral("two items"));
    const CfeItem item = r.items.first();
    for (int i = 0; i < 2000; ++i)
        r.items.append(item);
    QVERIFY(Extract(r, 80).sizeMm().height() > 5000);
    OnePagePrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir.filePath(QStringLiteral("uma-pagina.pdf")));
    QString error;
    QVERIFY(!printExtract(r, 80, &printer, &error));
    QVERIFY2(error.startsWith(QStringLiteral("A impressão")), qPrintable(error));
}

QTEST_MAIN(TestExtract)
#include "tst_extract.moc"
