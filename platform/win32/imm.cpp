#include "platform/win32/imm.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"

struct HIMC__ {
  bool open = false;
  std::u16string composition;
  int cursor = 0;  // in UTF-16 units
  int selected = 0;  // UTF-16 units from the caret on that the input method converts
  std::u16string result;
  bool ended = false;  // a composition ended and its text may still be committed
  COMPOSITIONFORM comp{};
  CANDIDATEFORM cand{};
};

namespace {

// Never destroyed: the layer's exit handler destroys its context after the
// function-local statics made since start-up are gone.
std::set<HIMC>& Contexts() {
  static auto* s = new std::set<HIMC>;
  return *s;
}
std::map<HWND, HIMC>& Associations() {
  static auto* m = new std::map<HWND, HIMC>;
  return *m;
}

bool Valid(HIMC h) { return h && Contexts().count(h); }

HIMC HostContext() {
  HWND w = win32::HostWindow();
  if (!w) return nullptr;
  auto it = Associations().find(w);
  return it == Associations().end() ? nullptr : it->second;
}

// Throws away what the host's input method is composing: stopping text input
// cancels its composition; text input stays on for plain typing.
void CancelHostComposition() {
  host::Host& h = host::get();
  h.stop_text_input();
  h.start_text_input();
}

// The caret of a UTF-8 composition, counted in code points, as UTF-16 units.
int CursorUnits(const std::string& utf8, int code_points) {
  int cp = 0;
  size_t i = 0;
  for (; i < utf8.size() && cp < code_points; ++cp) {
    uint8_t b = static_cast<uint8_t>(utf8[i]);
    i += b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  }
  return static_cast<int>(win32::Utf8ToUtf16(utf8.substr(0, std::min(i, utf8.size()))).size());
}

void OnHostEvent(const host::Event& e) {
  HIMC h = HostContext();
  if (!h) return;
  switch (e.type) {
    case host::EventType::Composition:
      if (!e.text.empty()) {
        // The host's input method composes: it is open.
        h->open = true;
        h->composition = win32::Utf8ToUtf16(e.text);
        h->cursor = std::clamp(CursorUnits(e.text, e.cursor), 0, static_cast<int>(h->composition.size()));
        if (e.length > 0) {
          // The host's numbers are its own: a selection past the text ends with it.
          const int64_t end = int64_t{e.cursor} + e.length;
          h->selected = CursorUnits(e.text, static_cast<int>(std::min<int64_t>(end, INT32_MAX))) - h->cursor;
        } else {
          h->selected = 0;
        }
        h->ended = false;
      } else if (!h->composition.empty()) {
        h->composition.clear();
        h->cursor = 0;
        h->ended = true;
      }
      break;
    case host::EventType::KeyDown: h->ended = false; break;
    default: break;
  }
}

// Delivers a result string to the window it belongs to.
void SendResult(HWND w, HIMC h, std::u16string text) {
  h->composition.clear();
  h->cursor = 0;
  h->ended = false;
  h->result = std::move(text);
  if (h->result.empty()) return;
  SendMessageA(w, WM_IME_COMPOSITION, h->result.back(), static_cast<LPARAM>(GCS_RESULTSTR));
  if (Valid(h)) h->result.clear();
}

bool OnHostText(HWND w, const host::Event& e) {
  HIMC h = HostContext();
  if (!h || (h->composition.empty() && !h->ended)) return false;
  SendResult(w, h, win32::Utf8ToUtf16(e.text));
  return true;
}

void Install() {
  static bool done = false;
  if (done) return;
  done = true;
  win32::AddHostEventListener(OnHostEvent);
  win32::SetHostTextFilter(OnHostText);
}

// The clauses of a composition of n units: what the host's input method has
// selected, units [a, b), is the clause being converted; the text before and
// after it is plain input. Without a selection the whole is one clause.
struct Clauses {
  std::vector<DWORD> offsets;
  std::string attr;  // one per unit
};

Clauses Layout(size_t a, size_t b, size_t n) {
  Clauses c;
  c.offsets.push_back(0);
  if (a < b) {
    for (size_t cut : {a, b})
      if (cut > c.offsets.back() && cut < n) c.offsets.push_back(cut);
  }
  c.offsets.push_back(static_cast<DWORD>(n));
  c.attr.assign(n, static_cast<char>(ATTR_INPUT));
  if (a < b) std::fill(c.attr.begin() + a, c.attr.begin() + b, static_cast<char>(ATTR_TARGET_CONVERTED));
  return c;
}

// The selection of a context as units [a, b) of its UTF-16 composition.
void Selection(HIMC h, size_t& a, size_t& b) {
  a = std::min<size_t>(h->cursor, h->composition.size());
  b = a + std::clamp<size_t>(h->selected > 0 ? h->selected : 0, 0, h->composition.size() - a);
}

// Copies `n` bytes of `src` (or reports the size when bytes is 0).
LONG Give(const void* src, size_t n, void* buf, DWORD bytes) {
  if (bytes == 0 || !buf) return static_cast<LONG>(n);
  size_t k = std::min<size_t>(n, bytes);
  if (k) std::memcpy(buf, src, k);
  return static_cast<LONG>(k);
}

}  // namespace

