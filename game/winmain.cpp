// The program's entry after the platform's own: the game's start-up, then the
// title loop, which ends only through the program's end.
#include "game/main.h"
#include "platform/win32/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitGame();
  TitleLoop();
}
