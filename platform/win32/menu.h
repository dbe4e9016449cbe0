// Window menus: menu objects, the menu bar that a window draws itself above its
// client area in the game's font, its pop-ups, and the menu loop that the mouse,
// Alt and F10 start. A chosen item reaches the window procedure as WM_COMMAND
// with the item's id and lParam 0, after WM_EXITMENULOOP.
#pragma once

#include <cstdint>

#include "platform/win32/types.h"

constexpr UINT MF_STRING = 0x0, MF_GRAYED = 0x1, MF_DISABLED = 0x2, MF_CHECKED = 0x8, MF_POPUP = 0x10,
               MF_SEPARATOR = 0x800;

// A menu bar and a pop-up menu, both empty.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Adds an item at the end: a text (CP932; "&" marks the key that picks it, "\t"
// starts a text shown at the right), a separator, or a pop-up (`id` is the
// pop-up's handle, which the menu then owns). Grey and checked states come with
// the flags.
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text);
// Destroys the menu and the pop-ups it holds.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);

namespace win32 {

// The height of a menu bar (SM_CYMENU).
constexpr int kMenuBarHeight = 20;

// Draws the bar of `menu` into the top rows of a picture `w` wide and `h` high
// (the client area lies under the bar), with the pop-ups an open menu shows.
void PaintMenu(HMENU menu, uint32_t* pixels, int w, int h);
// Runs the menu of window `w` until an item is chosen or the menu closes:
// from a press of the mouse at `screen` on the bar, or from the keyboard with
// the key that picks a bar item (0: the first item is marked).
void MenuLoop(HWND w, bool by_mouse, POINT screen, int key);
// The window whose menu is open (null when none is).
HWND MenuLoopWindow();
// True (once) when key `vk` going up belongs to the press of Alt or F10 that
// closed the menu, so it does not open the menu again.
bool TakeClosingKey(int vk);

// Where item `index` of the bar lies in a picture `width` wide, and item
// `index` of the pop-up that bar item `bar_index` opens in a picture `width` x
// `height`; false when it is not shown.
bool MenuBarItemRect(HMENU menu, int index, int width, RECT* r);
bool MenuPopupItemRect(HMENU menu, int bar_index, int index, int width, int height, RECT* r);

}  // namespace win32
