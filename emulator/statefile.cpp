#include "statefile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace satemu {

namespace {

    constexpr size_t kMaximumFileSize = 64 * 1024 * 1024;

    std::string homeDirectory()
    {
        const char* home = std::getenv("HOME");
        if (home && *home)
            return home;
        const passwd* entry = getpwuid(getuid());
        return entry && entry->pw_dir ? entry->pw_dir : ".";
    }

    std::string directoryOf(const std::string& path)
    {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos)
            return ".";
        return slash == 0 ? "/" : path.substr(0, slash);
    }

    bool makeDirectories(const std::string& directory)
    {
        struct stat info { };
        if (stat(directory.c_str(), &info) == 0)
            return S_ISDIR(info.st_mode);
        const std::string parent = directoryOf(directory);
        if (parent != directory && !makeDirectories(parent))
            return false;
        return mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
    }

    bool exists(const std::string& path)
    {
        struct stat info { };
        return lstat(path.c_str(), &info) == 0;
    }

    // The file's bytes; false when it cannot be read or is too large to be a state file.
    bool readWhole(std::FILE* file, std::string& content)
    {
        char buffer[65536];
        size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            content.append(buffer, count);
            if (content.size() > kMaximumFileSize)
                return false;
        }
        return !std::ferror(file);
    }

    std::string setAside(const std::string& path, const std::string& stamp)
    {
        const std::string base = path + ".ilegivel-" + stamp;
        std::string target = base;
        for (int n = 1; exists(target) && n < 1000; ++n)
            target = base + "-" + std::to_string(n);
        if (exists(target) || std::rename(path.c_str(), target.c_str()) != 0)
            return {};
        return target;
    }

    int64_t nanoseconds(const timespec& time)
    {
        return int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
    }

    // The rename itself is an entry of the folder: until the folder reaches the disk, a power cut can undo it.
    bool syncDirectory(const std::string& directory)
    {
        const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0)
            return false;
        // Some file systems cannot sync a folder (EINVAL); they have nothing more to write.
        const bool synced = fsync(descriptor) == 0 || errno == EINVAL;
        const int cause = errno;
        close(descriptor);
        errno = cause;
        return synced;
    }

} // namespace

StateLock::StateLock(const std::string& statePath)
{
    const std::string path = statePath + ".lock";
    if (!makeDirectories(directoryOf(statePath))) {
        m_error = "nao foi possivel criar a pasta de " + statePath;
        return;
    }
    m_descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_descriptor < 0) {
        m_error = "nao foi possivel abrir " + path + ": " + std::strerror(errno);
        return;
    }
    int locked = -1;
    while ((locked = flock(m_descriptor, LOCK_EX)) != 0 && errno == EINTR) { }
    if (locked != 0) {
        m_error = "nao foi possivel travar " + path + ": " + std::strerror(errno);
        close(m_descriptor);
        m_descriptor = -1;
    }
}

StateLock::~StateLock()
{
    // Closing the only descriptor of the open file releases its flock.
    if (m_descriptor >= 0)
        close(m_descriptor);
}

bool StateFile::Version::operator==(const Version& other) const
{
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size
        && modifiedNs == other.modifiedNs && changedNs == other.changedNs;
}

StateFile::Version StateFile::version(const std::string& path)
{
    Version version;
    struct stat info { };
    if (stat(path.c_str(), &info) != 0)
        return version;
    version.exists = true;
    version.device = info.st_dev;
    version.inode = info.st_ino;
    version.size = info.st_size;
    version.modifiedNs = nanoseconds(info.st_mtim);
    version.changedNs = nanoseconds(info.st_ctim);
    return version;
}

std::string StateFile::pathFromEnvironment()
{
    const char* configured = std::getenv("SAT_EMULADOR_ESTADO");
    if (configured && *configured)
        return configured;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const std::string base = dataHome && dataHome[0] == '/' ? dataHome : homeDirectory() + "/.local/share";
    return base + "/sat-emulador/estado.txt";
}

std::string StateFile::siblingPath(const std::string& path, const std::string& name)
{
    return directoryOf(path) + "/" + name;
}

StateFile::Outcome StateFile::load(const std::string& path, DeviceState& state, const std::string& stamp,
                                   std::string& note)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file && errno == ENOENT)
        return Outcome::Missing;
    std::string reason;
    if (file) {
        std::string content;
        const bool read = readWhole(file, content);
        std::fclose(file);
        if (!read)
            reason = "leitura falhou ou arquivo grande demais";
        else if (DeviceState::parse(content, state, reason))
            return Outcome::Loaded;
    } else {
        reason = std::strerror(errno);
    }
    const std::string target = setAside(path, stamp);
    note = "Arquivo de estado ilegivel (" + reason + "); "
        + (target.empty() ? "nao foi possivel renomea-lo" : "guardado como " + target)
        + "; SAT reiniciado como de fabrica";
    return Outcome::SetAside;
}

int StateFile::removeLeftovers(const std::string& path, const std::string& sibling)
{
    const std::string directory = directoryOf(path);
    DIR* folder = opendir(directory.c_str());
    if (!folder)
        return 0;
    const size_t slash = path.rfind('/');
    const std::string stateName = slash == std::string::npos ? path : path.substr(slash + 1);
    int removed = 0;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        const size_t mark = name.rfind(".tmp-");
        if (mark == std::string::npos)
            continue;
        const std::string owner = name.substr(0, mark);
        const std::string pidText = name.substr(mark + 5);
        if (owner != stateName && owner != sibling)
            continue;
        if (pidText.empty() || pidText.size() > 9 || pidText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(pidText));
        // Another running instance may be writing its own; a pid reused since is left for a later start.
        if (pid != getpid() && (kill(pid, 0) == 0 || errno == EPERM))
            continue;
        if (std::remove((directory + "/" + name).c_str()) == 0)
            ++removed;
    }
    closedir(folder);
    return removed;
}

bool StateFile::save(const std::string& path, const DeviceState& state, std::string& error)
{
    return writeAtomically(path, state.serialise(), error);
}

bool StateFile::writeAtomically(const std::string& path, const std::string& content, std::string& error)
{
    if (!makeDirectories(directoryOf(path))) {
        error = "nao foi possivel criar a pasta de " + path;
        return false;
    }
    const std::string temporary = path + ".tmp-" + std::to_string(getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "nao foi possivel criar " + temporary + ": " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    written = std::fflush(file) == 0 && written;
    written = fsync(fileno(file)) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "nao foi possivel gravar " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    if (!syncDirectory(directoryOf(path))) {
        error = "nao foi possivel sincronizar a pasta de " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace satemu
