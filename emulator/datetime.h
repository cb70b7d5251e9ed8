#pragma once

#include <cstdint>
#include <string>

namespace satemu {

// The device clock: civil date and time without a time zone, as the device keeps local time.
struct DateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    // SAT_EMULADOR_AGORA (AAAAMMDDhhmmss) when it holds a valid moment, else the system's local time.
    static DateTime now();
    static bool parse(const std::string& text, DateTime& out);
    static DateTime fromSeconds(int64_t seconds);

    // Seconds since 1970-01-01 00:00:00 of the same calendar, for differences between moments.
    int64_t toSeconds() const;
    std::string stamp() const; // AAAAMMDDhhmmss
    std::string date() const; // AAAAMMDD
    std::string time() const; // hhmmss
    std::string yearMonth() const; // AAMM, as the access key carries it
};

} // namespace satemu
