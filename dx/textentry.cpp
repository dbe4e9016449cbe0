#include "dx/textentry.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "dx/bitmap.h"
#include "dx/blit.h"
#include "dx/capture.h"
#include "dx/color.h"
#include "dx/display.h"
#include "dx/input.h"
#include "dx/pump.h"
#include "dx/shell.h"
#include "dx/target.h"
#include "dx/text.h"
#include "platform/win32/sysparams.h"
#include "platform/win32/text.h"
#include "platform/winmm/time.h"

HIMC dximecontext = nullptr;
BYTE dximeopen = 0;

namespace {

constexpr int kDikEscape = 1, kDikBackspace = 14, kDikEnter = 28, kDikHome = 199, kDikLeft = 203,
              kDikRight = 205, kDikEnd = 207, kDikDelete = 211;

// Text in either encoding, as the editors and the composition drawing use it.
template <class T>
struct Text;

template <>
struct Text<char> {
  static char Get() { return dxgetchar(); }
  static int Width(const std::string& s) { return dxtextwidth(s.c_str()); }
  static void Out(int x, int y, const std::string& s, uint32_t pixel) { dxtextout(x, y, s.c_str(), pixel); }
  static size_t Length(const char* s) { return std::strlen(s); }
  static bool Lead(char c) { return win32::IsLeadByte(static_cast<uint8_t>(c)); }
};

template <>
struct Text<char16_t> {
  static char16_t Get() { return dxgetwchar(); }
  static int Width(const std::u16string& s) { return dxtextwidthw(s.c_str()); }
  static void Out(int x, int y, const std::u16string& s, uint32_t pixel) { dxtextoutw(x, y, s.c_str(), pixel); }
  static size_t Length(const char16_t* s) { return win32::WideLength(s); }
  static bool Lead(char16_t) { return false; }
};

// Units of the character that starts at i (2 for a double-byte one that is whole).
template <class T>
size_t CharUnits(const T* s, size_t i, size_t len) {
  return Text<T>::Lead(s[i]) && i + 1 < len ? 2 : 1;
}

// The start of the character before offset `at`, found from the start of the
// text: a trail byte may look like a lead byte, so looking back is not enough.
template <class T>
size_t PrevChar(const T* s, size_t at, size_t len) {
  size_t i = 0, prev = 0;
  while (i < at) {
    prev = i;
    i += CharUnits(s, i, len);
  }
  return prev;
}

// The initial text, cut to `size` - 1 units without splitting a character.
template <class T>
void CopyInitial(T* buffer, int size, const T* initial) {
  size_t len = 0;
  if (initial) {
    size_t n = Text<T>::Length(initial);
    const size_t room = static_cast<size_t>(size - 1);
    while (len < n) {
      size_t u = Text<T>::Lead(initial[len]) ? 2 : 1;
      if (len + u > std::min(n, room)) break;
      len += u;
    }
    std::copy(initial, initial + len, buffer);
  }
  buffer[len] = 0;
}

struct Repeat {
  int key = 0;
  DWORD when = 0;
};
Repeat g_repeat, g_repeatw;

void RepeatTimes(DWORD& delay, DWORD& interval) {
  delay = 500;
  interval = 50;
  UINT d = 0, s = 0;
  if (SystemParametersInfoA(SPI_GETKEYBOARDDELAY, 0, &d, 0)) delay = 250 * (std::min<UINT>(d, 3) + 1);
  if (SystemParametersInfoA(SPI_GETKEYBOARDSPEED, 0, &s, 0)) {
    // 0 is about 2.5 repeats a second, 31 about 30, evenly between.
    double rate = 2.5 + std::min<UINT>(s, 31) * (27.5 / 31.0);
    interval = static_cast<DWORD>(1000.0 / rate + 0.5);
  }
}

bool MouseHeld(bool* left, bool* right) {
  int l = 0, r = 0;
  dxgetmouse(nullptr, nullptr, &l, nullptr, &r, nullptr, nullptr, nullptr);
  if (left) *left = l != 0;
  if (right) *right = r != 0;
  return l || r;
}

template <class T>
bool InputLine(int x, int y, int width, T* buffer, int size, const T* initial, uint32_t pixel, Repeat& rep) {
  using S = std::basic_string<T>;
  if (!buffer || size < 1) return false;
  const int h = dxfontheight();
  dx::bitmap* screen = dxcapture(0, 0, dxscreenwidth, dxscreenheight, true);
  CopyInitial(buffer, size, initial);
  const S saved = buffer;
  size_t len = saved.size();
  size_t cursor = len;
  // The field may be placed and sized anywhere in the 32-bit range: the
  // scroll and the pen are worked out wide, and a pen beyond the range is
  // held at its end, past which the text lies off the screen either way.
  auto held = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  int64_t scroll = std::max<int64_t>(0, int64_t{Text<T>::Width(saved)} - width - 2);

  dxclearchars();
  dximeon();
  while (MouseHeld(nullptr, nullptr)) dxupdate();

  DWORD delay, interval;
  RepeatTimes(delay, interval);

  bool accepted = false;
  bool composed = false;
  for (;;) {
    const int64_t cw = Text<T>::Width(S(buffer, cursor));
    if (cw < scroll + 8)
      scroll = std::max<int64_t>(0, cw - 8);
    else if (cw > scroll + width - 4)
      scroll = cw - width + 4;

    if (screen) dxbltnokey(screen, 0, 0);
    dxsetclip(x, y, width, h);
    Text<T>::Out(held(x - scroll), y, S(buffer, len), pixel);
    dxinvertrect(held(x + cw - scroll), y, 2, h);
    dxresetclip();
    dxdrawime(held(x + cw - scroll), y);
    dxupdate();

    // Typed characters go in at the cursor while they fit.
    for (T c = Text<T>::Get(); c != 0; c = Text<T>::Get()) {
      if (static_cast<std::make_unsigned_t<T>>(c) < 32) continue;
      T unit[2] = {c, 0};
      size_t n = 1;
      if (Text<T>::Lead(c)) {
        unit[1] = Text<T>::Get();
        if (unit[1] == 0) break;  // a lead byte without its trail is no character
        n = 2;
      }
      if (len + n > static_cast<size_t>(size - 1)) continue;
      std::copy_backward(buffer + cursor, buffer + len + 1, buffer + len + 1 + n);
      std::copy(unit, unit + n, buffer + cursor);
      cursor += n;
      len += n;
    }

    if (dximecomposing()) {
      composed = true;
      continue;
    }
    if (!composed) {
      // The Enter that confirmed a composition does not also accept the line.
      bool left = false, right = false;
      MouseHeld(&left, &right);
      if (dxkeydown(kDikEscape) || right) break;
      if (dxkeydown(kDikEnter) || left) {
        accepted = true;
        break;
      }
    }
    composed = false;

    const int k = dxgetlastkey();
    const DWORD now = timeGetTime();
    bool act = false;
    if (k != rep.key) {
      rep.key = k;
      rep.when = now + delay;
      act = true;
    } else if (static_cast<int32_t>(rep.when - now) < 1) {
      rep.when = now + interval;
      act = true;
    }
    if (!act) continue;
    switch (k) {
      case kDikLeft:
        if (cursor > 0) cursor = PrevChar(buffer, cursor, len);
        break;
      case kDikRight:
        if (cursor < len) cursor += CharUnits(buffer, cursor, len);
        break;
      case kDikHome: cursor = 0; break;
      case kDikEnd: cursor = len; break;
      case kDikDelete:
        if (cursor < len) {
          size_t n = CharUnits(buffer, cursor, len);
          std::copy(buffer + cursor + n, buffer + len + 1, buffer + cursor);
          len -= n;
        }
        break;
      case kDikBackspace:
        if (cursor > 0) {
          size_t from = PrevChar(buffer, cursor, len);
          std::copy(buffer + cursor, buffer + len + 1, buffer + from);
          len -= cursor - from;
          cursor = from;
        }
        break;
      default: break;
    }
  }

  if (screen) {
    dxbltnokey(screen, 0, 0);
    dxdeletebitmap(screen);
  }
  dximeoff();
  if (!accepted) CopyInitial(buffer, size, saved.c_str());
  return accepted;
}

void ReleaseIme() {
  if (!dximecontext) return;
  if (dxmainwindow) ImmAssociateContext(dxmainwindow, nullptr);
  ImmDestroyContext(dximecontext);
  dximecontext = nullptr;
}

// Draws a composition of n units with its attributes and clause offsets.
template <class T>
void DrawComposition(int x, int y, const T* s, size_t n, const uint8_t* attr, size_t nattr, const DWORD* clause,
                     size_t nclause, LONG cursor) {
  using S = std::basic_string<T>;
  // Wide sums, held in range at the end: the composition may be placed anywhere.
  auto held = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  const int h = dxfontheight();
  const int64_t total = Text<T>::Width(S(s, n));
  const int64_t c = static_cast<int64_t>(nclause);
  dxfillrect(held(int64_t{x} - 2), held(int64_t{y} - 2), held(total + 4 * c + 2), h + 4, dxrgb(192, 192, 192));
  dxfillrect(held(int64_t{x} - 1), held(int64_t{y} - 1), held(total + 4 * c), h + 2, dxrgb(255, 255, 255));
  int64_t cx = x;
  int64_t candidate_x = x;
  bool target = false;
  for (size_t i = 0; i < nclause; ++i) {
    // Offsets outside the string or out of order are held to it.
    size_t a = std::min<size_t>(clause[i], n), b = std::min<size_t>(clause[i + 1], n);
    if (b < a) b = a;
    const S part(s + a, b - a);
    const int width = Text<T>::Width(part);
    uint32_t bg = dxrgb(255, 255, 255), fg = dxrgb(0, 0, 0);
    bool underline = true;
    switch (a < nattr ? attr[a] & 0x0F : 0) {
      case ATTR_TARGET_CONVERTED:
        bg = dxrgb(0, 0, 255);
        fg = dxrgb(255, 255, 255);
        candidate_x = cx;
        target = true;
        break;
      case ATTR_INPUT_ERROR: fg = dxrgb(255, 0, 0); break;
      case ATTR_FIXEDCONVERTED: underline = false; break;
      default: break;
    }
    dxfillrect(held(cx), y, width, h, bg);
    Text<T>::Out(held(cx), y, part, fg);
    if (underline) dxfillrect(held(cx), held(int64_t{y} + h - 1), width, 1, fg);
    cx += int64_t{width} + 4;
  }
  if (!target) {
    size_t p = std::min<size_t>(static_cast<size_t>(cursor) & 0xFFFF, n);
    dxinvertrect(held(int64_t{x} + Text<T>::Width(S(s, p))), y, 2, h);
  }
  // The candidate list goes under the composition (client coordinates), at the
  // clause being converted, else at the composition's start.
  CANDIDATEFORM form{};
  form.dwIndex = 0;
  form.dwStyle = CFS_CANDIDATEPOS;
  form.ptCurrentPos = {held(candidate_x), y};
  form.rcArea = {held(candidate_x), y, held(candidate_x + 1), held(int64_t{y} + h)};
  ImmSetCandidateWindow(dximecontext, &form);
}

}  // namespace

