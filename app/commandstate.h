#pragma once

// State that the command slots share. Plain globals, touched only on the GUI
// thread: one command runs at a time, inside its slot, so nothing needs a lock.

// Activation subcommand: 1 AC-SAT, 2 ICP-BRASIL, 3 renewal of the ICP-BRASIL certificate.
extern int subcommand;

// State code (IBGE) sent with the activation.
extern int cUF;

// Answer of the latest library call; owned by the library and valid only until
// the next call, so a command reads it only after its own call.
extern const char* lastAnswer;

// Set when the activation-code prompt was dismissed since a command last cleared it.
extern bool dialogRejected;

// The activation code of a device that is not yet activated.
extern const char DefaultActivationCode[];
