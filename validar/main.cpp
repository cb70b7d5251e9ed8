// sat-validar: every fault of a sale or cancellation document against the device's data-entry layout, one a line,
// for a point of sale's developer or a script, before the device refuses the document with the first of them.

#include "allfaults.h"
#include "saledocument.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char kUsage[] = "uso: sat-validar ARQUIVO.xml";

const char kHelp[]
    = "uso: sat-validar ARQUIVO.xml\n"
      "\n"
      "Confere um documento de venda (raiz CFe) ou de cancelamento (raiz CFeCanc) contra o leiaute de entrada do\n"
      "SAT-CF-e, com as mesmas regras com que o emulador do sat-comandos o recusaria, e mostra todas as falhas, uma\n"
      "por linha: o campo, a regra quebrada e o código de rejeição. A primeira é a recusa que o SAT daria.\n"
      "\n"
      "Opções:\n"
      "  -h, --ajuda, --help  mostra esta ajuda.\n"
      "\n"
      "Saída: 0 quando não há falhas; 1 quando há falhas ou o arquivo não pôde ser lido; 2 para um uso errado.\n";

void fail(const std::string& message)
{
    std::fprintf(stderr, "sat-validar: %s\n", message.c_str());
}

// The file's bytes, read no further than one byte past the largest document the device takes: that is enough for
// the check to say it is too large. False with the reason when it cannot be read.
bool readDocument(const std::string& path, std::string& content, std::string& reason)
{
    struct stat info { };
    if (stat(path.c_str(), &info) != 0) {
        reason = errno == ENOENT || errno == ENOTDIR ? "o arquivo " + path + " não existe."
                                                     : "não foi possível ler o arquivo " + path + ".";
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = path + " é uma pasta, não um arquivo.";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = "não foi possível ler o arquivo " + path + ".";
        return false;
    }
    const size_t limit = satemu::SaleDocument::kMaximumSize + 1;
    std::vector<char> buffer(64 * 1024);
    size_t count = 0;
    while (content.size() < limit && (count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
        content.append(buffer.data(), count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        reason = "não foi possível ler o arquivo " + path + ".";
        return false;
    }
    if (content.empty()) {
        reason = "o arquivo " + path + " está vazio.";
        return false;
    }
    if (content.size() > limit)
        content.resize(limit);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    bool help = false;
    bool options = true;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "-h" || argument == "--ajuda" || argument == "--help")) {
            help = true;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            fail("opção desconhecida: " + argument + "\n" + kUsage);
            return 2;
        } else {
            files.push_back(argument);
        }
    }
    if (help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (files.size() != 1) {
        fail(files.empty() ? std::string(kUsage) : std::string("informe um único arquivo.\n") + kUsage);
        return 2;
    }

    std::string document;
    std::string reason;
    if (!readDocument(files.front(), document, reason)) {
        fail(reason);
        return 1;
    }
    const satemu::AllFaults found = satemu::AllFaults::of(document.data(), document.size());
    if (found.faults.empty()) {
        std::puts("Nenhum problema encontrado");
        return 0;
    }
    for (const satemu::DocumentFault& fault : found.faults)
        std::printf("%s\n", satemu::faultLine(fault).c_str());
    return 1;
}
