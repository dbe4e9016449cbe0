#include "platform/win32/menu.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/paint.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"

namespace {

using win32::kMenuBarHeight;
namespace paint = win32::paint;

struct MenuItem {
  UINT flags = 0;
  UINT_PTR id = 0;
  HMENU popup = nullptr;
  std::u16string label;  // without its "&" marks
  std::u16string right;  // after a tab, shown at the right
  int mark = -1;         // the marked character in label
};

struct Menu {
  bool bar = false;
  std::vector<MenuItem> items;
};

std::vector<std::unique_ptr<Menu>> g_menus;
// Moves on with every change of a menu or of the open menu, so pictures are
// drawn again only then.
uint64_t g_generation = 1;

Menu* Find(HMENU h) {
  if (!h) return nullptr;
  for (auto& m : g_menus)
    if (reinterpret_cast<HMENU>(m.get()) == h) return m.get();
  return nullptr;
}

HMENU Make(bool bar) {
  g_menus.push_back(std::make_unique<Menu>());
  g_menus.back()->bar = bar;
  return reinterpret_cast<HMENU>(g_menus.back().get());
}

bool Selectable(const MenuItem& it) { return !(it.flags & MF_SEPARATOR); }
bool Enabled(const MenuItem& it) { return !(it.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)); }
bool Cascades(const MenuItem& it) { return (it.flags & MF_POPUP) && Find(it.popup); }

// --- Layout ---

constexpr int kBarTextPad = 7;
constexpr int kPopupBorder = 3, kRowHeight = 18, kSeparatorHeight = 8, kCheckColumn = 20, kArrowColumn = 20,
              kRightGap = 24;

// Bar items from the left on one row. From the first item that does not fit
// the width on, no item is shown (nor reached by keys).
std::vector<RECT> BarRects(const Menu& m, int width) {
  std::vector<RECT> r;
  uint32_t scratch = 0;
  paint::Canvas measure(&scratch, 1, 1);
  int x = 1;
  bool full = false;
  for (const MenuItem& it : m.items) {
    int w = (it.flags & MF_SEPARATOR) ? 8 : measure.Width(it.label) + 2 * kBarTextPad;
    if (full || x + w > width) full = true, w = 0;
    r.push_back({x, 0, x + w, kMenuBarHeight});
    x += w;
  }
  return r;
}

constexpr POINT kNoPoint{INT32_MIN, INT32_MIN};

struct Level {
  HMENU menu = nullptr;
  RECT r{0, 0, 0, 0};       // in the picture
  std::vector<RECT> items;  // each item's place, from the pop-up's top left
  int sel = -1;
  // Where the pointer was when it opened the pop-up, and whether it has moved
  // onto the pop-up or pressed it since: only then does a release choose.
  POINT opened_at = kNoPoint;
  bool entered = false;
};

// A pop-up's size and items, placed at (x, y) and moved inside the picture
// below the bar, so that the bar stays in sight. Items that do not fit one
// column of that height go on in further columns to the right.
Level Place(HMENU popup, int x, int y, int width, int height) {
  Level l;
  l.menu = popup;
  const Menu* m = Find(popup);
  if (!m) return l;
  uint32_t scratch = 0;
  paint::Canvas measure(&scratch, 1, 1);
  int text_w = 0, right_w = 0;
  for (const MenuItem& it : m->items) {
    text_w = std::max(text_w, measure.Width(it.label));
    right_w = std::max(right_w, measure.Width(it.right));
  }
  const int column_w = kCheckColumn + text_w + (right_w ? kRightGap + right_w : 0) + kArrowColumn;
  const int room = height - kMenuBarHeight - kPopupBorder;  // the lowest bottom of an item
  int cx = kPopupBorder, cy = kPopupBorder, bottom = kPopupBorder;
  for (const MenuItem& it : m->items) {
    const int ih = (it.flags & MF_SEPARATOR) ? kSeparatorHeight : kRowHeight;
    if (cy > kPopupBorder && cy + ih > room) cx += column_w, cy = kPopupBorder;
    l.items.push_back({cx, cy, cx + column_w, cy + ih});
    cy += ih;
    bottom = std::max(bottom, cy);
  }
  const int w = cx + column_w + kPopupBorder, h = bottom + kPopupBorder;
  x = std::max(0, std::min(x, width - w));
  y = std::max(kMenuBarHeight, std::min(y, height - h));
  l.r = {x, y, x + w, y + h};
  return l;
}

