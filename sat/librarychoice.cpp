#include "librarychoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const char LibraryKey[] = "biblioteca";

QSettings settings()
{
    // ~/.config/sat-comandos/sat-comandos.conf, or under XDG_CONFIG_HOME.
    return QSettings(QStringLiteral("sat-comandos"), QStringLiteral("sat-comandos"));
}

} // namespace

QString privateFilePath(const QString& name)
{
    const QDir here(QCoreApplication::applicationDirPath());
    const QString beside = here.filePath(name);
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(here.filePath(QStringLiteral(SAT_BIN_TO_PRIVATE "/") + name));
}

QString bundledLibraryPath()
{
    return privateFilePath(QStringLiteral("libdllsat.so"));
}

QString rememberedLibrary()
{
    return settings().value(QLatin1String(LibraryKey)).toString();
}

void rememberLibrary(const QString& path)
{
    settings().setValue(QLatin1String(LibraryKey), path);
}

void forgetLibrary()
{
    settings().remove(QLatin1String(LibraryKey));
}

LibraryChoice chooseLibrary()
{
    const QString named = qEnvironmentVariable("SAT_BIBLIOTECA");
    if (!named.isEmpty())
        return {LibraryChoice::Source::Environment, QFileInfo(named).absoluteFilePath()};
    const QString remembered = rememberedLibrary();
    if (!remembered.isEmpty())
        return {LibraryChoice::Source::Remembered, remembered};
    return {LibraryChoice::Source::Bundled, bundledLibraryPath()};
}

bool libraryInOwnProcess()
{
    return qEnvironmentVariable("SAT_BIBLIOTECA_ISOLADA") == QLatin1String("0");
}
