#include "cnpj.h"

namespace satemu {

namespace {

    int cnpjDigit(const std::string& digits, size_t count, const int* weights)
    {
        int sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += (digits[i] - '0') * weights[i];
        const int rest = sum % 11;
        return rest < 2 ? 0 : 11 - rest;
    }

} // namespace

bool isDigits(const std::string& text, size_t minimum, size_t maximum)
{
    if (text.size() < minimum || text.size() > maximum)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool isValidCnpj(const std::string& digits)
{
    if (!isDigits(digits, 14, 14))
        return false;
    static const int first[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int second[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    return cnpjDigit(digits, 12, first) == digits[12] - '0' && cnpjDigit(digits, 13, second) == digits[13] - '0';
}

} // namespace satemu
