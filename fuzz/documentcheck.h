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

} // namespace fuzzcheck
