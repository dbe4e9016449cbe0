// The game's fatal errors and warnings.
//
// Game code formats its message into MsgBuf and stops with FatalError, which
// shows "<source>:<line>:<MsgBuf>" (kept in ErrBuf) in a stop box captioned
// "エラー" and ends the process with code 1, exit handlers included; or it warns
// with ShowWarning, which shows MsgBuf captioned "警告", empties it and goes on.
// MsgBuf also serves as a trace of the last event or picture looked at, so a
// later FatalError without a new message names it.
#pragma once

#include <cstddef>

constexpr size_t kMsgBufSize = 1024;
extern char MsgBuf[kMsgBufSize];
extern char ErrBuf[kMsgBufSize];

// printf into MsgBuf, cut to fit on a Shift-JIS character boundary. MsgBuf may
// be one of the arguments. Returns the length stored.
int FormatMsg(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `source` is __FILE__: it is shown relative to the source tree without its
// extension ("game/opening").
[[noreturn]] void FatalError(const char* source, int line);
void ShowWarning();

#define GAME_FATAL(...) (FormatMsg(__VA_ARGS__), FatalError(__FILE__, __LINE__))
#define GAME_WARNING(...) (FormatMsg(__VA_ARGS__), ShowWarning())
