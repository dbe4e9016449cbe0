// The process entry: chooses the host, records the arguments and enters WinMain.
// The game runs in an SDL2 window unless DOLVICAR_HEADLESS is set (to anything
// but "0"), when it runs on the headless host with a virtual clock; there
// DOLVICAR_INPUT may name a file of scripted input (platform/host/input_script.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/host/headless_host.h"
#include "platform/host/input_script.h"
#include "platform/host/sdl_host.h"
#include "platform/win32/process.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdline, int show);

namespace {

// The host is made before anything registers an exit handler, so it goes after
// all of them, when the timer thread has stopped. Its audio device stops first,
// waiting for a mix in progress, so the mixer never meets a host going away;
// then it is uninstalled: whatever asks for the host after that gets the
// stand-in, never a deleted one.
struct OwnedHost {
  std::unique_ptr<host::Host> h;
  ~OwnedHost() {
    if (h) h->close_audio();
    host::set(nullptr);
    h.reset();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char* headless = std::getenv("DOLVICAR_HEADLESS");
  static OwnedHost owner;
  std::unique_ptr<host::Host>& owned = owner.h;
  if (headless && *headless && std::strcmp(headless, "0") != 0) {
    auto h = std::make_unique<host::HeadlessHost>();
    const char* input = std::getenv("DOLVICAR_INPUT");
    std::string error;
    if (input && *input && !host::LoadInputScript(*h, input, error)) {
      std::fprintf(stderr, "DOLVICAR_INPUT: %s\n", error.c_str());
      return 2;
    }
    owned = std::move(h);
  } else {
    owned = host::MakeSdlHost();
  }
  host::set(owned.get());
  win32::SetProcessArgs(argc, argv);
  static char empty[] = "";
  return WinMain(GetModuleHandleA(nullptr), nullptr, empty, 1);
}
