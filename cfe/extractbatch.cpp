#include "extractbatch.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace satresults {

namespace {

    // PDF viewers refuse pages taller than 200 inches; a longer extract is cut into pages.
    constexpr double kMaxPdfPageMm = 5000.0;

    QString fileErrorText(const QFileDevice& file)
    {
        switch (file.error()) {
        case QFileDevice::PermissionsError:
            return QStringLiteral("permissão negada");
        case QFileDevice::ResourceError:
            return QStringLiteral("falta de espaço ou de recursos do sistema");
        case QFileDevice::WriteError:
            return QStringLiteral("falha ao gravar");
        case QFileDevice::OpenError:
            return QStringLiteral("o arquivo ou a pasta não pode ser aberto");
        default:
            return QStringLiteral("erro de arquivo (%1)").arg(int(file.error()));
        }
    }

    bool fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
        return false;
    }

    QPageSize extractPage(double widthMm, double heightMm)
    {
        return QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter, QStringLiteral("Extrato"),
                         QPageSize::ExactMatch);
    }

    bool cancelled(const BatchControl& control)
    {
        return control.cancel && control.cancel->load();
    }

    void report(const BatchControl& control, qsizetype done, qsizetype total)
    {
        if (control.progress)
            control.progress(done, total);
    }

    ExtractSource sourceOf(const QList<ExtractEntry>& entries)
    {
        return [&entries](qsizetype index, ExtractEntry* entry, QString*) {
            *entry = entries.at(index);
            return true;
        };
    }

    // The index-th extract laid out, or null with *error set.
    std::unique_ptr<Extract> layOut(const ExtractSource& source, qsizetype index, qsizetype count, int paperWidthMm,
                                    QString* error)
    {
        ExtractEntry entry;
        QString why;
        if (!source(index, &entry, &why)) {
            fail(error,
                 QStringLiteral("Não foi possível ler o %1º de %2 extratos: %3").arg(index + 1).arg(count).arg(why));
            return nullptr;
        }
        return std::make_unique<Extract>(entry.receipt, paperWidthMm, entry.cancelled);
    }

} // namespace

struct ExtractPdfWriter::Private {
    QString path;
    QString title;
    QSaveFile file;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
    bool begun = false;
    bool broken = false;
};

ExtractPdfWriter::ExtractPdfWriter(const QString& path, const QString& title)
    : d(std::make_unique<Private>())
{
    d->path = path;
    d->title = title;
    d->file.setFileName(path);
}

// The painter ends before the writer and the file it writes to go; without a commit the file stays as it was.
ExtractPdfWriter::~ExtractPdfWriter()
{
    if (d->painter.isActive())
        d->painter.end();
    d->file.cancelWriting();
}

bool ExtractPdfWriter::open(QString* error)
{
    if (QFileInfo(d->path).isDir())
        return fail(error, QStringLiteral("Não foi possível gravar em %1: é uma pasta, não um arquivo.").arg(d->path));
    if (!d->file.open(QIODevice::WriteOnly))
        return fail(error,
                    QStringLiteral("Não foi possível criar o arquivo %1: %2.").arg(d->path, fileErrorText(d->file)));
    d->writer = std::make_unique<QPdfWriter>(&d->file);
    d->writer->setResolution(600);
    d->writer->setCreator(QStringLiteral("sat-comandos"));
    d->writer->setTitle(d->title);
    d->writer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    return true;
}

void ExtractPdfWriter::add(const Extract& extract)
{
    if (!d->writer || d->broken)
        return;
    const auto pages = extract.pageSpansMm(kMaxPdfPageMm);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        d->writer->setPageSize(extractPage(extract.paperWidthMm(), pages.at(i).second - pages.at(i).first));
        if (!d->begun) {
            // The first page takes its size from the writer as the painter begins.
            d->begun = true;
            if (!d->painter.begin(d->writer.get())) {
                d->broken = true;
                return;
            }
        } else {
            d->writer->newPage();
        }
        extract.paintSpan(&d->painter, pages.at(i).first, pages.at(i).second);
    }
}

bool ExtractPdfWriter::commit(QString* error)
{
    if (!d->writer)
        return fail(error, QStringLiteral("O arquivo %1 não foi aberto.").arg(d->path));
    if (!d->begun)
        return fail(error, QStringLiteral("Nenhum extrato para gravar em %1.").arg(d->path));
    if (d->broken || !d->painter.end())
        return fail(error, QStringLiteral("Não foi possível gerar o PDF em %1.").arg(d->path));
    d->writer.reset();
    if (!d->file.commit())
        return fail(error,
                    QStringLiteral("Não foi possível gravar o arquivo %1: %2.").arg(d->path, fileErrorText(d->file)));
    return true;
}

struct ExtractPrintJob::Private {
    QPrinter* printer = nullptr;
    QPainter painter;
    bool begun = false;
    bool allPages = true;
    bool aborted = false;

    QString failure() const { return QStringLiteral("A impressão em \"%1\" falhou.").arg(printer->printerName()); }

