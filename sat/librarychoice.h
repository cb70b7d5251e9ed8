#pragma once

// Which device library the tool uses, first match wins: the file named by SAT_BIBLIOTECA (scripts, tests); the
// one the technician chose, remembered in the user's configuration folder; the bundled one, beside the executable
// in the build tree or in the private library directory once installed, where a vendor's library dropped in its
// place replaces the emulator. The host programs are found the same way.

#include <QString>

struct LibraryChoice {
    enum class Source { Environment, Remembered, Bundled };
    Source source = Source::Bundled;
    QString path;
};

LibraryChoice chooseLibrary();

// The bundled library's path, where it would be even if it is not there.
QString bundledLibraryPath();

// A program or library that ships beside the executable, or in the private directory once installed; the path it
// would have in the private directory when it is in neither place.
QString privateFilePath(const QString& name);

// The technician's choice, kept across runs; forgetting it goes back to the bundled library. This is the only
// setting the tool keeps.
QString rememberedLibrary();
void rememberLibrary(const QString& path);
void forgetLibrary();

// Whether SAT_BIBLIOTECA_ISOLADA=0 asks for the library in the tool's own process (for a debugger, and for tests
// that record calls inside the tool); otherwise it runs in a host process.
bool libraryInOwnProcess();
