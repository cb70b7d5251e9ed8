#pragma once

#include <string>

namespace satemu {

// True for 14 decimal digits whose last two are the CNPJ check digits. The device takes no punctuation.
bool isValidCnpj(const std::string& digits);

bool isDigits(const std::string& text, size_t minimum, size_t maximum);

} // namespace satemu
