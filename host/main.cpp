// The host of a device library: it loads the library in a process of its own and serves the tool's calls, one at
// a time, in the frames of sat/hostprotocol.h over its standard input and output. A library that crashes or hangs
// takes only this process down. No Qt: it is also built for 32 bits, with the C++ runtime linked in, so that it
// needs nothing but the C library of a 32-bit vendor's library.

#include "hostprotocol.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace hostprotocol;

namespace {

// Exported by this project's emulator alone.
const char EmulatorMarker[] = "SatComandosEmulador";

struct Library {
    void* handle = nullptr;
    void* functions[SatFunctionCount] = {};
    ErroSAT(DLLSAT_CALL* errorRecord)() = nullptr;
    bool emulator = false;
};

bool readExactly(int fd, char* to, std::size_t length)
{
    while (length > 0) {
        const ssize_t got = read(fd, to, length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        to += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// A vendor's library may print to standard output (traces left in its build). That must never mix with the
// frames: they get descriptors of their own, and the library's output goes to the error stream, which the tool
// passes on.
bool takeProtocolDescriptors(int& in, int& out)
{
    in = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const bool ok = in >= 0 && out >= 0 && nothing >= 0 && dup2(nothing, STDIN_FILENO) >= 0
        && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0;
    if (nothing >= 0)
        close(nothing);
    // A 2 MiB document crosses a default 64 KiB pipe in 32 turns between the two processes; a larger pipe, where
    // the system allows one, takes it in a few. Not being allowed costs only speed.
    for (int fd : {in, out})
        fcntl(fd, F_SETPIPE_SZ, 1 << 20);
    return ok;
}

LoadReply load(Library& library, const LoadRequest& request)
{
    LoadReply reply;
    reply.sequence = request.sequence;
    if (library.handle) {
        reply.error = "this host has already loaded a library";
        return reply;
    }
    // Lazy binding, as a program linked to the library would have it.
    library.handle = dlopen(request.path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!library.handle) {
        const char* error = dlerror();
        reply.error = error ? error : "dlopen failed";
        return reply;
    }
    reply.loaded = true;
    for (int n = 0; n < SatFunctionCount; ++n) {
        library.functions[n] = dlsym(library.handle, satFunctionName(static_cast<SatFunction>(n)));
        if (library.functions[n])
            reply.functions |= 1u << n;
    }
    library.errorRecord = reinterpret_cast<ErroSAT(DLLSAT_CALL*)()>(dlsym(library.handle, "CodigoErro"));
    reply.hasErrorRecord = library.errorRecord != nullptr;
    reply.isEmulator = dlsym(library.handle, EmulatorMarker) != nullptr;
    return reply;
}

CallReply call(const Library& library, const CallRequest& request)
{
    CallReply reply;
    reply.sequence = request.sequence;
    void* function = library.functions[static_cast<int>(request.call.function)];
    if (!library.handle) {
        reply.status = AnswerStatus::NotLoaded;
        return reply;
    }
    if (!function) {
        reply.status = AnswerStatus::MissingFunction;
        return reply;
    }
    const char* answer = invokeSatFunction(function, request.call);
    // The answer lasts until the library's next call, and CodigoErro is one: copy it first.
    if (!answer)
        reply.status = AnswerStatus::NullAnswer;
    else if (std::strlen(answer) > MaxPayload - 1024)
        reply.status = AnswerStatus::TooLong;
    else
        reply.answer = answer;
    if (library.errorRecord) {
        const ErroSAT record = library.errorRecord();
        reply.hasRecord = true;
        reply.code = record.codigo;
        reply.message.assign(record.mensagem, sizeof record.mensagem);
    }
    return reply;
}

} // namespace

int main()
{
    // A host left in a hung call must not outlive the tool.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int in = -1;
    int out = -1;
    if (!takeProtocolDescriptors(in, out)) {
        std::perror("sat-hospedeiro");
        return 2;
    }

    Library library;
    std::string payload;
    for (;;) {
        char header[4];
        if (!readExactly(in, header, sizeof header))
            return 0; // the tool closed the pipe: nothing more to serve
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i)
            length |= std::uint32_t(static_cast<unsigned char>(header[i])) << (8 * i);
        if (length == 0 || length > MaxPayload)
            return 3;
        payload.resize(length);
        if (!readExactly(in, &payload[0], length))
            return 3;

        Type type;
        LoadRequest loadRequest;
        CallRequest callRequest;
        std::string reply;
        if (typeOf(payload, type) && type == Type::Load && decode(payload, loadRequest))
            reply = encode(load(library, loadRequest));
        else if (typeOf(payload, type) && type == Type::Call && decode(payload, callRequest))
            reply = encode(call(library, callRequest));
        else
            return 3;
        if (!writeAll(out, reply))
            return 0;
    }
}