char dxgetchar() {
  if (dxcharqueue.empty()) {
    if (dxwcharqueue.empty()) return 0;
    std::u16string wide(dxwcharqueue.begin(), dxwcharqueue.end());
    dxwcharqueue.clear();
    std::string bytes = win32::Utf16ToCp932(wide);
    dxcharqueue.insert(dxcharqueue.end(), bytes.begin(), bytes.end());
    if (dxcharqueue.empty()) return 0;
  }
  char c = static_cast<char>(dxcharqueue.front());
  dxcharqueue.pop_front();
  return c;
}

char16_t dxgetwchar() {
  if (dxwcharqueue.empty()) {
    if (dxcharqueue.empty()) return 0;
    std::string bytes(dxcharqueue.begin(), dxcharqueue.end());
    dxcharqueue.clear();
    std::u16string wide = win32::Cp932ToUtf16(bytes);
    dxwcharqueue.insert(dxwcharqueue.end(), wide.begin(), wide.end());
    if (dxwcharqueue.empty()) return 0;
  }
  char16_t c = dxwcharqueue.front();
  dxwcharqueue.pop_front();
  return c;
}

void dxclearchars() {
  dxcharqueue.clear();
  dxwcharqueue.clear();
}

void dximeon() {
  if (!dximecontext) {
    dximecontext = ImmCreateContext();
    dxaddreleasehook(ReleaseIme);
  }
  ImmAssociateContext(dxmainwindow, dximecontext);
  COMPOSITIONFORM form{};
  form.dwStyle = CFS_DEFAULT;
  ImmSetCompositionWindow(dximecontext, &form);
  ImmSetOpenStatus(dximecontext, dximeopen);
}

