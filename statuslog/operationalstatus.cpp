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

class Judge {
public:
    Judge(const QStringList& fields, const QDateTime& now)
        : m_fields(fields)
        , m_now(now)
    {
    }

    QList<OperationalStatus::Row> rows;
    double memoryShare = -1;

    QString field(int device) const { return m_fields.value(OperationalStatus::FirstDeviceField + device).trimmed(); }

    void add(const QString& label, int device, const QString& value, const QString& problem = QString())
    {
        rows.append(
            {label, value, m_fields.value(OperationalStatus::FirstDeviceField + device), !problem.isEmpty(), problem});
    }

    void plain(const QString& label, int device) { add(label, device, shown(field(device))); }
    void address(const QString& label, int device) { add(label, device, formatAddress(field(device))); }
    void key(const QString& label, int device) { add(label, device, formatKey(field(device))); }

    void lanType(int device)
    {
        const QString raw = field(device);
        const QString upper = raw.toUpper();
        QString value = shown(raw);
        if (upper == QLatin1String("DHCP"))
            value = QStringLiteral("DHCP (endereço automático)");
        else if (upper == QLatin1String("IPFIX"))
            value = QStringLiteral("IP fixo");
        else if (upper == QLatin1String("PPPOE"))
            value = QStringLiteral("PPPoE");
        add(QStringLiteral("Tipo de rede"), device, value);
    }

    void lanStatus(int device)
    {
        const QString raw = field(device);
        const QString upper = raw.toUpper();
        const QString label = QStringLiteral("Situação da rede");
        if (upper == QLatin1String("CONECTADO"))
            add(label, device, QStringLiteral("Conectada"));
        else if (upper == QLatin1String("NAO_CONECTADO") || upper == QLatin1String("NAO CONECTADO")
                 || upper == QString::fromUtf8("NÃO CONECTADO") || upper == QString::fromUtf8("NÃO_CONECTADO"))
            add(label, device, QStringLiteral("Não conectada"), QStringLiteral("Rede não conectada"));
        else
            add(label, device, shown(raw), QStringLiteral("Situação da rede não reconhecida: %1").arg(shown(raw)));
    }

    void battery(int device)
    {
        const QString raw = field(device);
        const QString upper = raw.toUpper();
        const QString label = QStringLiteral("Nível da bateria");
        if (upper == QLatin1String("ALTO"))
            add(label, device, QStringLiteral("Alto"));
        else if (upper == QLatin1String("MEDIO") || upper == QString::fromUtf8("MÉDIO"))
            add(label, device, QStringLiteral("Médio"), QStringLiteral("Bateria em nível médio"));
        else if (upper == QLatin1String("BAIXO"))
            add(label, device, QStringLiteral("Baixo"), QStringLiteral("Bateria em nível baixo"));
        else
            add(label, device, shown(raw), QStringLiteral("Nível da bateria não reconhecido: %1").arg(shown(raw)));
    }

    void memory(int totalField, int usedField)
    {
        const double total = parseBytes(field(totalField));
        const double used = parseBytes(field(usedField));
        if (total > 0)
            add(QStringLiteral("Memória total"), totalField, formatBytes(total));
        else
            add(QStringLiteral("Memória total"), totalField, shown(field(totalField)),
                QStringLiteral("Memória total ilegível: %1").arg(shown(field(totalField))));
        const QString label = QStringLiteral("Memória usada");
        if (used < 0) {
            add(label, usedField, shown(field(usedField)),
                QStringLiteral("Memória usada ilegível: %1").arg(shown(field(usedField))));
            return;
        }
        if (total <= 0) {
            add(label, usedField, formatBytes(used));
            return;
        }
        memoryShare = used / total;
        const QString value = QStringLiteral("%1 (%2 do total)").arg(formatBytes(used), formatShare(memoryShare));
        if (memoryShare >= OperationalStatus::MemoryWarningShare)
            add(label, usedField, value, QStringLiteral("Memória %1 usada").arg(formatShare(memoryShare)));
        else
            add(label, usedField, value);
    }

    void clock(int device)
    {
        const QString raw = field(device);
        const QString label = QStringLiteral("Data e hora do SAT");
        QDateTime stamp;
        if (!parseStamp(raw, stamp)) {
            add(label, device, shown(raw), QStringLiteral("Data e hora do SAT ilegível: %1").arg(shown(raw)));
            return;
        }
        const QDateTime here(m_now.date(), m_now.time(), Qt::UTC);
        const qint64 drift = here.secsTo(stamp);
        const qint64 size = drift < 0 ? -drift : drift;
        const QString ahead = drift > 0 ? QStringLiteral("adiantado") : QStringLiteral("atrasado");
        if (size == 0) {
            add(label, device, formatStamp(stamp) + QStringLiteral(" (igual ao relógio deste computador)"));
            return;
        }
        const QString value = QStringLiteral("%1 (%2 %3 em relação a este computador)")
                                  .arg(formatStamp(stamp), formatDuration(size), ahead);
        if (size > OperationalStatus::MaximumClockDrift)
            add(label, device, value, QStringLiteral("Relógio do SAT %1 %2").arg(ahead, formatDuration(size)));
        else
            add(label, device, value);
    }