    // A roll printer takes a page as long as the extract. A printer that refuses the size, or a PDF printer given a
    // longer extract than a PDF page holds, gets it over several pages, nothing lost.
    double askPageFor(const Extract& extract)
    {
        const double wanted = std::min(extract.sizeMm().height(), kMaxPdfPageMm);
        // Qt changes the page of a job under way only on engines that write PDF (CUPS's among them); others keep
        // the first extract's page for the whole job.
        const bool changeable
            = !begun || (printer->paintEngine() && printer->paintEngine()->type() == QPaintEngine::Pdf);
        if (changeable) {
            printer->setPageSize(extractPage(extract.paperWidthMm(), wanted));
            printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        }
        const double pageMm = printer->pageLayout().fullRect(QPageLayout::Millimeter).height();
        return pageMm > 10 ? pageMm : wanted;
    }
};

ExtractPrintJob::ExtractPrintJob(QPrinter* printer)
    : d(std::make_unique<Private>())
{
    d->printer = printer;
}

ExtractPrintJob::~ExtractPrintJob()
{
    if (d->painter.isActive())
        d->painter.end();
}

bool ExtractPrintJob::add(const Extract& extract, QString* error)
{
    if (!d->printer)
        return fail(error, QStringLiteral("Nenhuma impressora foi escolhida."));
    if (d->aborted)
        return fail(error, QStringLiteral("A impressão em \"%1\" foi cancelada.").arg(d->printer->printerName()));
    // The printer's own margins are left out so that the layout's margins are the only ones.
    if (!d->begun)
        d->printer->setFullPage(true);
    const auto pages = extract.pageSpansMm(d->askPageFor(extract));
    for (qsizetype i = 0; i < pages.size() && d->allPages; ++i) {
        if (!d->begun) {
            d->begun = true;
            if (!d->painter.begin(d->printer))
                return fail(
                    error,
                    QStringLiteral("Não foi possível iniciar a impressão em \"%1\".").arg(d->printer->printerName()));
        } else {
            // A page the printer would not start is part of the extracts lost: the print failed.
            d->allPages = d->printer->newPage();
        }
        if (d->allPages)
            extract.paintSpan(&d->painter, pages.at(i).first, pages.at(i).second);
    }
    return d->allPages || fail(error, d->failure());
}

bool ExtractPrintJob::finish(QString* error)
{
    if (!d->printer)
        return fail(error, QStringLiteral("Nenhuma impressora foi escolhida."));
    if (!d->begun)
        return fail(error, QStringLiteral("Nenhum extrato para imprimir."));
    const bool ended = d->painter.end();
    if (!ended || !d->allPages || d->aborted || d->printer->printerState() == QPrinter::Error)
        return fail(error, d->failure());
    return true;
}

bool ExtractPrintJob::abort()
{
    if (!d->printer || !d->begun || d->aborted)
        return d->aborted;
    d->aborted = d->printer->abort();
    return d->aborted;
}

BatchOutcome writeExtractsPdf(qsizetype count, const ExtractSource& source, int paperWidthMm, const QString& path,
                              const BatchControl& control, QString* error)
{
    if (count <= 0) {
        fail(error, QStringLiteral("Nenhum extrato para gravar em %1.").arg(path));
        return BatchOutcome::Failed;
    }
    ExtractPdfWriter pdf(path, QStringLiteral("Extratos do CF-e-SAT (%1)").arg(count));
    if (!pdf.open(error))
        return BatchOutcome::Failed;
    for (qsizetype i = 0; i < count; ++i) {
        if (cancelled(control))
            return BatchOutcome::Cancelled;
        const std::unique_ptr<Extract> extract = layOut(source, i, count, paperWidthMm, error);
        if (!extract)
            return BatchOutcome::Failed;
        pdf.add(*extract);
        report(control, i + 1, count);
    }
    // A cancel during the last step still means the user did not want the file.
    if (cancelled(control))
        return BatchOutcome::Cancelled;
    return pdf.commit(error) ? BatchOutcome::Done : BatchOutcome::Failed;
}

BatchOutcome writeExtractsPdf(const QList<ExtractEntry>& entries, int paperWidthMm, const QString& path,
                              const BatchControl& control, QString* error)
{
    return writeExtractsPdf(entries.size(), sourceOf(entries), paperWidthMm, path, control, error);
}

BatchOutcome printExtracts(qsizetype count, const ExtractSource& source, int paperWidthMm, QPrinter* printer,
                           const BatchControl& control, QString* error)
{
    if (count <= 0) {
        fail(error, QStringLiteral("Nenhum extrato para imprimir."));
        return BatchOutcome::Failed;
    }
    std::vector<std::unique_ptr<Extract>> extracts;
    extracts.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        if (cancelled(control))
            return BatchOutcome::Cancelled;
        extracts.push_back(layOut(source, i, count, paperWidthMm, error));
        if (!extracts.back())
            return BatchOutcome::Failed;
        report(control, i + 1, 2 * count);
    }
    ExtractPrintJob job(printer);
    bool abortTried = false;
    for (qsizetype i = 0; i < count; ++i) {
        if (cancelled(control) && !abortTried) {
            abortTried = true;
            if (job.abort())
                return BatchOutcome::Cancelled;
        }
        if (!job.add(*extracts.at(size_t(i)), error))
            return BatchOutcome::Failed;
        extracts.at(size_t(i)).reset();
        report(control, count + i + 1, 2 * count);
    }
    return job.finish(error) ? BatchOutcome::Done : BatchOutcome::Failed;
}

BatchOutcome printExtracts(const QList<ExtractEntry>& entries, int paperWidthMm, QPrinter* printer,
                           const BatchControl& control, QString* error)
{
    return printExtracts(entries.size(), sourceOf(entries), paperWidthMm, printer, control, error);
}

} // namespace satresults