void dximeoff() {
  ImmAssociateContext(dxmainwindow, nullptr);
  if (!dximecontext) return;
  dximeopen = ImmGetOpenStatus(dximecontext) != 0;
  ImmNotifyIME(dximecontext, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
  ImmSetOpenStatus(dximecontext, FALSE);
}

bool dximecomposing() {
  if (!dximecontext) return false;
  DWORD clause[1000];
  return ImmGetCompositionStringA(dximecontext, GCS_COMPCLAUSE, clause, sizeof(clause)) >= 1;
}

void dxdrawime(int x, int y) {
  if (!dximecontext) return;
  COMPOSITIONFORM hidden{};
  hidden.dwStyle = CFS_RECT;
  hidden.ptCurrentPos = {-1, -1};
  hidden.rcArea = {-1, -1, 0, 0};
  ImmSetCompositionWindow(dximecontext, &hidden);

  uint8_t attr[1000];
  DWORD clause[1000];
  char16_t wide[1000];
  LONG bytes = ImmGetCompositionStringW(dximecontext, GCS_COMPSTR, wide, sizeof(wide));
  if (bytes == 0) return;
  if (bytes > 0) {
    LONG na = std::max<LONG>(0, ImmGetCompositionStringW(dximecontext, GCS_COMPATTR, attr, sizeof(attr)));
    LONG nc = std::max<LONG>(0, ImmGetCompositionStringW(dximecontext, GCS_COMPCLAUSE, clause, sizeof(clause)));
    LONG cursor = ImmGetCompositionStringW(dximecontext, GCS_CURSORPOS, nullptr, 0);
    size_t clauses = nc / 4 > 0 ? nc / 4 - 1 : 0;
    DrawComposition(x, y, wide, static_cast<size_t>(bytes) / 2, attr, static_cast<size_t>(na), clause, clauses,
                    cursor);
    return;
  }
  char narrow[1000];
  bytes = ImmGetCompositionStringA(dximecontext, GCS_COMPSTR, narrow, sizeof(narrow));
  if (bytes < 1) return;
  LONG na = std::max<LONG>(0, ImmGetCompositionStringA(dximecontext, GCS_COMPATTR, attr, sizeof(attr)));
  LONG nc = std::max<LONG>(0, ImmGetCompositionStringA(dximecontext, GCS_COMPCLAUSE, clause, sizeof(clause)));
  LONG cursor = ImmGetCompositionStringA(dximecontext, GCS_CURSORPOS, nullptr, 0);
  size_t clauses = nc / 4 > 0 ? nc / 4 - 1 : 0;
  DrawComposition(x, y, narrow, static_cast<size_t>(bytes), attr, static_cast<size_t>(na), clause, clauses,
                  cursor);
}

bool dxinputline(int x, int y, int width, char* buffer, int size, const char* initial, uint32_t pixel) {
  return InputLine(x, y, width, buffer, size, initial, pixel, g_repeat);
}

bool dxinputlinew(int x, int y, int width, char16_t* buffer, int size, const char16_t* initial,
                  uint32_t pixel) {
  return InputLine(x, y, width, buffer, size, initial, pixel, g_repeatw);
}
