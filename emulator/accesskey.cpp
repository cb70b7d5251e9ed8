#include "accesskey.h"

#include "cnpj.h"

#include <cstdio>

namespace satemu {

std::string AccessKey::build(const Parts& parts)
{
    if (parts.uf < 10 || parts.uf > 99 || !isDigits(parts.yearMonth, 4, 4) || !isDigits(parts.issuerCnpj, 14, 14)
        || !isDigits(parts.serial, 9, 9) || parts.receiptNumber < 0 || parts.receiptNumber > 999999
        || parts.randomCode < 0 || parts.randomCode > 999999)
        return {};
    char head[48];
    std::snprintf(head, sizeof head, "%02d%s%s59%s%06d%06d", parts.uf, parts.yearMonth.c_str(),
                  parts.issuerCnpj.c_str(), parts.serial.c_str(), parts.receiptNumber, parts.randomCode);
    const std::string first43 = head;
    return first43 + static_cast<char>('0' + checkDigit(first43));
}

int AccessKey::checkDigit(const std::string& first43)
{
    if (!isDigits(first43, 43, 43))
        return -1;
    int sum = 0;
    int weight = 2;
    for (size_t i = first43.size(); i-- > 0;) {
        sum += (first43[i] - '0') * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    const int digit = 11 - sum % 11;
    return digit >= 10 ? 0 : digit;
}

bool AccessKey::isValid(const std::string& key)
{
    return isDigits(key, 44, 44) && checkDigit(key.substr(0, 43)) == key[43] - '0';
}

} // namespace satemu
