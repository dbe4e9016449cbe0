#include "platform/win32/process.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/host/host.h"
#include "platform/win32/text.h"

namespace {

std::vector<std::string> g_args;  // UTF-8, as the process received them
std::u16string g_cmdline;
std::string g_module_path;

std::u16string QuoteArg(const std::u16string& a) {
  if (!a.empty() && a.find_first_of(u" \t\"") == std::u16string::npos) return a;
  std::u16string q = u"\"";
  size_t slashes = 0;
  for (char16_t c : a) {
    if (c == u'\\') {
      ++slashes;
    } else if (c == u'"') {
      q.append(slashes + 1, u'\\');
      slashes = 0;
    } else {
      slashes = 0;
    }
    q += c;
  }
  q.append(slashes, u'\\');
  q += u'"';
  return q;
}

}  // namespace

namespace win32 {

void SetProcessArgs(int argc, char** argv) {
  g_args.clear();
  for (int i = 0; i < argc; ++i) g_args.emplace_back(argv[i] ? argv[i] : "");
  g_cmdline.clear();
  for (size_t i = 0; i < g_args.size(); ++i) {
    if (i) g_cmdline += u' ';
    g_cmdline += QuoteArg(Utf8ToUtf16(g_args[i]));
  }
}

void SetModulePath(const char* path) {
  g_module_path.clear();
  if (!path) return;
  g_module_path = Utf8ToCp932(path);
  for (char& c : g_module_path)
    if (c == '/') c = '\\';
}

const char* ModulePath() {
  if (g_module_path.empty()) {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    SetModulePath(n > 0 ? std::string(buf, static_cast<size_t>(n)).c_str() : "/dolvicar");
  }
  return g_module_path.c_str();
}

}  // namespace win32

DWORD GetModuleFileNameA(HMODULE, char* out, DWORD size) {
  if (!out || size == 0) return 0;
  const char* p = win32::ModulePath();
  size_t n = std::strlen(p);
  if (n >= size) {
    std::memcpy(out, p, size - 1);
    out[size - 1] = '\0';
    return size;
  }
  std::memcpy(out, p, n + 1);
  return static_cast<DWORD>(n);
}

HMODULE GetModuleHandleA(const char*) {
  // One module: the program. Any non-null value names it.
  static char self;
  return reinterpret_cast<HMODULE>(&self);
}

const char16_t* GetCommandLineW() { return g_cmdline.c_str(); }

char16_t** CommandLineToArgvW(const char16_t* cmdline, int* argc) {
  if (!argc) return nullptr;
  std::vector<std::u16string> args;
  const char16_t* p = cmdline ? cmdline : u"";
  for (;;) {
    while (*p == u' ' || *p == u'\t') ++p;
    if (!*p) break;
    std::u16string a;
    bool quoted = false;
    while (*p && (quoted || (*p != u' ' && *p != u'\t'))) {
      size_t slashes = 0;
      while (*p == u'\\') ++slashes, ++p;
      if (*p == u'"') {
        a.append(slashes / 2, u'\\');
        if (slashes % 2) {
          a += u'"';
        } else if (quoted && p[1] == u'"') {
          a += u'"';  // "" inside quotes is a literal quote
          ++p;
        } else {
          quoted = !quoted;
        }
        ++p;
      } else {
        a.append(slashes, u'\\');
        if (*p && (quoted || (*p != u' ' && *p != u'\t'))) a += *p++;
      }
    }
    args.push_back(std::move(a));
  }
  // One block: the pointer array, then the strings; LocalFree releases it.
  size_t bytes = (args.size() + 1) * sizeof(char16_t*);
  for (auto& a : args) bytes += (a.size() + 1) * sizeof(char16_t);
  auto** out = static_cast<char16_t**>(std::malloc(bytes));
  if (!out) return nullptr;
  auto* text = reinterpret_cast<char16_t*>(out + args.size() + 1);
  for (size_t i = 0; i < args.size(); ++i) {
    out[i] = text;
    std::memcpy(text, args[i].c_str(), (args[i].size() + 1) * sizeof(char16_t));
    text += args[i].size() + 1;
  }
  out[args.size()] = nullptr;
  *argc = static_cast<int>(args.size());
  return out;
}

void* LocalFree(void* mem) {
  std::free(mem);
  return nullptr;
}

void ExitProcess(UINT code) {
  host::get().exit_process(static_cast<int>(code), false);
  __builtin_unreachable();
}

void TerminateProcess(UINT code) {
  host::get().exit_process(static_cast<int>(code), false);
  __builtin_unreachable();
}