// --- The open menu ---

struct Loop {
  HWND window = nullptr;
  HMENU bar = nullptr;
  int bar_sel = -1;
  bool pressed = false;  // the mouse button is held since the menu opened or an item was pressed
  std::vector<Level> levels;
  int width = 0, height = 0;
  bool chosen = false;
  UINT_PTR id = 0;
  POINT pointer = kNoPoint;  // of the mouse message at hand; none for a key
};
Loop g_loop;
// Alt or F10 closed the menu when it went down: letting it go must not open it again.
int g_closing_key = 0;

void Changed() { ++g_generation; }

int FirstSelectable(const Menu& m, int from, int step) {
  const int n = static_cast<int>(m.items.size());
  for (int k = 0; k < n; ++k) {
    int i = ((from + step * k) % n + n) % n;
    if (Selectable(m.items[static_cast<size_t>(i)])) return i;
  }
  return -1;
}

// The same along the open menu's bar, over the items it shows.
int NextBarItem(int from, int step) {
  const Menu* bar = Find(g_loop.bar);
  if (!bar) return -1;
  const std::vector<RECT> rs = BarRects(*bar, g_loop.width);
  const int n = static_cast<int>(bar->items.size());
  for (int k = 0; k < n; ++k) {
    const size_t i = static_cast<size_t>(((from + step * k) % n + n) % n);
    if (Selectable(bar->items[i]) && rs[i].right > rs[i].left) return static_cast<int>(i);
  }
  return -1;
}

void OpenLevel(HMENU popup, int x, int y, bool select_first) {
  Level l = Place(popup, x, y, g_loop.width, g_loop.height);
  if (const Menu* m = Find(popup); m && select_first) l.sel = FirstSelectable(*m, 0, 1);
  l.opened_at = g_loop.pointer;
  g_loop.levels.push_back(std::move(l));
}

// Marks bar item i, opening its pop-up when asked.
void SelectBar(int i, bool open, bool select_first) {
  const Menu* bar = Find(g_loop.bar);
  if (!bar || i < 0 || i >= static_cast<int>(bar->items.size())) return;
  g_loop.bar_sel = i;
  g_loop.levels.clear();
  const MenuItem& it = bar->items[static_cast<size_t>(i)];
  if (open && Cascades(it) && Enabled(it)) {
    RECT r = BarRects(*bar, g_loop.width)[static_cast<size_t>(i)];
    OpenLevel(it.popup, r.left, kMenuBarHeight, select_first);
  }
}

const MenuItem* SelectedItem(const Level& l) {
  const Menu* m = Find(l.menu);
  if (!m || l.sel < 0 || l.sel >= static_cast<int>(m->items.size())) return nullptr;
  return &m->items[static_cast<size_t>(l.sel)];
}

// Opens the pop-up of the item marked at the deepest level.
bool OpenCascade(bool select_first) {
  if (g_loop.levels.empty()) return false;
  const Level& l = g_loop.levels.back();
  const MenuItem* it = SelectedItem(l);
  if (!it || !Cascades(*it) || !Enabled(*it)) return false;
  const RECT& at = l.items[static_cast<size_t>(l.sel)];
  OpenLevel(it->popup, l.r.left + at.right, l.r.top + at.top - kPopupBorder, select_first);
  return true;
}

// The pointer over item i of level `level`: deeper pop-ups close, a pop-up item opens.
void Hover(int level, int i) {
  g_loop.levels.resize(static_cast<size_t>(level) + 1);
  Level& l = g_loop.levels.back();
  const Menu* m = Find(l.menu);
  l.sel = (m && i >= 0 && Selectable(m->items[static_cast<size_t>(i)])) ? i : -1;
  OpenCascade(false);
}

