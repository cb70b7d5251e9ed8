#include "codec/answer.h"

#include <cstring>

namespace {

// The first byte after the n-th "|", or null when there are fewer separators.
const char* afterSeparator(const char* answer, int n)
{
    if (!answer || n < 1)
        return nullptr;
    const char* at = answer;
    for (int i = 0; i < n; ++i) {
        at = std::strchr(at, '|');
        if (!at)
            return nullptr;
        ++at;
    }
    return at;
}

} // namespace

AnswerField answerField(const char* answer, int n)
{
    AnswerField field;
    field.begin = afterSeparator(answer, n);
    if (field.begin)
        field.length = std::strcspn(field.begin, "|");
    return field;
}

AnswerField answerTail(const char* answer, int n)
{
    AnswerField field;
    field.begin = afterSeparator(answer, n);
    if (field.begin)
        field.length = std::strlen(field.begin);
    return field;
}
