// A second program on the emulator, as a point of sale beside the tool would be: runs the commands of its arguments
// in order through the C functions and writes each answer, byte for byte, followed by a NUL byte (answers hold
// line breaks).
//   emulatorclient <venda.xml> <comando>=<sessao>...
// Commands: ativar, associar, venda, consulta (ConsultarSAT).
#include "dllsat.h"
#include "emulatorfixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "uso: %s venda.xml comando=sessao...\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::stringstream sale;
    sale << file.rdbuf();
    if (!file) {
        std::perror(argv[1]);
        return 2;
    }
    const std::string signature(344, '0');
    for (int i = 2; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        const std::string command
            = equals ? std::string(argv[i], static_cast<size_t>(equals - argv[i])) : std::string(argv[i]);
        const int session = equals ? std::atoi(equals + 1) : 0;
        const char* answer = nullptr;
        if (command == "ativar")
            answer = AtivarSAT(session, 1, fixture::kCode, fixture::kTaxpayer, 35);
        else if (command == "associar")
            answer = AssociarAssinatura(session, fixture::kCode, fixture::kBoth, signature.c_str());
        else if (command == "venda")
            answer = EnviarDadosVenda(session, fixture::kCode, sale.str().c_str());
        else if (command == "consulta")
            answer = ConsultarSAT(session);
        if (!answer) {
            std::fprintf(stderr, "comando desconhecido: %s\n", argv[i]);
            return 2;
        }
        std::fwrite(answer, 1, std::strlen(answer) + 1, stdout);
        std::fflush(stdout);
    }
    return 0;
}
