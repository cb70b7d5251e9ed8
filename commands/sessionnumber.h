#pragma once

#include <QtGlobal>

// Session numbers for the library calls. A device remembers its recent
// sessions and takes a repeated number as a repeat, so the generator never
// returns one of the last 100 numbers it drew, and it is seeded once per run
// from a non-deterministic source so that runs do not repeat each other.

constexpr int RecentSessionCount = 100;

// Empties the ring of recent numbers (all zero, next slot 0).
void clearRecentSessions();

// Restarts the generator from a fixed seed, so that tests get a known sequence.
void seedSessionNumbers(quint32 seed);

// The ring as it stands, oldest slot first in storage order, and its next slot.
const int* recentSessions();
int nextRecentSessionSlot();
