// Events: the compiled script of every event number, read once at start-up
// from "data/event/event.csv", and the one way to run an event by number.
#pragma once

#include <cstdint>

#include "script/script.h"

constexpr int kEventCount = 1024;

// The compiled tree of each event number; none where no script is listed.
// Number 0 is what the map and the placed objects use for "no event".
extern ScriptNode* EventScripts[kEventCount];
// The event whose last run failed (0 when the last run succeeded): it is not
// tried again, and warns no more, while it stays the last failure.
extern int32_t LastFailedEvent;

// Reads the table and compiles every script it lists, showing a progress bar;
// any error stops the program.
void ReadEventData();
// The table's rows, as ReadCsv gives them, compiled into EventScripts (which
// it clears first), with ReadEventData's checks and stops; the progress screen
// is drawn for each row when `show_progress` is set.
void CompileEventTable(char*** rows, bool show_progress);
// Frees every compiled event and its text.
void FreeEventData();
// Events may run events ("eval") this deep. Each level costs some kilobytes of
// stack besides the script's own levels, so a runaway nest is stopped well
// inside the main thread's stack, sanitizer builds included.
constexpr int kMaxEventNesting = 100;
// Runs event n; its outcome is left in RET (0 when it did not run). Past
// kMaxEventNesting it warns and runs nothing more of that nest.
void eventExec(int32_t n);