HIMC ImmCreateContext() {
  Install();
  HIMC h = new HIMC__;
  Contexts().insert(h);
  return h;
}

BOOL ImmDestroyContext(HIMC himc) {
  if (!Valid(himc)) return FALSE;
  for (auto it = Associations().begin(); it != Associations().end();)
    it = it->second == himc ? Associations().erase(it) : std::next(it);
  Contexts().erase(himc);
  delete himc;
  return TRUE;
}

HIMC ImmAssociateContext(HWND w, HIMC himc) {
  if (!w || (himc && !Valid(himc))) return nullptr;
  HIMC old = nullptr;
  auto it = Associations().find(w);
  if (it != Associations().end()) old = it->second;
  if (himc)
    Associations()[w] = himc;
  else if (it != Associations().end())
    Associations().erase(it);
  if (w == win32::HostWindow() && old != himc) {
    // A composition belongs to the context it began in.
    if (old && !old->composition.empty()) {
      old->composition.clear();
      CancelHostComposition();
    }
    if (himc) host::get().start_text_input();
  }
  return old;
}

HIMC ImmGetContext(HWND w) {
  auto it = Associations().find(w);
  return it == Associations().end() ? nullptr : it->second;
}

BOOL ImmReleaseContext(HWND, HIMC) { return TRUE; }

BOOL ImmSetOpenStatus(HIMC himc, BOOL open) {
  if (!Valid(himc)) return FALSE;
  himc->open = open != 0;
  if (!himc->open && !himc->composition.empty()) {
    himc->composition.clear();
    himc->cursor = 0;
    if (himc == HostContext()) CancelHostComposition();
  }
  return TRUE;
}

BOOL ImmGetOpenStatus(HIMC himc) { return Valid(himc) && himc->open ? TRUE : FALSE; }

BOOL ImmSetCompositionWindow(HIMC himc, const COMPOSITIONFORM* form) {
  if (!Valid(himc) || !form) return FALSE;
  himc->comp = *form;
  return TRUE;
}

BOOL ImmSetCandidateWindow(HIMC himc, const CANDIDATEFORM* form) {
  if (!Valid(himc) || !form || form->dwIndex >= 4) return FALSE;
  himc->cand = *form;
  if (himc == HostContext() && form->dwIndex == 0 && (form->dwStyle & (CFS_CANDIDATEPOS | CFS_EXCLUDE)))
  {
    // The host places its list under a rectangle: the area when one is given.
    // Client coordinates lie below a menu bar in the host's picture.
    const RECT& r = form->rcArea;
    RECT area{0, 0, 0, 0};
    POINT o{0, 0};
    const HWND w = win32::HostWindow();
    const int top = win32::WindowArea(w, &area) && ClientToScreen(w, &o) ? o.y - area.top : 0;
    if (r.right > r.left && r.bottom > r.top)
      host::get().set_text_input_rect(r.left, r.top + top, r.right - r.left, r.bottom - r.top);
    else
      host::get().set_text_input_rect(form->ptCurrentPos.x, form->ptCurrentPos.y + top, 1, 1);
  }
  return TRUE;
}

