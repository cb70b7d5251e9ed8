#pragma once

#include <string>

namespace satemu {

// The taxpayer's registration as the tax authority hands it to the device at activation: what the issued CF-e
// carries in emit besides what the application sends. A real device gets it from the tax authority; the emulator
// takes it from the file named by SAT_EMULADOR_CONTRIBUINTE, or uses the defaults below.
//
// The file has one "campo=valor" a line (xNome, xFant, xLgr, nro, xCpl, xBairro, xMun, CEP, cRegTrib), lines
// starting with '#' and blank lines ignored; a field left out keeps its default.
struct TaxpayerProfile {
    std::string name = "CONTRIBUINTE DO EMULADOR SAT";
    std::string tradeName = "LOJA DE TREINAMENTO";
    std::string street = "RUA DO TREINAMENTO";
    std::string number = "100";
    std::string complement = "SALA 1";
    std::string district = "CENTRO";
    std::string city = "SAO PAULO";
    std::string cep = "01001000";
    std::string regime = "3"; // cRegTrib: 1 Simples Nacional, 3 regime normal

    // False with the first wrong field; out is then left as given.
    static bool parse(const std::string& text, TaxpayerProfile& out, std::string& error);
    // The profile of SAT_EMULADOR_CONTRIBUINTE; the defaults when it is unset. False with a reason when the file
    // cannot be read or holds a wrong field; out then holds the defaults.
    static bool fromEnvironment(TaxpayerProfile& out, std::string& error);
    // The reason a field breaks the layout's format, or empty.
    std::string check() const;
};

} // namespace satemu