    void moment(const QString& label, int device)
    {
        const QString raw = field(device);
        QDateTime stamp;
        if (allZeros(raw))
            add(label, device, QStringLiteral("Nunca"));
        else if (parseStamp(raw, stamp))
            add(label, device, formatStamp(stamp));
        else
            add(label, device, shown(raw));
    }

    void issued(int device)
    {
        const QString raw = field(device);
        const QString label = QStringLiteral("Emissão do certificado");
        QDate date;
        if (allZeros(raw))
            add(label, device, QStringLiteral("Não informada"));
        else if (parseDate(raw, date))
            add(label, device, formatDate(date));
        else
            add(label, device, shown(raw));
    }

    void expiry(int device)
    {
        const QString raw = field(device);
        const QString label = QStringLiteral("Vencimento do certificado");
        QDate date;
        if (allZeros(raw)) {
            add(label, device, QStringLiteral("Não informado"), QStringLiteral("Certificado sem data de vencimento"));
            return;
        }
        if (!parseDate(raw, date)) {
            add(label, device, shown(raw), QStringLiteral("Vencimento do certificado ilegível: %1").arg(shown(raw)));
            return;
        }
        const qint64 days = m_now.date().daysTo(date);
        const QString when = formatDate(date);
        if (days < 0) {
            const QString ago = days == -1 ? QStringLiteral("1 dia") : QStringLiteral("%1 dias").arg(-days);
            add(label, device, QStringLiteral("%1 (vencido há %2)").arg(when, ago),
                QStringLiteral("Certificado vencido em %1").arg(when));
            return;
        }
        const QString left = days == 0 ? QStringLiteral("vence hoje")
            : days == 1                ? QStringLiteral("falta 1 dia")
                                       : QStringLiteral("faltam %1 dias").arg(days);
        const QString value = QStringLiteral("%1 (%2)").arg(when, left);
        if (days <= OperationalStatus::CertificateWarningDays)
            add(label, device, value, QStringLiteral("Certificado vence em %1 (%2)").arg(when, left));
        else
            add(label, device, value);
    }

    void operation(int device)
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
        const QString raw = field(device);
        const QString label = QStringLiteral("Estado de operação");
        bool ok = false;
        const int state = raw.toInt(&ok);
        if (!ok || state < 0 || state > 4 || !allDigits(raw, raw.size())) {
            add(label, device, shown(raw), QStringLiteral("Estado de operação não reconhecido: %1").arg(shown(raw)));
            return;
        }
        const QString value = QStringLiteral("%1 - %2").arg(state).arg(QString::fromUtf8(states[state]));
        if (state == 0)
            add(label, device, value);
        else
            add(label, device, value, QString::fromUtf8(blocks[state]));
    }

private:
    QStringList m_fields;
    QDateTime m_now;
};

} // namespace

OperationalStatus OperationalStatus::parse(const QByteArray& answer, const QDateTime& now)
{
    OperationalStatus status;
    status.m_raw = decodeDeviceText(answer);
    const QStringList fields = status.m_raw.split(QLatin1Char('|'));
    status.m_code = fields.value(1).trimmed();
    status.m_message = fields.value(2).trimmed();
    if (status.m_raw.trimmed().isEmpty()) {
        status.m_failure = QStringLiteral("O SAT não enviou resposta.");
        return status;
    }
    const QString device = status.m_code.isEmpty() && status.m_message.isEmpty()
        ? status.m_raw.trimmed()
        : QStringLiteral("%1 - %2").arg(shown(status.m_code), status.m_message);
    if (status.m_code != QLatin1String("10000")) {
        status.m_failure = QStringLiteral("O SAT respondeu: %1").arg(device);
        return status;
    }
    if (fields.size() < FieldCount) {
        status.m_failure = QStringLiteral("Resposta incompleta do SAT (%1 de %2 campos): %3")
                               .arg(fields.size())
                               .arg(FieldCount)
                               .arg(device);
        return status;
    }

    Judge judge(fields, now);
    judge.plain(QStringLiteral("Número de série"), 0);
    judge.lanType(1);
    judge.address(QStringLiteral("Endereço IP"), 2);
    judge.plain(QStringLiteral("MAC"), 3);
    judge.address(QStringLiteral("Máscara"), 4);
    judge.address(QStringLiteral("Gateway"), 5);
    judge.address(QStringLiteral("DNS 1"), 6);
    judge.address(QStringLiteral("DNS 2"), 7);
    judge.lanStatus(8);
    judge.battery(9);
    judge.memory(10, 11);
    judge.clock(12);
    judge.plain(QStringLiteral("Versão do software básico"), 13);
    judge.plain(QStringLiteral("Versão do leiaute"), 14);
    judge.key(QStringLiteral("Último CF-e-SAT emitido"), 15);
    judge.key(QStringLiteral("Primeiro CF-e-SAT em memória"), 16);
    judge.key(QStringLiteral("Último CF-e-SAT em memória"), 17);
    judge.moment(QStringLiteral("Última transmissão à SEFAZ"), 18);
    judge.moment(QStringLiteral("Última comunicação com a SEFAZ"), 19);
    judge.issued(20);
    judge.expiry(21);
    judge.operation(22);

    status.m_valid = true;
    status.m_rows = judge.rows;
    status.m_memoryShare = judge.memoryShare;
    status.m_serial = judge.field(0);
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
