#pragma once

// The device, as the tool calls it: the library chosen at run time (librarychoice.h), run by a backend in a host
// process (HostBackend) or, with SAT_BIBLIOTECA_ISOLADA=0, in the tool's own (InProcessBackend). The tool's C
// functions of dllsat.h (dispatch.cpp) call through it, so the commands make their calls as they always did.
//
// It keeps each answer until the next call, as a library does, and the error record: CodigoErro's when the
// library has it, otherwise one built from the answer (answerrecord.h). A call that gives no usable answer
// leaves a CallFailure for the command to report, and an empty answer.

#include "devicebackend.h"
#include "librarychoice.h"

#include <QObject>

#include <memory>

class SatDevice : public QObject {
    Q_OBJECT

public:
    static SatDevice& instance();
    ~SatDevice() override;

    // Picks the library and starts loading it without waiting, so the window opens as fast as before. A library
    // named by SAT_BIBLIOTECA or remembered that does not load is reported once (startupProblem) and the bundled
    // one is used instead.
    void start();

    // Switches to the library at path, waiting for it to load. When it does not load, the library in use stays
    // and the report says why. Remembers nothing: the caller does.
    LibraryReport use(const QString& path, LibraryChoice::Source source);

    // Loads a library in a host of its own to see what it has, leaving the one in use alone.
    static LibraryReport check(const QString& path);

    // The library in use, once its load is known (loaded() says whether it is).
    const LibraryReport& library() const { return current; }
    bool loaded() const { return known; }
    LibraryChoice::Source source() const { return chosenBy; }
    // What the start-up reported, empty if nothing.
    QString startupNote() const { return note; }

    const char* call(const SatCall& call);
    ErroSAT errorRecord() const { return record; }

signals:
    void libraryChanged();
    void startupProblem(const QString& message);

private:
    SatDevice();
    void loadedAtStartup(const LibraryReport& report, LibraryChoice::Source source);
    void fail(const SatCall& call, const QString& what, bool sent);

    std::unique_ptr<DeviceBackend> backend;
    LibraryReport current;
    bool known = false;
    LibraryChoice::Source chosenBy = LibraryChoice::Source::Bundled;
    QString note;
    QByteArray answer;
    ErroSAT record {};
    bool busy = false;
    bool started = false;
};
