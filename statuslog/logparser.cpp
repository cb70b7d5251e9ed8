#include "logparser.h"

#include <QDate>
#include <QTime>

namespace {

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// Built by hand: QDateTime parsing and formatting would cost most of the time of an 18,000-line log.
bool formatStamp(QStringView stamp, QString& out)
{
    if (stamp.size() != 14)
        return false;
    const int year = digits(stamp, 0, 4), month = digits(stamp, 4, 2), day = digits(stamp, 6, 2);
    const int hour = digits(stamp, 8, 2), minute = digits(stamp, 10, 2), second = digits(stamp, 12, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return false;
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return false;
    out.resize(19);
    QChar* p = out.data();
    const auto put = [&p, &stamp](qsizetype from, qsizetype count) {
        for (qsizetype i = 0; i < count; ++i)
            *p++ = stamp[from + i];
    };
    put(6, 2);
    *p++ = u'/';
    put(4, 2);
    *p++ = u'/';
    put(0, 4);
    *p++ = u' ';
    put(8, 2);
    *p++ = u':';
    put(10, 2);
    *p++ = u':';
    put(12, 2);
    return true;
}

LogLine parseLine(QStringView line)
{
    LogLine out;
    const qsizetype first = line.indexOf(u'|');
    const qsizetype second = first < 0 ? -1 : line.indexOf(u'|', first + 1);
    const qsizetype third = second < 0 ? -1 : line.indexOf(u'|', second + 1);
    if (third < 0 || !formatStamp(line.left(first), out.when)) {
        out.when.clear();
        out.message = line.toString();
        return out;
    }
    out.origin = line.mid(first + 1, second - first - 1).toString();
    out.level = line.mid(second + 1, third - second - 1).toString();
    out.message = line.mid(third + 1).toString();
    return out;
}

} // namespace

QList<LogLine> parseDeviceLog(const QString& text)
{
    QList<LogLine> lines;
    lines.reserve(text.size() / 64 + 1);
    const QStringView all(text);
    qsizetype start = 0;
    const qsizetype size = all.size();
    for (qsizetype at = 0; at < size; ++at) {
        const char16_t c = all[at].unicode();
        if (c != u'\n' && c != u'\r')
            continue;
        lines.append(parseLine(all.mid(start, at - start)));
        if (c == u'\r' && at + 1 < size && all[at + 1] == u'\n')
            ++at;
        start = at + 1;
    }
    if (start < size)
        lines.append(parseLine(all.mid(start)));
    return lines;
}

QList<QByteArray> deviceLogLineBytes(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype at = 0; at < size; ++at) {
        const char c = bytes.at(at);
        if (c != '\n' && c != '\r')
            continue;
        if (c == '\r' && at + 1 < size && bytes.at(at + 1) == '\n')
            ++at;
        lines.append(bytes.mid(start, at + 1 - start));
        start = at + 1;
    }
    if (start < size)
        lines.append(bytes.mid(start));
    return lines;
}
