#pragma once

// The device library in the main window: the status bar says which library is in use, a button beside it opens
// "Biblioteca do SAT" to choose another, a start-up problem is reported once, and a call that takes long shows
// "Aguardando a resposta do SAT...". None of it touches the form's own widgets.

#include "devicebackend.h"
#include "librarychoice.h"

#include <QString>

class QMainWindow;
class QWidget;

// The status bar's text for the library in use.
QString libraryStatusText(const LibraryReport& library, bool loaded, LibraryChoice::Source source,
                          const QString& startupNote);

// Adds the status bar's text and button to window, keeps them up to date, and installs the waiting window.
void installLibraryControls(QMainWindow* window);

// Starts choosing and loading the device library once window has painted itself for the first time, so that the
// host's start costs the window's opening nothing; a command made before then waits for the load.
void startLibraryOnceShown(QWidget* window);
