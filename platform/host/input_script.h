// Input for the headless host read from text, so that a run of the real
// program (a child process of a test, a replay) can be played without a window.
//
// One event a line, "#" starts a comment line, blank lines are skipped:
//   FRAME press KEY    key down at FRAME, up one frame later
//   FRAME down KEY     key down
//   FRAME up KEY       key up
//   FRAME text TEXT    typed text (UTF-8, the rest of the line)
//   FRAME close        the user closes the window
// FRAME counts presented frames (0 = at once); "+N" is N frames after the
// previous line's frame. KEY is a name (A to Z, 0 to 9, F1 to F12, Return,
// Escape, Backspace, Tab, Space, Insert, Home, PageUp, Delete, End, PageDown,
// Right, Left, Down, Up, KpEnter, LCtrl, LShift, LAlt, RCtrl, RShift, RAlt) or
// a scancode number (1 to 511).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/host.h"

namespace host {

class HeadlessHost;

struct ScriptedEvent {
  uint64_t frame;
  Event event;
};

// The latest frame a script may name (about 5,000 years at 60 frames a second).
constexpr uint64_t kMaxScriptFrame = 10'000'000'000'000ull;

// Reads a whole script; on bad input false, with the line and what is wrong in
// `error`, and `out` unchanged.
bool ParseInputScript(std::string_view text, std::vector<ScriptedEvent>& out, std::string& error);

// Reads the script file at `path` (a host path) into the host's input.
bool LoadInputScript(HeadlessHost& host, const std::string& path, std::string& error);

}  // namespace host
