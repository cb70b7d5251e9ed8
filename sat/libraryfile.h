#pragma once

// What the tool can tell of a library file without running any of its code, and the loader's refusals in words a
// technician can act on.

#include <QString>

struct LibraryFile {
    bool usable = false; // a shared library this machine can load, as far as its header says
    int bits = 0; // 32 or 64 for an ELF file, else 0
    QString problem; // in Portuguese, when not usable: "não é uma biblioteca compartilhada...", ...
};

// Reads the file's header: that it exists and can be read, that it is an ELF shared object, its class and its
// processor. Says nothing of its dependencies, which only loading it reveals.
LibraryFile inspectLibraryFile(const QString& path);

// The loader's message (dlerror's text), in Portuguese: a missing dependency named, a missing symbol, a file of
// another class or processor. Anything else is given with the loader's own words.
QString explainLoadError(const QString& loaderMessage);