bool Choose(const MenuItem& it) {
  if (!Enabled(it) || (it.flags & MF_POPUP)) return false;
  g_loop.chosen = true;
  g_loop.id = it.id;
  return true;
}

struct Hit {
  int level = -2;  // -1 the bar, -2 nothing
  int item = -1;
};

Hit HitTest(POINT p) {
  Hit h;
  for (int k = static_cast<int>(g_loop.levels.size()) - 1; k >= 0; --k) {
    const Level& l = g_loop.levels[static_cast<size_t>(k)];
    if (p.x < l.r.left || p.x >= l.r.right || p.y < l.r.top || p.y >= l.r.bottom) continue;
    h.level = k;
    const int x = p.x - l.r.left, y = p.y - l.r.top;
    for (size_t i = 0; i < l.items.size(); ++i) {
      const RECT& r = l.items[i];
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) h.item = static_cast<int>(i);
    }
    return h;
  }
  if (p.y >= 0 && p.y < kMenuBarHeight && p.x >= 0 && p.x < g_loop.width) {
    h.level = -1;
    if (const Menu* bar = Find(g_loop.bar)) {
      std::vector<RECT> rs = BarRects(*bar, g_loop.width);
      for (size_t i = 0; i < rs.size(); ++i)
        if (p.x >= rs[i].left && p.x < rs[i].right && Selectable(bar->items[i])) h.item = static_cast<int>(i);
    }
  }
  return h;
}

bool IsMouseMessage(UINT m) {
  return (m >= WM_MOUSEMOVE && m <= WM_XBUTTONUP) || (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONUP);
}

// One mouse message while the menu is open; true when the menu is done.
bool Mouse(const MSG& m) {
  RECT area;
  if (!win32::WindowArea(g_loop.window, &area)) return true;
  POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.lParam))),
          static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(m.lParam)))};
  if (m.message >= WM_MOUSEMOVE) ClientToScreen(m.hwnd, &p);
  p.x -= area.left, p.y -= area.top;
  g_loop.pointer = p;
  const Hit h = HitTest(p);
  switch (m.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
      if (h.level >= 0) {
        Level& l = g_loop.levels[static_cast<size_t>(h.level)];
        if (p.x != l.opened_at.x || p.y != l.opened_at.y) l.entered = true;
      }
      if (h.level == -1 && h.item >= 0 && h.item != g_loop.bar_sel && (g_loop.pressed || !g_loop.levels.empty())) {
        SelectBar(h.item, true, false);
      } else if (h.level >= 0) {
        Hover(h.level, h.item);
      } else if (!g_loop.levels.empty() && h.level == -2) {
        // Off every pop-up: the deepest one marks nothing, unless it has one open.
        Level& l = g_loop.levels.back();
        const MenuItem* it = SelectedItem(l);
        if (!(it && Cascades(*it))) l.sel = -1;
      }
      return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      if (h.level == -1 && h.item >= 0) {
        // Pressing the item whose pop-up is open closes the menu.
        if (h.item == g_loop.bar_sel && !g_loop.levels.empty()) return true;
        SelectBar(h.item, true, false);
        g_loop.pressed = true;
        return false;
      }
      if (h.level >= 0) {
        g_loop.levels[static_cast<size_t>(h.level)].entered = true;
        Hover(h.level, h.item);
        g_loop.pressed = true;
        return false;
      }
      return true;  // a press anywhere else closes the menu
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP: {
      g_loop.pressed = false;
      if (h.level >= 0 && h.item >= 0) {
        // The release of the press that opened a pop-up under the pointer is
        // no choice.
        const Level& l = g_loop.levels[static_cast<size_t>(h.level)];
        const Menu* menu = Find(l.menu);
        return l.entered && menu && Choose(menu->items[static_cast<size_t>(h.item)]);
      }
      // A bar item without a pop-up is a command of its own.
      const Menu* bar = Find(g_loop.bar);
      if (h.level == -1 && h.item >= 0 && h.item == g_loop.bar_sel && bar)
        return Choose(bar->items[static_cast<size_t>(h.item)]);
      return false;
    }
    default: return false;
  }
}

