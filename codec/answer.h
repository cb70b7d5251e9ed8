#pragma once

#include <cstddef>

// The device answers with pipe-separated text; fields are found by counting
// "|" separators from the start.

// A field as a pointer into the answer and its length.
struct AnswerField {
    const char* begin = nullptr;
    std::size_t length = 0;
};

// The text after the n-th "|" (n >= 1) up to the next "|" or the end of the
// answer. Null begin when the answer is null or has fewer than n separators.
AnswerField answerField(const char* answer, int n);

// The text after the n-th "|" up to the end of the answer, later "|" included.
AnswerField answerTail(const char* answer, int n);
