#include "operationalstatus.h"

#include "devicetext.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace {

const QLocale& brazil()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

bool allDigits(const QString& text, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool allZeros(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

// Clock values carry no time zone: both sides are compared as naive civil times.
bool parseStamp(const QString& text, QDateTime& out)
{
    if (!allDigits(text, 14))
        return false;
    const QDate date(text.mid(0, 4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
    const QTime time(text.mid(8, 2).toInt(), text.mid(10, 2).toInt(), text.mid(12, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return false;
    out = QDateTime(date, time, Qt::UTC);
    return true;
}

// Certificate dates come as AAAAMMDD; a full stamp is accepted as well.
bool parseDate(const QString& text, QDate& out)
{
    if (allDigits(text, 14)) {
        QDateTime stamp;
        if (!parseStamp(text, stamp))
            return false;
        out = stamp.date();
        return true;
    }
    if (!allDigits(text, 8))
        return false;
    out = QDate(text.mid(0, 4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
    return out.isValid();
}

QString formatStamp(const QDateTime& stamp)
{
    return stamp.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}

QString formatDate(const QDate& date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

QString shown(const QString& raw)
{
    return raw.isEmpty() ? QStringLiteral("(vazio)") : raw;
}

// "192.168.000.150" as people write it; anything that is not a dotted quad stays as sent.
QString formatAddress(const QString& raw)
{
    const QStringList octets = raw.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return shown(raw);
    QStringList out;
    for (const QString& octet : octets) {
        if (octet.isEmpty() || octet.size() > 3)
            return raw;
        bool ok = false;
        const int value = octet.toInt(&ok);
        if (!ok || value > 255 || !allDigits(octet, octet.size()))
            return raw;
        out << QString::number(value);
    }
    return out.join(QLatin1Char('.'));
}

QString formatKey(const QString& raw)
{
    return allZeros(raw) ? QStringLiteral("Nenhum") : shown(raw);
}

QString formatDuration(qint64 seconds)
{
    const qint64 days = seconds / 86400;
    const qint64 hours = seconds / 3600 % 24;
    const qint64 minutes = seconds / 60 % 60;
    const qint64 rest = seconds % 60;
    QStringList parts;
    if (days)
        parts << QStringLiteral("%1 %2").arg(days).arg(days == 1 ? "dia" : "dias");
    if (hours)
        parts << QStringLiteral("%1 h").arg(hours);
    if (minutes && !days)
        parts << QStringLiteral("%1 min").arg(minutes);
    if (rest && !days && !hours)
        parts << QStringLiteral("%1 s").arg(rest);
    return parts.join(QLatin1Char(' '));
}

// Sizes as the device writes them: a number and an optional unit ("4194304 KB", "2 GB", "512 Mbytes").
double parseBytes(const QString& raw)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,15}(?:[.,]\\d{1,6})?)\\s*([A-Za-z]*)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(raw);
    if (!match.hasMatch())
        return -1;
    const double number = QString(match.captured(1)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    const QString unit = match.captured(2).toUpper();
    if (unit.isEmpty() || unit == QLatin1String("B") || unit == QLatin1String("BYTES"))
        return number;
    if (unit == QLatin1String("KB") || unit == QLatin1String("KBYTES") || unit == QLatin1String("K"))
        return number * 1024;
    if (unit == QLatin1String("MB") || unit == QLatin1String("MBYTES") || unit == QLatin1String("M"))
        return number * 1024 * 1024;
    if (unit == QLatin1String("GB") || unit == QLatin1String("GBYTES") || unit == QLatin1String("G"))
        return number * 1024 * 1024 * 1024;
    return -1;
}

QString formatBytes(double bytes)
{
    static const char* const units[] = {"bytes", "KB", "MB", "GB", "TB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    const bool whole = std::floor(bytes) == bytes;
    return brazil().toString(bytes, 'f', whole ? 0 : 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

// Cut, not rounded, so that a share under the 90% limit never reads as 90,0%.
QString formatShare(double share)
{
    return brazil().toString(std::floor(share * 1000) / 10, 'f', 1) + QLatin1Char('%');
}

// What one field says: its value as shown and, when it keeps the device from working well, why.
struct Reading {
    QString value;
    QString problem;
};

Reading fine(const QString& value)
{
    return {value, QString()};
}

Reading problem(const QString& value, const QString& why)
{
    return {value, why};
}

// A value that cannot be read is shown raw and judged a problem, since nothing can be said about it.
Reading unreadable(const QString& raw, const QString& what)
{
    return {shown(raw), QStringLiteral("%1: %2").arg(what, shown(raw))};
}

// The fields that only describe the device are shown in words, never judged.

QString lanType(const QString& raw)
{
    const QString upper = raw.toUpper();
    if (upper == QLatin1String("DHCP"))
        return QStringLiteral("DHCP (endereço automático)");
    if (upper == QLatin1String("IPFIX"))
        return QStringLiteral("IP fixo");
    if (upper == QLatin1String("PPPOE"))
        return QStringLiteral("PPPoE");
    return shown(raw);
}

// A transmission or a communication; all zeros when there has been none.
QString moment(const QString& raw)
{
    QDateTime stamp;
    if (allZeros(raw))
        return QStringLiteral("Nunca");
    if (parseStamp(raw, stamp))
        return formatStamp(stamp);
    return shown(raw);
}

QString certificateIssued(const QString& raw)
{
    QDate date;
    if (allZeros(raw))
        return QStringLiteral("Não informada");
    if (parseDate(raw, date))
        return formatDate(date);
    return shown(raw);
}

// The fields that say whether the device can work, each judged by its own rule.

// Only a connected device transmits its receipts.
Reading networkLink(const QString& raw)
{
    const QString upper = raw.toUpper();
    if (upper == QLatin1String("CONECTADO"))
        return fine(QStringLiteral("Conectada"));
    if (upper == QLatin1String("NAO_CONECTADO") || upper == QLatin1String("NAO CONECTADO")
        || upper == QString::fromUtf8("NÃO CONECTADO") || upper == QString::fromUtf8("NÃO_CONECTADO"))
        return problem(QStringLiteral("Não conectada"), QStringLiteral("Rede não conectada"));
    return unreadable(raw, QStringLiteral("Situação da rede não reconhecida"));
}

// Any level below high is worth a look.
Reading batteryLevel(const QString& raw)
{
    const QString upper = raw.toUpper();
    if (upper == QLatin1String("ALTO"))
        return fine(QStringLiteral("Alto"));
    if (upper == QLatin1String("MEDIO") || upper == QString::fromUtf8("MÉDIO"))
        return problem(QStringLiteral("Médio"), QStringLiteral("Bateria em nível médio"));
    if (upper == QLatin1String("BAIXO"))
        return problem(QStringLiteral("Baixo"), QStringLiteral("Bateria em nível baixo"));
    return unreadable(raw, QStringLiteral("Nível da bateria não reconhecido"));
}

// A total of nothing is as unreadable as no number at all: no share can be taken of it.
Reading memoryTotal(const QString& raw, double total)
{
    if (total > 0)
        return fine(formatBytes(total));
    return unreadable(raw, QStringLiteral("Memória total ilegível"));
}

// Negative when either figure cannot be read.
double shareInUse(double used, double total)
{
    return used >= 0 && total > 0 ? used / total : -1;
}

// A memory nearly full is a problem from MemoryWarningShare up; without a total only the figure is shown.
Reading memoryUsed(const QString& raw, double used, double share)
{
    if (used < 0)
        return unreadable(raw, QStringLiteral("Memória usada ilegível"));
    if (share < 0)
        return fine(formatBytes(used));
    const QString value = QStringLiteral("%1 (%2 do total)").arg(formatBytes(used), formatShare(share));
    if (share >= OperationalStatus::MemoryWarningShare)
        return problem(value, QStringLiteral("Memória %1 usada").arg(formatShare(share)));
    return fine(value);
}

// The device's clock against this computer's, either way: more than MaximumClockDrift apart is a problem.
Reading deviceClock(const QString& raw, const QDateTime& now)
{
    QDateTime stamp;
    if (!parseStamp(raw, stamp))
        return unreadable(raw, QStringLiteral("Data e hora do SAT ilegível"));
    const QDateTime here(now.date(), now.time(), Qt::UTC);
    const qint64 drift = here.secsTo(stamp);
    if (drift == 0)
        return fine(formatStamp(stamp) + QStringLiteral(" (igual ao relógio deste computador)"));
    const qint64 size = drift < 0 ? -drift : drift;
    const QString ahead = drift > 0 ? QStringLiteral("adiantado") : QStringLiteral("atrasado");
    const QString value = QStringLiteral("%1 (%2 %3 em relação a este computador)")
                              .arg(formatStamp(stamp), formatDuration(size), ahead);
    if (size > OperationalStatus::MaximumClockDrift)
        return problem(value, QStringLiteral("Relógio do SAT %1 %2").arg(ahead, formatDuration(size)));
    return fine(value);
}

QString daysLeft(qint64 days)
{
    if (days == 0)
        return QStringLiteral("vence hoje");
    if (days == 1)
        return QStringLiteral("falta 1 dia");
    return QStringLiteral("faltam %1 dias").arg(days);
}

// A certificate with no expiry, expired, or expiring within CertificateWarningDays is a problem.
Reading certificateExpiry(const QString& raw, const QDate& today)
{
    QDate date;
    if (allZeros(raw))
        return problem(QStringLiteral("Não informado"), QStringLiteral("Certificado sem data de vencimento"));
    if (!parseDate(raw, date))
        return unreadable(raw, QStringLiteral("Vencimento do certificado ilegível"));
    const qint64 days = today.daysTo(date);
    const QString when = formatDate(date);
    if (days < 0) {
        const QString ago = days == -1 ? QStringLiteral("1 dia") : QStringLiteral("%1 dias").arg(-days);
        return problem(QStringLiteral("%1 (vencido há %2)").arg(when, ago),
                       QStringLiteral("Certificado vencido em %1").arg(when));
    }
    const QString left = daysLeft(days);
    const QString value = QStringLiteral("%1 (%2)").arg(when, left);
    if (days <= OperationalStatus::CertificateWarningDays)
        return problem(value, QStringLiteral("Certificado vence em %1 (%2)").arg(when, left));
    return fine(value);
}

// Only state 0 lets the device issue; every other known state is a block.
Reading operationState(const QString& raw)
{
    static const char* const states[] = {
        "Desbloqueado",      "Bloqueado pela SEFAZ",       "Bloqueado pelo contribuinte",
        "Bloqueio autônomo", "Bloqueado para desativação",
    };
    static const char* const blocks[] = {
        "",
        "SAT bloqueado pela SEFAZ",
        "SAT bloqueado pelo contribuinte",
        "SAT em bloqueio autônomo",
        "SAT bloqueado para desativação",
    };
    bool ok = false;
    const int state = raw.toInt(&ok);
    if (!ok || state < 0 || state > 4 || !allDigits(raw, raw.size()))
        return unreadable(raw, QStringLiteral("Estado de operação não reconhecido"));
    const QString value = QStringLiteral("%1 - %2").arg(state).arg(QString::fromUtf8(states[state]));
    if (state == 0)
        return fine(value);
    return problem(value, QString::fromUtf8(blocks[state]));
}

// The answer as a whole: why no row can be read from it, or empty when it is a status.
QString unusable(const QString& raw, const QStringList& fields, const QString& code, const QString& message)
{
    if (raw.trimmed().isEmpty())
        return QStringLiteral("O SAT não enviou resposta.");
    const QString device
        = code.isEmpty() && message.isEmpty() ? raw.trimmed() : QStringLiteral("%1 - %2").arg(shown(code), message);
    if (code != QLatin1String("10000"))
        return QStringLiteral("O SAT respondeu: %1").arg(device);
    if (fields.size() < OperationalStatus::FieldCount)
        return QStringLiteral("Resposta incompleta do SAT (%1 de %2 campos): %3")
            .arg(fields.size())
            .arg(OperationalStatus::FieldCount)
            .arg(device);
    return QString();
}

// The device's fields, counted from the serial number, and the rows made of them. A row shows the field
// trimmed and keeps it as sent.
class StatusRows {
public:
    explicit StatusRows(const QStringList& fields)
        : m_fields(fields)
    {
    }

    QList<OperationalStatus::Row> rows;

    QString field(int device) const { return m_fields.value(OperationalStatus::FirstDeviceField + device).trimmed(); }

    // read turns the trimmed field into its value (QString) or its judged Reading.
    template <typename Read> void add(const QString& label, int device, Read read)
    {
        append(label, device, read(field(device)));
    }

private:
    void append(const QString& label, int device, const QString& value) { append(label, device, fine(value)); }
    void append(const QString& label, int device, const Reading& reading)
    {
        rows.append({label, reading.value, m_fields.value(OperationalStatus::FirstDeviceField + device),
                     !reading.problem.isEmpty(), reading.problem});
    }

    QStringList m_fields;
};

} // namespace

OperationalStatus OperationalStatus::parse(const QByteArray& answer, const QDateTime& now)
{
    OperationalStatus status;
    status.m_raw = decodeDeviceText(answer);
    const QStringList fields = status.m_raw.split(QLatin1Char('|'));
    status.m_code = fields.value(1).trimmed();
    status.m_message = fields.value(2).trimmed();
    status.m_failure = unusable(status.m_raw, fields, status.m_code, status.m_message);
    if (!status.m_failure.isEmpty())
        return status;

    StatusRows device(fields);
    device.add(QStringLiteral("Número de série"), 0, shown);
    device.add(QStringLiteral("Tipo de rede"), 1, lanType);
    device.add(QStringLiteral("Endereço IP"), 2, formatAddress);
    device.add(QStringLiteral("MAC"), 3, shown);
    device.add(QStringLiteral("Máscara"), 4, formatAddress);
    device.add(QStringLiteral("Gateway"), 5, formatAddress);
    device.add(QStringLiteral("DNS 1"), 6, formatAddress);
    device.add(QStringLiteral("DNS 2"), 7, formatAddress);
    device.add(QStringLiteral("Situação da rede"), 8, networkLink);
    device.add(QStringLiteral("Nível da bateria"), 9, batteryLevel);
    const double total = parseBytes(device.field(10));
    const double used = parseBytes(device.field(11));
    status.m_memoryShare = shareInUse(used, total);
    device.add(QStringLiteral("Memória total"), 10, [&](const QString& raw) { return memoryTotal(raw, total); });
    device.add(QStringLiteral("Memória usada"), 11,
               [&](const QString& raw) { return memoryUsed(raw, used, status.m_memoryShare); });
    device.add(QStringLiteral("Data e hora do SAT"), 12, [&](const QString& raw) { return deviceClock(raw, now); });
    device.add(QStringLiteral("Versão do software básico"), 13, shown);
    device.add(QStringLiteral("Versão do leiaute"), 14, shown);
    device.add(QStringLiteral("Último CF-e-SAT emitido"), 15, formatKey);
    device.add(QStringLiteral("Primeiro CF-e-SAT em memória"), 16, formatKey);
    device.add(QStringLiteral("Último CF-e-SAT em memória"), 17, formatKey);
    device.add(QStringLiteral("Última transmissão à SEFAZ"), 18, moment);
    device.add(QStringLiteral("Última comunicação com a SEFAZ"), 19, moment);
    device.add(QStringLiteral("Emissão do certificado"), 20, certificateIssued);
    device.add(QStringLiteral("Vencimento do certificado"), 21,
               [&](const QString& raw) { return certificateExpiry(raw, now.date()); });
    device.add(QStringLiteral("Estado de operação"), 22, operationState);

    status.m_valid = true;
    status.m_rows = device.rows;
    status.m_serial = device.field(0);
    return status;
}

QStringList OperationalStatus::problems() const
{
    QStringList out;
    for (const Row& row : m_rows)
        if (row.problem)
            out << row.reason;
    return out;
}

QString OperationalStatus::summary() const
{
    if (!m_valid)
        return m_failure;
    const QStringList found = problems();
    if (found.isEmpty())
        return QStringLiteral("SAT em operação normal");
    return QStringLiteral("Atenção: %1").arg(found.join(QStringLiteral("; ")));
}