// The item of `m` that key `vk` ("A" to "Z", "0" to "9") picks by its marked
// character; -1 when none. On the open menu's bar only the items it shows count.
int ByMark(const Menu& m, int vk, bool bar = false) {
  const std::vector<RECT> shown = bar ? BarRects(m, g_loop.width) : std::vector<RECT>();
  for (size_t i = 0; i < m.items.size(); ++i) {
    const MenuItem& it = m.items[i];
    if (it.mark < 0 || (bar && shown[i].right <= shown[i].left)) continue;
    char16_t c = it.label[static_cast<size_t>(it.mark)];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c >= u'Ａ' && c <= u'Ｚ') c = static_cast<char16_t>(c - u'Ａ' + u'A');
    if (c >= u'ａ' && c <= u'ｚ') c = static_cast<char16_t>(c - u'ａ' + u'A');
    if (c == vk) return static_cast<int>(i);
  }
  return -1;
}

// A key while the menu is open; true when the menu is done.
bool Key(int vk) {
  const Menu* bar = Find(g_loop.bar);
  if (!bar || bar->items.empty()) return true;
  g_loop.pointer = kNoPoint;
  const bool open = !g_loop.levels.empty();
  switch (vk) {
    case VK_MENU:
    case VK_F10:
      g_closing_key = vk;
      return true;
    case VK_ESCAPE:
      if (!open) return true;
      g_loop.levels.pop_back();
      return false;
    case VK_LEFT:
      if (g_loop.levels.size() > 1) {
        g_loop.levels.pop_back();
      } else {
        SelectBar(NextBarItem(g_loop.bar_sel - 1, -1), open, true);
      }
      return false;
    case VK_RIGHT:
      if (!OpenCascade(true)) SelectBar(NextBarItem(g_loop.bar_sel + 1, 1), open, true);
      return false;
    case VK_DOWN:
    case VK_UP: {
      const int step = vk == VK_DOWN ? 1 : -1;
      if (!open) {
        SelectBar(g_loop.bar_sel, true, true);
        if (vk == VK_UP && !g_loop.levels.empty())
          if (const Menu* m = Find(g_loop.levels.back().menu))
            g_loop.levels.back().sel = FirstSelectable(*m, static_cast<int>(m->items.size()) - 1, -1);
        return false;
      }
      Level& l = g_loop.levels.back();
      if (const Menu* m = Find(l.menu); m && !m->items.empty())
        l.sel = FirstSelectable(*m, l.sel < 0 ? (step > 0 ? 0 : -1) : l.sel + step, step);
      return false;
    }
    case VK_RETURN: {
      if (!open) {
        const MenuItem& it = bar->items[static_cast<size_t>(g_loop.bar_sel)];
        if (Cascades(it)) {
          SelectBar(g_loop.bar_sel, true, true);
          return false;
        }
        return Choose(it) || !Enabled(it);
      }
      const MenuItem* it = SelectedItem(g_loop.levels.back());
      if (!it || OpenCascade(true)) return false;
      return Choose(*it);
    }
    default: break;
  }
  if (!((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) return false;
  if (!open) {
    int i = ByMark(*bar, vk, true);
    if (i < 0) return false;
    SelectBar(i, true, true);
    return !Cascades(bar->items[static_cast<size_t>(i)]) && Choose(bar->items[static_cast<size_t>(i)]);
  }
  const int level = static_cast<int>(g_loop.levels.size()) - 1;
  const Menu* m = Find(g_loop.levels.back().menu);
  int i = m ? ByMark(*m, vk) : -1;
  if (i < 0) return false;
  Hover(level, i);
  if (OpenCascade(true)) {
    // Hover opened it without a mark; the key marks its first item.
    g_loop.levels.pop_back();
    return false;
  }
  return Choose(m->items[static_cast<size_t>(i)]);
}

// --- Pictures ---

void Check(std::vector<uint32_t>& p, int pw, int x, int y, uint32_t c) {
  static const char* const kRows[] = {"......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."};
  for (int r = 0; r < 7; ++r)
    for (int k = 0; k < 7; ++k)
      if (kRows[r][k] == '#') paint::Fill(p, pw, x + k, y + r, 1, 1, c);
}

void Arrow(std::vector<uint32_t>& p, int pw, int x, int y, uint32_t c) {
  for (int k = 0; k < 4; ++k) paint::Fill(p, pw, x + k, y + k, 1, 7 - 2 * k, c);
}

// A label with its marked character underlined; grey items are embossed.
void Label(paint::Canvas& canvas, std::vector<uint32_t>& p, int pw, int x, int y, const std::u16string& text,
           int mark, uint32_t colour, bool grey) {
  auto draw = [&](int dx, int dy, uint32_t c) {
    canvas.Text(x + dx, y + dy, text, c);
    if (mark >= 0) {
      const int ux = canvas.Width(text.substr(0, static_cast<size_t>(mark)));
      const int uw = canvas.Width(text.substr(static_cast<size_t>(mark), 1));
      paint::Fill(p, pw, x + dx + ux, y + dy + paint::kFontHeight - 1, uw, 1, c);
    }
  };
  if (grey) draw(1, 1, paint::kLight);
  draw(0, 0, grey ? paint::kShadow : colour);
}

struct Picture {
  RECT r{0, 0, 0, 0};
  std::vector<uint32_t> px;
};

struct Cache {
  HMENU menu = nullptr;
  uint64_t generation = 0;
  int width = 0;
  Picture bar;
  std::vector<Picture> popups;
};
Cache g_cache;

Picture DrawBar(const Menu& m, int width, bool marks) {
  Picture pic;
  pic.r = {0, 0, width, kMenuBarHeight};
  pic.px.assign(static_cast<size_t>(width) * kMenuBarHeight, paint::kFaceColour);
  std::vector<RECT> rs = BarRects(m, width);
  paint::Canvas canvas(pic.px.data(), width, kMenuBarHeight);
  for (size_t i = 0; i < m.items.size(); ++i) {
    const MenuItem& it = m.items[i];
    const RECT& r = rs[i];
    if (r.right <= r.left || (it.flags & MF_SEPARATOR)) continue;
    if (marks && static_cast<int>(i) == g_loop.bar_sel) {
      const bool sunken = !g_loop.levels.empty() || g_loop.pressed;
      paint::ThinEdge(pic.px, width, r.left, r.top, r.right - r.left, r.bottom - r.top, sunken);
    }
    Label(canvas, pic.px, width, r.left + kBarTextPad, 2, it.label, it.mark, paint::kText, !Enabled(it));
  }
  return pic;
}

Picture DrawPopup(const Level& l) {
  Picture pic;
  pic.r = l.r;
  const int pw = l.r.right - l.r.left, ph = l.r.bottom - l.r.top;
  const Menu* m = Find(l.menu);
  if (!m || pw <= 0 || ph <= 0) return pic;
  pic.px.assign(static_cast<size_t>(pw) * ph, paint::kFaceColour);
  paint::Edge(pic.px, pw, 0, 0, pw, ph, false);
  paint::Canvas canvas(pic.px.data(), pw, ph);
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItem& it = m->items[i];
    const RECT& r = l.items[i];
    const int x = r.left, y = r.top, iw = r.right - r.left, ih = r.bottom - r.top;
    if (it.flags & MF_SEPARATOR) {
      paint::Fill(pic.px, pw, x + 1, y + 3, iw - 2, 1, paint::kShadow);
      paint::Fill(pic.px, pw, x + 1, y + 4, iw - 2, 1, paint::kLight);
      continue;
    }
    const bool sel = static_cast<int>(i) == l.sel;
    const bool grey = !Enabled(it);
    uint32_t colour = paint::kText;
    if (sel) {
      paint::Fill(pic.px, pw, x, y, iw, ih, paint::kHighlight);
      colour = grey ? paint::kShadow : paint::kLight;
    }
    const bool emboss = grey && !sel;
    const int tx = x + kCheckColumn, ty = y + 1;
    Label(canvas, pic.px, pw, tx, ty, it.label, it.mark, colour, emboss);
    if (!it.right.empty())
      Label(canvas, pic.px, pw, r.right - kArrowColumn - canvas.Width(it.right), ty, it.right, -1, colour, emboss);
    const uint32_t mark_colour = emboss ? paint::kShadow : colour;
    if (it.flags & MF_CHECKED) Check(pic.px, pw, x + 6, y + (ih - 7) / 2, mark_colour);
    if (it.flags & MF_POPUP) Arrow(pic.px, pw, r.right - 12, y + (ih - 7) / 2, mark_colour);
  }
  return pic;
}

void Blit(const Picture& pic, uint32_t* out, int w, int h) {
  const int pw = pic.r.right - pic.r.left;
  for (int y = std::max<LONG>(0, pic.r.top); y < std::min<LONG>(h, pic.r.bottom); ++y)
    for (int x = std::max<LONG>(0, pic.r.left); x < std::min<LONG>(w, pic.r.right); ++x)
      out[static_cast<size_t>(y) * w + x] = pic.px[static_cast<size_t>(y - pic.r.top) * pw + (x - pic.r.left)];
}

}  // namespace

