#include "platform/win32/module.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "platform/acm/acm.h"
#include "platform/dsound/dsound.h"
#include "platform/ole32/com.h"
#include "platform/winmm/time.h"
#include "platform/winmm/timer.h"

struct HINSTANCE__ {
  const char* name;
  struct Export {
    const char* name;
    FARPROC fn;
  };
  const Export* exports;
  size_t count;
};

namespace {

template <typename F>
FARPROC P(F* f) {
  return reinterpret_cast<FARPROC>(f);
}

const HINSTANCE__::Export kOle32[] = {
    {"CoInitialize", P(CoInitialize)},
    {"CoUninitialize", P(CoUninitialize)},
    {"CoCreateInstance", P(CoCreateInstance)},
};
const HINSTANCE__::Export kWinmm[] = {
    {"timeGetTime", P(timeGetTime)},         {"timeBeginPeriod", P(timeBeginPeriod)},
    {"timeEndPeriod", P(timeEndPeriod)},     {"timeGetDevCaps", P(timeGetDevCaps)},
    {"timeSetEvent", P(timeSetEvent)},       {"timeKillEvent", P(timeKillEvent)},
};
const HINSTANCE__::Export kMsacm32[] = {
    {"acmFormatSuggest", P(acmFormatSuggest)},
    {"acmFormatTagDetailsA", P(acmFormatTagDetailsA)},
    {"acmStreamOpen", P(acmStreamOpen)},
    {"acmStreamClose", P(acmStreamClose)},
    {"acmStreamConvert", P(acmStreamConvert)},
    {"acmStreamPrepareHeader", P(acmStreamPrepareHeader)},
    {"acmStreamUnprepareHeader", P(acmStreamUnprepareHeader)},
    {"acmStreamSize", P(acmStreamSize)},
};
const HINSTANCE__::Export kDsound[] = {
    {"DirectSoundCreate", P(DirectSoundCreate)},
};

HINSTANCE__ g_modules[] = {
    {"ole32.dll", kOle32, std::size(kOle32)},
    {"winmm.dll", kWinmm, std::size(kWinmm)},
    {"msacm32.dll", kMsacm32, std::size(kMsacm32)},
    {"dsound.dll", kDsound, std::size(kDsound)},
};

std::mutex g_mutex;
std::set<std::string> g_missing_libraries;
std::set<std::string> g_missing_procs;  // "library!proc"
int g_loads[std::size(g_modules)] = {};

// Library names ignore case, and ".dll" may be left out.
std::string Canonical(const char* name) {
  std::string s = name ? name : "";
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (s.find('.') == std::string::npos) s += ".dll";
  return s;
}

HINSTANCE__* Find(const char* name) {
  std::string n = Canonical(name);
  for (auto& m : g_modules)
    if (n == m.name) return &m;
  return nullptr;
}

size_t Index(HMODULE m) {
  for (size_t i = 0; i < std::size(g_modules); ++i)
    if (m == &g_modules[i]) return i;
  return std::size(g_modules);
}

}  // namespace

HMODULE LoadLibraryA(const char* name) {
  HINSTANCE__* m = Find(name);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!m || g_missing_libraries.count(m->name)) return nullptr;
  ++g_loads[Index(m)];
  return m;
}

BOOL FreeLibrary(HMODULE module) {
  std::lock_guard<std::mutex> lock(g_mutex);
  size_t i = Index(module);
  if (i == std::size(g_modules) || g_loads[i] == 0) return FALSE;
  --g_loads[i];
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  size_t i = Index(module);
  if (i == std::size(g_modules) || !name || g_loads[i] == 0) return nullptr;
  if (g_missing_procs.count(std::string(module->name) + "!" + name)) return nullptr;
  for (size_t k = 0; k < module->count; ++k)
    if (std::strcmp(module->exports[k].name, name) == 0) return module->exports[k].fn;
  return nullptr;
}

namespace platform {

void set_library_available(const char* library, bool available) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string n = Canonical(library);
  if (available)
    g_missing_libraries.erase(n);
  else
    g_missing_libraries.insert(n);
}

void set_proc_available(const char* library, const char* proc, bool available) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string key = Canonical(library) + "!" + (proc ? proc : "");
  if (available)
    g_missing_procs.erase(key);
  else
    g_missing_procs.insert(key);
}

void reset_libraries() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_missing_libraries.clear();
  g_missing_procs.clear();
}

int library_load_count(const char* library) {
  HINSTANCE__* m = Find(library);
  std::lock_guard<std::mutex> lock(g_mutex);
  return m ? g_loads[Index(m)] : 0;
}

}  // namespace platform
