#include "resultfiles.h"

#include "operationalstatus.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

// The series comes from the device: only letters, digits and "-" may reach a file name.
QString safeSerial(const QString& serial)
{
    QString out;
    for (const QChar c : serial)
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c == QLatin1Char('-'))
            out += c;
    return out;
}

QString fileName(const QString& prefix, const QString& serial, const QDateTime& when, const QString& extension)
{
    const QString series = safeSerial(serial);
    const QString stamp = when.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    return series.isEmpty() ? QStringLiteral("%1-%2%3").arg(prefix, stamp, extension)
                            : QStringLiteral("%1-%2-%3%4").arg(prefix, series, stamp, extension);
}

QString situation(const OperationalStatus::Row& row)
{
    return row.problem ? QStringLiteral("PROBLEMA: %1").arg(row.reason) : QStringLiteral("OK");
}

} // namespace

namespace ResultFiles {

bool write(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly))
        reason = file.errorString();
    else if (file.write(data) != data.size())
        reason = file.errorString();
    else if (!file.commit())
        reason = file.errorString();
    else
        return true;
    file.cancelWriting();
    if (error)
        *error = QStringLiteral("Não foi possível gravar o arquivo %1: %2")
                     .arg(QFileInfo(path).absoluteFilePath(),
                          reason.isEmpty() ? QStringLiteral("erro desconhecido") : reason);
    return false;
}

QString logFileName(const QString& serial, const QDateTime& when)
{
    return fileName(QStringLiteral("sat-log"), serial, when, QStringLiteral(".txt"));
}

QString statusFileName(const QString& serial, const QDateTime& when, const QString& extension)
{
    return fileName(QStringLiteral("sat-status"), serial, when, extension);
}

QByteArray statusAsText(const OperationalStatus& status)
{
    QString text = QStringLiteral("Status operacional do SAT\n");
    text += QStringLiteral("Resumo: %1\n").arg(status.summary());
    if (status.isValid()) {
        for (const OperationalStatus::Row& row : status.rows()) {
            text += QStringLiteral("%1: %2").arg(row.label, row.value);
            if (row.problem)
                text += QStringLiteral(" [PROBLEMA: %1]").arg(row.reason);
            text += QLatin1Char('\n');
        }
    } else {
        text += QStringLiteral("Código: %1\nMensagem: %2\n").arg(status.code(), status.message());
    }
    text += QStringLiteral("Resposta do SAT: %1\n").arg(status.rawAnswer());
    return text.toUtf8();
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray statusAsCsv(const OperationalStatus& status)
{
    QString text = QStringLiteral("Campo,Valor,Situação\r\n");
    const auto line = [&text](const QString& a, const QString& b, const QString& c) {
        text += csvField(a) + QLatin1Char(',') + csvField(b) + QLatin1Char(',') + csvField(c) + QStringLiteral("\r\n");
    };
    line(QStringLiteral("Resumo"), status.summary(),
         status.isValid() && status.problems().isEmpty() ? QStringLiteral("OK") : QStringLiteral("PROBLEMA"));
    if (status.isValid()) {
        for (const OperationalStatus::Row& row : status.rows())
            line(row.label, row.value, situation(row));
    } else {
        line(QStringLiteral("Código"), status.code(), QString());
        line(QStringLiteral("Mensagem"), status.message(), QString());
    }
    line(QStringLiteral("Resposta do SAT"), status.rawAnswer(), QString());
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace ResultFiles