HMENU CreateMenu() { return Make(true); }
HMENU CreatePopupMenu() { return Make(false); }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
  Menu* m = Find(menu);
  if (!m) return FALSE;
  MenuItem it;
  it.flags = flags;
  if (flags & MF_POPUP) {
    it.popup = reinterpret_cast<HMENU>(id);
    // A pop-up can hang in one place only, and never inside itself.
    if (!Find(it.popup) || it.popup == menu) return FALSE;
  } else {
    it.id = id;
  }
  if (!(flags & MF_SEPARATOR)) {
    std::u16string all = win32::Cp932ToUtf16(text ? text : "");
    size_t tab = all.find(u'\t');
    if (tab != std::u16string::npos) {
      it.right = paint::WithoutAmpersand(all.substr(tab + 1));
      all.resize(tab);
    }
    it.label = paint::WithoutAmpersand(all, &it.mark);
  }
  m->items.push_back(std::move(it));
  Changed();
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  Menu* m = Find(menu);
  if (!m) return FALSE;
  // A window that shows the menu loses it as SetMenu(w, nullptr) takes it,
  // rather than keeping a handle to nothing.
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM gone) -> BOOL {
        if (GetMenu(w) == reinterpret_cast<HMENU>(gone)) SetMenu(w, nullptr);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(menu));
  std::vector<HMENU> popups;
  for (const MenuItem& it : m->items)
    if (it.flags & MF_POPUP) popups.push_back(it.popup);
  std::erase_if(g_menus, [m](const std::unique_ptr<Menu>& p) { return p.get() == m; });
  for (HMENU p : popups) DestroyMenu(p);
  if (g_cache.menu == menu) g_cache = Cache{};
  Changed();
  return TRUE;
}

