#pragma once

#include "devicestate.h"

#include <cstdint>
#include <string>

namespace satemu {

// Programs that load the emulator at the same time share one device: each call holds an exclusive flock on
// "<state>.lock" from reading the state to writing it, so that no two read-modify-writes interleave. The lock file
// stays (removing it would let two processes lock two different files).
class StateLock {
public:
    explicit StateLock(const std::string& statePath);
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

    bool held() const { return m_descriptor >= 0; }
    // Why it is not held; empty when it is.
    const std::string& error() const { return m_error; }

private:
    int m_descriptor = -1;
    std::string m_error;
};

// Where the device's state lives and how it reaches the disk: written whole to a temporary file beside it, synced,
// renamed over it and the folder synced, so that neither an interrupted write nor a power cut loses the state.
class StateFile {
public:
    enum class Outcome { Loaded, Missing, SetAside };

    // What tells one write of the file from another: every write renames a new file over it.
    struct Version {
        bool exists = false;
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedNs = 0;
        int64_t changedNs = 0;
        bool operator==(const Version& other) const;
        bool operator!=(const Version& other) const { return !(*this == other); }
    };
    static Version version(const std::string& path);

    // SAT_EMULADOR_ESTADO, else $XDG_DATA_HOME/sat-emulador/estado.txt, else ~/.local/share/sat-emulador/estado.txt.
    static std::string pathFromEnvironment();
    static std::string siblingPath(const std::string& path, const std::string& name);

    // An unreadable file is renamed to "<path>.ilegivel-AAAAMMDDhhmmss" (never deleted); note then says why and
    // where it went, and state is left as it was given.
    static Outcome load(const std::string& path, DeviceState& state, const std::string& stamp, std::string& note);
    static bool save(const std::string& path, const DeviceState& state, std::string& error);
    // Removes the temporary files that a process killed while writing path, or sibling beside it, left there (its
    // own pid or one no longer running); returns how many.
    static int removeLeftovers(const std::string& path, const std::string& sibling);
    static bool writeAtomically(const std::string& path, const std::string& content, std::string& error);
};

} // namespace satemu
