// The program's entry after the platform's own: the game's start-up, then the
// title loop, which ends only through the program's end.
#include "dx/shell.h"
#include "game/main.h"
#include "platform/win32/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitGame();
  SetClassLongA(dxgetwindow(), GCL_HICON, reinterpret_cast<LONG_PTR>(LoadIconA(instance, MAKEINTRESOURCEA(101))));
  TitleLoop();
}
