#pragma once

// Extracts written out: a PDF of one extract or of many, a print job of one or of many, and whole batches of
// receipts with progress and a way to stop.
//
// Every extract starts a page of its own, as wide as the paper and as tall as the extract, with no margins; an
// extract longer than a page may be (a PDF page stops at 200 inches; a printer may keep one page size) goes on over
// more pages, cut between lines.

#include "cfereceipt.h"
#include "extract.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;

namespace satresults {

// Written through QSaveFile: commit() replaces the file at the path whole; a writer that goes without one (a
// failure, a cancelled batch) leaves it as it was.
class ExtractPdfWriter {
public:
    ExtractPdfWriter(const QString& path, const QString& title);
    ~ExtractPdfWriter();
    ExtractPdfWriter(const ExtractPdfWriter&) = delete;
    ExtractPdfWriter& operator=(const ExtractPdfWriter&) = delete;

    // *error in Portuguese on failure, here and in commit().
    bool open(QString* error);
    void add(const Extract& extract);
    bool commit(QString* error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// On a printer the caller set up (e.g. through QPrintDialog). The first add() begins the job on the first
// extract's page size. Nothing reaches the print system before that.
class ExtractPrintJob {
public:
    explicit ExtractPrintJob(QPrinter* printer);
    ~ExtractPrintJob();
    ExtractPrintJob(const ExtractPrintJob&) = delete;
    ExtractPrintJob& operator=(const ExtractPrintJob&) = delete;

    // *error in Portuguese on failure, here and in finish().
    bool add(const Extract& extract, QString* error);
    bool finish(QString* error);
    // Takes the job back where the print system can (QPrinter::abort()); false where it cannot, as with CUPS, which
    // only receives the job when it ends.
    bool abort();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// One extract of a batch: a receipt and, for a sale known to be cancelled, its cancellation.
struct ExtractEntry {
    CfeReceipt receipt;
    std::optional<SaleCancellation> cancelled;
};

// The index-th entry of a batch, asked for once each, in order, so that a source such as a database need not hold
// them all; false, with *error in Portuguese, when it cannot be read (the batch then fails).
using ExtractSource = std::function<bool(qsizetype index, ExtractEntry* entry, QString* error)>;

struct BatchControl {
    // After each step, done of total. A PDF takes one step per extract; a print job two, as each extract is laid
    // out and then as it is sent.
    std::function<void(qsizetype done, qsizetype total)> progress;
    // Set (from the progress callback or from another thread) to stop before the next extract.
    const std::atomic_bool* cancel = nullptr;
};

enum class BatchOutcome { Done, Cancelled, Failed };

// One PDF with each extract on a page of its own. Cancelled or failed, nothing is written.
BatchOutcome writeExtractsPdf(qsizetype count, const ExtractSource& source, int paperWidthMm, const QString& path,
                              const BatchControl& control, QString* error);
BatchOutcome writeExtractsPdf(const QList<ExtractEntry>& entries, int paperWidthMm, const QString& path,
                              const BatchControl& control, QString* error);

// One print job. Every extract is laid out before the job begins, so that a cancel while they are (most of the
// work) sends nothing. Once the job has begun, a cancel takes it back where the print system can; where it cannot,
// the job goes on whole, never half printed, and the outcome is Done.
BatchOutcome printExtracts(qsizetype count, const ExtractSource& source, int paperWidthMm, QPrinter* printer,
                           const BatchControl& control, QString* error);
BatchOutcome printExtracts(const QList<ExtractEntry>& entries, int paperWidthMm, QPrinter* printer,
                           const BatchControl& control, QString* error);

} // namespace satresults
