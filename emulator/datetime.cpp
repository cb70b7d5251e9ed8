#include "datetime.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace satemu {

namespace {

    // Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's algorithm).
    int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
    {
        y -= m <= 2;
        const int64_t era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<int64_t>(doe) - 719468;
    }

    void civilFromDays(int64_t z, int& year, int& month, int& day)
    {
        z += 719468;
        const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        const unsigned doe = static_cast<unsigned>(z - era * 146097);
        const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const unsigned mp = (5 * doy + 2) / 153;
        day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
    }

    int daysInMonth(int year, int month)
    {
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return month == 2 && leap ? 29 : days[month - 1];
    }

    int digitsValue(const std::string& text, size_t from, size_t count)
    {
        int value = 0;
        for (size_t i = from; i < from + count; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    }

} // namespace

DateTime DateTime::now()
{
    const char* injected = std::getenv("SAT_EMULADOR_AGORA");
    DateTime moment;
    if (injected && parse(injected, moment))
        return moment;

    const std::time_t seconds = std::time(nullptr);
    std::tm local {};
    localtime_r(&seconds, &local);
    moment.year = local.tm_year + 1900;
    moment.month = local.tm_mon + 1;
    moment.day = local.tm_mday;
    moment.hour = local.tm_hour;
    moment.minute = local.tm_min;
    moment.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return moment;
}

bool DateTime::parse(const std::string& text, DateTime& out)
{
    if (text.size() != 14)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    DateTime m;
    m.year = digitsValue(text, 0, 4);
    m.month = digitsValue(text, 4, 2);
    m.day = digitsValue(text, 6, 2);
    m.hour = digitsValue(text, 8, 2);
    m.minute = digitsValue(text, 10, 2);
    m.second = digitsValue(text, 12, 2);
    // The access key carries a two-digit year, so the device's calendar is this century's.
    if (m.year < 2000 || m.year > 2099 || m.month < 1 || m.month > 12 || m.day < 1
        || m.day > daysInMonth(m.year, m.month) || m.hour > 23 || m.minute > 59 || m.second > 59)
        return false;
    out = m;
    return true;
}

DateTime DateTime::fromSeconds(int64_t seconds)
{
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    DateTime m;
    civilFromDays(days, m.year, m.month, m.day);
    m.hour = static_cast<int>(rest / 3600);
    m.minute = static_cast<int>(rest % 3600 / 60);
    m.second = static_cast<int>(rest % 60);
    return m;
}

int64_t DateTime::toSeconds() const
{
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600
        + minute * 60 + second;
}

std::string DateTime::stamp() const
{
    return date() + time();
}

std::string DateTime::date() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", year % 10000, month % 100, day % 100);
    return text;
}

std::string DateTime::time() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", hour % 100, minute % 100, second % 100);
    return text;
}

std::string DateTime::yearMonth() const
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d%02d", year % 100, month % 100);
    return text;
}

} // namespace satemu
