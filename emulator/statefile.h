#pragma once

#include "devicestate.h"

#include <string>

namespace satemu {

// Where the device's state lives and how it reaches the disk: written whole to a temporary file beside it and
// renamed over it, so that an interrupted write leaves the previous state in place.
class StateFile {
public:
    enum class Outcome { Loaded, Missing, SetAside };

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
