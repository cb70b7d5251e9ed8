#pragma once

#include "devicebackend.h"
#include "hostprotocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A call that has gone on for a while without an answer. The waiting handler shows it to the technician until
// `finished` (the answer came, or the host ended); only the technician ends it, with endLibrary().
class WaitingCall : public QObject {
    Q_OBJECT

public:
    // since: when the call began.
    WaitingCall(const QString& function, int session, const QElapsedTimer& since);

    const QString function; // the library function, or the loading of the library
    const int session; // 0 when not a call
    qint64 elapsedSeconds() const { return since.elapsed() / 1000; }

    // The technician's word: end the library's process, losing the call.
    void endLibrary();
    bool endedByTechnician() const { return ended; }

signals:
    void finished();

private:
    QElapsedTimer since;
    bool ended = false;
};

// The library in a host process of its own (host/), spoken to in the frames of hostprotocol.h. The host for the
// library's word size is picked from its ELF class. A crash, an exit or nonsense from the host fails the call in
// progress, never the tool; the next call starts a fresh host, which loads the library again.
class HostBackend : public QObject, public DeviceBackend {
    Q_OBJECT

public:
    HostBackend();
    ~HostBackend() override;

    // Starts the host and asks it to load the library, without waiting: `done` runs when the outcome is known,
    // from the event loop or from the next load() or call().
    void startLoading(const QString& path, std::function<void(const LibraryReport&)> done);
    LibraryReport load(const QString& path) override;
    CallOutcome call(const SatCall& call) override;

    // Shows a call that waits longer than waitingThreshold(), and returns once it finished or the technician ended
    // it. Without one, the tool simply waits.
    using WaitingHandler = std::function<void(WaitingCall&)>;
    static void setWaitingHandler(WaitingHandler handler);
    // 10 s, or SAT_BIBLIOTECA_ESPERA_MS (for tests).
    static int waitingThreshold();

    // How the host ended, in words: "falha de segmentação (sinal 11)", "código de saída 3".
    static QString describeEnd(QProcess::ExitStatus status, int code);

signals:
    // A reply to the request in progress arrived, or the host ended.
    void settled();

private:
    enum class Pending { None, Load, Call };

    bool startHost(int bits, QString& problem);
    // Ends the host; the QProcess object itself goes at the next call or with the backend, since this may run
    // inside one of its own signals.
    void stopHost();
    bool hostRunning();
    void send(const std::string& frame, Pending kind);
    void readReplies();
    void hostEnded();
    // Why no reply will come: the host's nonsense, or how its process ended.
    QString howItEnded() const;
    // Waits for the reply to the request in progress; false, with the reason, when none will come.
    bool waitForReply(const QString& function, int session, QString& failure);
    void finishLoad(const hostprotocol::LoadReply& reply);
    void failLoad(const QString& problem);
    bool ensureLoaded(QString& problem);

    std::unique_ptr<QProcess> process;
    std::vector<std::unique_ptr<QProcess>> retired;
    hostprotocol::FrameReader reader;
    quint32 sequence = 0;
    Pending pending = Pending::None;
    QString protocolError;
    std::optional<hostprotocol::CallReply> callReply;

    QString libraryPath;
    int libraryBits = 0;
    QStringList hostEnvironment; // the SAT_ variables the host was started with
    std::optional<LibraryReport> report;
    std::function<void(const LibraryReport&)> onLoaded;
};
