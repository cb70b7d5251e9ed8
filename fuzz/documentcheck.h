#pragma once

#include <cstdlib>
#include <string>

// Checks shared by the emulator's document fuzz targets.
namespace fuzzcheck {

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A refusal becomes the message of the device's answer, which is all the operator learns: there must be one.
// (The answer itself keeps messages to one line of plain ASCII, whatever libxml2's wording holds.)
inline void checkReason(const std::string& reason)
{
    check(!reason.empty());
}

// A layout refusal names its rule by a code "1GGK" for the answer's CCCC field, besides its reason.
inline void checkRejection(const std::string& code, const std::string& reason)
{
    check(code.size() == 4 && code[0] == '1');
    for (char c : code)
        check(c >= '0' && c <= '9');
    checkReason(reason);
}

} // namespace fuzzcheck