BOOL ImmNotifyIME(HIMC himc, DWORD action, DWORD index, DWORD value) {
  (void)value;
  if (!Valid(himc) || action != NI_COMPOSITIONSTR) return FALSE;
  if (index == CPS_CANCEL) {
    himc->ended = false;
    if (!himc->composition.empty()) {
      himc->composition.clear();
      himc->cursor = 0;
      if (himc == HostContext()) CancelHostComposition();
    }
    return TRUE;
  }
  if (index == CPS_COMPLETE) {
    if (himc->composition.empty()) return TRUE;
    HWND w = nullptr;
    for (auto& [win, ctx] : Associations())
      if (ctx == himc) w = win;
    std::u16string text = himc->composition;
    if (himc == HostContext()) CancelHostComposition();
    if (w)
      SendResult(w, himc, std::move(text));
    else
      himc->composition.clear();
    return TRUE;
  }
  return FALSE;
}

LONG ImmGetCompositionStringW(HIMC himc, DWORD index, void* buf, DWORD bytes) {
  if (!Valid(himc)) return IMM_ERROR_GENERAL;
  const std::u16string& s = himc->composition;
  switch (index) {
    case GCS_COMPSTR: return Give(s.data(), s.size() * 2, buf, bytes);
    case GCS_RESULTSTR: return Give(himc->result.data(), himc->result.size() * 2, buf, bytes);
    case GCS_COMPATTR:
    case GCS_COMPCLAUSE: {
      if (index == GCS_COMPCLAUSE && s.empty()) return 0;
      size_t a, b;
      Selection(himc, a, b);
      Clauses c = Layout(a, b, s.size());
      if (index == GCS_COMPATTR) return Give(c.attr.data(), c.attr.size(), buf, bytes);
      return Give(c.offsets.data(), c.offsets.size() * sizeof(DWORD), buf, bytes);
    }
    case GCS_CURSORPOS: return himc->cursor;
    default: return IMM_ERROR_GENERAL;
  }
}

LONG ImmGetCompositionStringA(HIMC himc, DWORD index, void* buf, DWORD bytes) {
  if (!Valid(himc)) return IMM_ERROR_GENERAL;
  std::string s = win32::Utf16ToCp932(himc->composition);
  switch (index) {
    case GCS_COMPSTR: return Give(s.data(), s.size(), buf, bytes);
    case GCS_RESULTSTR: {
      std::string r = win32::Utf16ToCp932(himc->result);
      return Give(r.data(), r.size(), buf, bytes);
    }
    case GCS_COMPATTR:
    case GCS_COMPCLAUSE: {
      if (index == GCS_COMPCLAUSE && s.empty()) return 0;
      size_t a, b;
      Selection(himc, a, b);
      const std::u16string& w = himc->composition;
      Clauses c = Layout(win32::Utf16ToCp932(w.substr(0, a)).size(), win32::Utf16ToCp932(w.substr(0, b)).size(),
                         s.size());
      if (index == GCS_COMPATTR) return Give(c.attr.data(), c.attr.size(), buf, bytes);
      return Give(c.offsets.data(), c.offsets.size() * sizeof(DWORD), buf, bytes);
    }
    case GCS_CURSORPOS:
      return static_cast<LONG>(win32::Utf16ToCp932(himc->composition.substr(0, himc->cursor)).size());
    default: return IMM_ERROR_GENERAL;
  }
}

namespace platform {
int imm_context_count() { return static_cast<int>(Contexts().size()); }
}  // namespace platform
