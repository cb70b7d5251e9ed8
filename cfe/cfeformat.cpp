#include "cfeformat.h"

#include <QDate>
#include <QTime>

namespace satresults {

namespace {

    bool allDigits(const QString& text)
    {
        if (text.isEmpty())
            return false;
        for (QChar c : text)
            if (c < u'0' || c > u'9')
                return false;
        return true;
    }

    // Splits "123.45" into its integer and fraction digits; false unless the text is an unsigned decimal.
    bool splitDecimal(const QString& text, QString* integer, QString* fraction)
    {
        const qsizetype point = text.indexOf(u'.');
        *integer = point < 0 ? text : text.left(point);
        *fraction = point < 0 ? QString() : text.mid(point + 1);
        return allDigits(*integer) && (point < 0 || allDigits(*fraction));
    }

    QString withoutLeadingZeros(const QString& digits)
    {
        qsizetype first = 0;
        while (first + 1 < digits.size() && digits.at(first) == u'0')
            ++first;
        return digits.mid(first);
    }

    QString groupThousands(const QString& digits)
    {
        QString out;
        const qsizetype n = digits.size();
        for (qsizetype i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                out += u'.';
            out += digits.at(i);
        }
        return out;
    }

    // Adds one to a string of decimal digits, growing it on carry ("999" -> "1000").
    QString incremented(QString digits)
    {
        for (qsizetype i = digits.size() - 1; i >= 0; --i) {
            if (digits.at(i) != u'9') {
                digits[i] = QChar(digits.at(i).unicode() + 1);
                return digits;
            }
            digits[i] = u'0';
        }
        return u'1' + digits;
    }

    QString masked(const QString& digits, const char* mask)
    {
        QString out;
        qsizetype next = 0;
        for (const char* m = mask; *m; ++m)
            out += *m == '#' ? digits.at(next++) : QChar(QLatin1Char(*m));
        return out;
    }

} // namespace

QString formatMoney(const QString& text, bool* ok)
{
    const QString trimmed = text.trimmed();
    QString integer;
    QString fraction;
    const bool valid = splitDecimal(trimmed, &integer, &fraction);
    if (ok)
        *ok = valid;
    if (!valid)
        return text;
    // Half-up on the third decimal, carried through the digits so that no value is limited by a double's precision.
    QString cents = integer + (fraction + QStringLiteral("00")).left(2);
    if (fraction.size() > 2 && fraction.at(2) >= u'5')
        cents = incremented(cents);
    cents = withoutLeadingZeros(cents);
    while (cents.size() < 3)
        cents.prepend(u'0');
    return groupThousands(cents.left(cents.size() - 2)) + u',' + cents.right(2);
}

QString formatQuantity(const QString& text)
{
    const QString trimmed = text.trimmed();
    QString integer;
    QString fraction;
    if (!splitDecimal(trimmed, &integer, &fraction))
        return text;
    return fraction.isEmpty() ? integer : integer + u',' + fraction;
}

QString formatUnitPrice(const QString& text)
{
    const QString trimmed = text.trimmed();
    QString integer;
    QString fraction;
    if (!splitDecimal(trimmed, &integer, &fraction))
        return text;
    while (fraction.size() < 2)
        fraction += u'0';
    return integer + u',' + fraction;
}

QString formatCnpj(const QString& digits)
{
    return digits.size() == 14 && allDigits(digits) ? masked(digits, "##.###.###/####-##") : digits;
}

QString formatCpf(const QString& digits)
{
    return digits.size() == 11 && allDigits(digits) ? masked(digits, "###.###.###-##") : digits;
}

QString formatConsumerId(const QString& digits)
{
    return digits.size() == 14 ? formatCnpj(digits) : formatCpf(digits);
}

QString formatDateTime(const QString& date, const QString& time)
{
    const QDate d = date.size() == 8 && allDigits(date) ? QDate::fromString(date, QStringLiteral("yyyyMMdd")) : QDate();
    const QTime t = time.size() == 6 && allDigits(time) ? QTime::fromString(time, QStringLiteral("HHmmss")) : QTime();
    if (!d.isValid() || !t.isValid())
        return (date + u' ' + time).trimmed();
    return d.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" - ") + t.toString(QStringLiteral("HH:mm:ss"));
}

QString formatKey(const QString& key)
{
    if (key.size() != 44 || !allDigits(key))
        return key;
    QStringList groups;
    for (qsizetype i = 0; i < 44; i += 4)
        groups << key.mid(i, 4);
    return groups.join(u' ');
}

QString formatExtractNumber(const QString& number)
{
    return allDigits(number) ? number.rightJustified(6, u'0') : number;
}

QString formatSerial(const QString& serial)
{
    return serial.size() == 9 && allDigits(serial) ? masked(serial, "###.###.###") : serial;
}

QString paymentMethodName(const QString& code)
{
    static const struct {
        const char* code;
        const char* name;
    } names[] = {
        {"01", "Dinheiro"},         {"02", "Cheque"},           {"03", "Cartão de Crédito"}, {"04", "Cartão de Débito"},
        {"05", "Crédito Loja"},     {"10", "Vale Alimentação"}, {"11", "Vale Refeição"},     {"12", "Vale Presente"},
        {"13", "Vale Combustível"}, {"99", "Outros"},
    };
    for (const auto& entry : names)
        if (code == QLatin1String(entry.code))
            return QString::fromUtf8(entry.name);
    return code;
}

} // namespace satresults
