// Ctrl-C during a run. The first one lets the call in progress finish (a printer must never be
// left in the middle of an exchange) and stops the run before the next item; a second one ends
// the program at once.
#pragma once

#include <cstdio>

namespace drvkeltor {

constexpr int kExitInterrupted = 130;  // as a shell reports a program ended by SIGINT

// Takes SIGINT over for the rest of the program. While a run goes on, a note on `err` tells that
// the run will stop after the call in progress.
void CatchInterrupt(std::FILE* err);
// Gives SIGINT back to the system and stops the note.
void ReleaseInterrupt();
// True once Ctrl-C was pressed (or RequestInterrupt called).
bool Interrupted();
// As if Ctrl-C had been pressed once (for the sales test's observer and for tests).
void RequestInterrupt();

}  // namespace drvkeltor
