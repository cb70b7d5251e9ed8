// Fields of an arbitrary answer: whatever the bytes, a field found must lie inside the answer, right after the
// n-th separator, and cover up to the next separator (answerField) or the end (answerTail).
#include "codec/answer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The position just after the n-th "|", counted independently of the code under test; npos when missing.
std::size_t modelStart(const std::string& answer, int n)
{
    if (n < 1)
        return std::string::npos;
    int seen = 0;
    for (std::size_t i = 0; i < answer.size(); ++i)
        if (answer[i] == '|' && ++seen == n)
            return i + 1;
    return std::string::npos;
}

void checkField(const std::string& answer, const char* first, int n, const AnswerField& field, bool tail)
{
    const std::size_t start = modelStart(answer, n);
    if (start == std::string::npos) {
        check(field.begin == nullptr && field.length == 0);
        return;
    }
    const char* const end = first + answer.size();
    check(field.begin == first + start);
    check(field.length <= static_cast<std::size_t>(end - field.begin));
    const std::size_t stop = tail ? answer.size() : answer.find('|', start);
    check(field.length == (stop == std::string::npos ? answer.size() : stop) - start);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // First byte: the field number, 0 and negative numbers included; the rest: the answer up to its first NUL.
    const int n = static_cast<int>(static_cast<std::int8_t>(data[0])) / 4;
    // An exact heap copy, so that a read past the terminator is caught.
    std::vector<char> bytes(data + 1, data + size);
    bytes.push_back('\0');
    bytes.shrink_to_fit();
    const std::string answer(bytes.data());

    checkField(answer, bytes.data(), n, answerField(bytes.data(), n), false);
    checkField(answer, bytes.data(), n, answerTail(bytes.data(), n), true);
    check(answerField(nullptr, n).begin == nullptr && answerTail(nullptr, n).begin == nullptr);
    return 0;
}
