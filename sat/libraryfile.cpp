#include "libraryfile.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int ElfHeaderSize = 20; // up to e_machine, in both classes
constexpr int ElfClass32 = 1;
constexpr int ElfClass64 = 2;
constexpr int ElfLittleEndian = 1;
constexpr int ElfSharedObject = 3;
constexpr int MachineX86 = 3;
constexpr int MachineX86_64 = 62;

QString machineName(int machine)
{
    switch (machine) {
    case 40:
        return QStringLiteral("ARM de 32 bits");
    case 183:
        return QStringLiteral("ARM de 64 bits (aarch64)");
    case 8:
        return QStringLiteral("MIPS");
    case 20:
    case 21:
        return QStringLiteral("PowerPC");
    case 243:
        return QStringLiteral("RISC-V");
    default:
        return QStringLiteral("o processador de código %1").arg(machine);
    }
}

LibraryFile refused(const QString& problem, int bits = 0)
{
    return LibraryFile {false, bits, problem};
}

} // namespace

LibraryFile inspectLibraryFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return refused(QStringLiteral("o arquivo não existe (foi removido, renomeado ou está num disco que não "
                                      "está montado?)"));
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("o arquivo não pode ser lido (sem permissão de leitura?)"));
    const QByteArray header = file.read(ElfHeaderSize);
    if (header.startsWith("MZ"))
        return refused(QStringLiteral("é uma biblioteca do Windows (DLL), que não roda no Linux: peça ao "
                                      "fabricante a biblioteca para Linux (.so)"));
    if (header.size() < ElfHeaderSize || !header.startsWith("\x7f"
                                                            "ELF"))
        return refused(QStringLiteral("não é uma biblioteca compartilhada (não é um arquivo ELF)"));

    const int elfClass = header[4];
    const int bits = elfClass == ElfClass32 ? 32 : elfClass == ElfClass64 ? 64 : 0;
    if (bits == 0 || header[5] != ElfLittleEndian)
        return refused(QStringLiteral("é um arquivo ELF de um formato que este computador não carrega"));
    const auto u16 = [&header](int at) {
        return int(static_cast<unsigned char>(header[at])) | int(static_cast<unsigned char>(header[at + 1])) << 8;
    };
    if (u16(16) != ElfSharedObject)
        return refused(QStringLiteral("é um programa ou um objeto, não uma biblioteca compartilhada"), bits);
    const int machine = u16(18);
    if (machine != (bits == 64 ? MachineX86_64 : MachineX86))
        return refused(QStringLiteral("é uma biblioteca para %1, não para este computador (PC x86)")
                           .arg(machineName(machine)),
                       bits);
    return LibraryFile {true, bits, QString()};
}

QString explainLoadError(const QString& loaderMessage)
{
    static const QRegularExpression missingFile(QStringLiteral("([^:/\\s(]+): cannot open shared object file"));
    static const QRegularExpression missingSymbol(QStringLiteral("undefined symbol: (\\S+)"));
    static const QRegularExpression wrongClass(QStringLiteral("wrong ELF class: ELFCLASS(32|64)"));

    QRegularExpressionMatch match = missingFile.match(loaderMessage);
    if (match.hasMatch())
        return QStringLiteral("falta a biblioteca %1, de que ela depende: instale-a (o fabricante diz qual "
                              "pacote a traz) ou coloque-a numa pasta onde o sistema procura bibliotecas")
            .arg(match.captured(1));
    match = missingSymbol.match(loaderMessage);
    if (match.hasMatch())
        return QStringLiteral("ela precisa do símbolo %1, que nenhuma das bibliotecas instaladas tem: talvez "
                              "uma dependência esteja numa versão diferente da que o fabricante usou")
            .arg(match.captured(1));
    match = wrongClass.match(loaderMessage);
    if (match.hasMatch())
        return QStringLiteral("é uma biblioteca de %1 bits, que esta ferramenta não carrega")
            .arg(match.captured(1) == QLatin1String("32") ? 32 : 64);
    if (loaderMessage.contains(QLatin1String("invalid ELF header"))
        || loaderMessage.contains(QLatin1String("file too short")))
        return QStringLiteral("não é uma biblioteca compartilhada (não é um arquivo ELF)");
    return QStringLiteral("o sistema recusou carregá-la: %1").arg(loaderMessage);
}