BOOL IsMenu(HMENU menu) { return Find(menu) != nullptr; }

int GetMenuItemCount(HMENU menu) {
  const Menu* m = Find(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

namespace win32 {

void PaintMenu(HMENU menu, uint32_t* pixels, int w, int h) {
  const Menu* m = Find(menu);
  if (!m || !pixels || w <= 0 || h <= 0) return;
  const bool open = g_loop.window && g_loop.bar == menu;
  if (g_cache.menu != menu || g_cache.generation != g_generation || g_cache.width != w) {
    g_cache = Cache{};
    g_cache.menu = menu;
    g_cache.generation = g_generation;
    g_cache.width = w;
    g_cache.bar = DrawBar(*m, w, open);
    if (open)
      for (const Level& l : g_loop.levels) g_cache.popups.push_back(DrawPopup(l));
  }
  Blit(g_cache.bar, pixels, w, h);
  for (const Picture& p : g_cache.popups) Blit(p, pixels, w, h);
}

HWND MenuLoopWindow() { return g_loop.window; }

bool TakeClosingKey(int vk) {
  if (!vk || vk != g_closing_key) return false;
  g_closing_key = 0;
  return true;
}

void MenuLoop(HWND w, bool by_mouse, POINT screen, int key) {
  if (g_loop.window || !IsWindow(w)) return;  // one menu at a time
  // The window hears of the loop first: a menu it keeps hidden comes to the
  // window then, and the keys work it as they work a shown one.
  SendMessageA(w, WM_ENTERMENULOOP, FALSE, 0);
  HMENU bar = GetMenu(w);
  const Menu* m = Find(bar);
  RECT area;
  bool done = !m || m->items.empty() || !WindowArea(w, &area);
  g_loop = Loop{};
  g_closing_key = 0;
  if (!done) {
    g_loop.window = w;
    g_loop.bar = bar;
    g_loop.width = area.right - area.left;
    g_loop.height = area.bottom - area.top;
    if (by_mouse) {
      g_loop.pointer = {screen.x - area.left, screen.y - area.top};
      const Hit h = HitTest(g_loop.pointer);
      done = h.level != -1 || h.item < 0;
      if (!done) {
        SelectBar(h.item, true, false);
        g_loop.pressed = true;
      }
    } else if (key) {
      g_loop.bar_sel = ByMark(*m, key >= 'a' && key <= 'z' ? key - 'a' + 'A' : key, true);
      done = g_loop.bar_sel < 0 || Key(VK_RETURN);
    } else {
      g_loop.bar_sel = NextBarItem(0, 1);
      done = g_loop.bar_sel < 0;  // not one item is shown
    }
  }
  Changed();
  const bool shown = !done;
  if (shown) RepaintWindow(w);
  while (!done) {
    if (!IsWindow(w) || GetMenu(w) != bar || !IsMenu(bar)) break;
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    const bool own = msg.hwnd == w;
    if (own && IsMouseMessage(msg.message)) {
      done = Mouse(msg);
    } else if (own && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
      done = Key(static_cast<int>(msg.wParam));
    } else if (own && (msg.message == WM_CHAR || msg.message == WM_SYSCHAR)) {
      continue;  // keys act on the menu, not as typed text
    } else {
      DispatchMessageA(&msg);
      // Leaving the window or closing it ends the menu.
      if (own && (msg.message == WM_CLOSE || msg.message == WM_KILLFOCUS ||
                  (msg.message == WM_ACTIVATE && LOWORD(msg.wParam) == WA_INACTIVE) ||
                  (msg.message == WM_SIZE && msg.wParam == SIZE_MINIMIZED)))
        done = true;
      continue;
    }
    Changed();
    if (!done) RepaintWindow(w);
  }
  const bool chosen = g_loop.chosen;
  const UINT_PTR id = g_loop.id;
  g_loop = Loop{};
  Changed();
  if (!IsWindow(w)) return;
  if (shown) RepaintWindow(w);
  SendMessageA(w, WM_EXITMENULOOP, FALSE, 0);
  if (chosen) PostMessageA(w, WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF), 0);
}

bool MenuPopupItemRect(HMENU menu, int bar_index, int index, int width, int height, RECT* r) {
  const Menu* m = Find(menu);
  if (!m || !r || bar_index < 0 || bar_index >= static_cast<int>(m->items.size())) return false;
  const MenuItem& it = m->items[static_cast<size_t>(bar_index)];
  if (!Cascades(it)) return false;
  const RECT at = BarRects(*m, width)[static_cast<size_t>(bar_index)];
  if (at.right <= at.left) return false;
  const Level l = Place(it.popup, at.left, kMenuBarHeight, width, height);
  if (index < 0 || index >= static_cast<int>(l.items.size())) return false;
  const RECT& in = l.items[static_cast<size_t>(index)];
  *r = {l.r.left + in.left, l.r.top + in.top, l.r.left + in.right, l.r.top + in.bottom};
  return true;
}

bool MenuBarItemRect(HMENU menu, int index, int width, RECT* r) {
  const Menu* m = Find(menu);
  if (!m || !r || index < 0 || index >= static_cast<int>(m->items.size())) return false;
  *r = BarRects(*m, width)[static_cast<size_t>(index)];
  return r->right > r->left;
}

}  // namespace win32
