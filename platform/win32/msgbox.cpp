#include "platform/win32/msgbox.h"

#include <string>

#include "platform/host/host.h"
#include "platform/win32/msgbox_view.h"
#include "platform/win32/text.h"

namespace {

int Show(const std::string& text_utf8, const std::string& caption_utf8, UINT type) {
  host::MessageButtons buttons = host::MessageButtons::Ok;
  switch (type & 0xF) {
    case MB_OKCANCEL: buttons = host::MessageButtons::OkCancel; break;
    case MB_ABORTRETRYIGNORE: buttons = host::MessageButtons::AbortRetryIgnore; break;
    case MB_YESNOCANCEL: buttons = host::MessageButtons::YesNoCancel; break;
    case MB_YESNO: buttons = host::MessageButtons::YesNo; break;
    case MB_RETRYCANCEL: buttons = host::MessageButtons::RetryCancel; break;
    default: break;
  }
  host::MessageIcon icon = host::MessageIcon::None;
  switch (type & 0xF0) {
    case MB_ICONHAND: icon = host::MessageIcon::Stop; break;
    case MB_ICONQUESTION: icon = host::MessageIcon::Question; break;
    case MB_ICONEXCLAMATION: icon = host::MessageIcon::Warning; break;
    case MB_ICONASTERISK: icon = host::MessageIcon::Information; break;
    default: break;
  }
  int default_button = (type & MB_DEFMASK) == MB_DEFBUTTON3 ? 2 : (type & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : 0;
  win32::MessageBoxView view(caption_utf8, text_utf8, buttons, icon, default_button);
  switch (host::get().message_box(caption_utf8, text_utf8, buttons, icon, default_button, &view)) {
    case host::MessageResult::Ok: return IDOK;
    case host::MessageResult::Cancel: return IDCANCEL;
    case host::MessageResult::Yes: return IDYES;
    case host::MessageResult::No: return IDNO;
    case host::MessageResult::Retry: return IDRETRY;
    case host::MessageResult::Abort: return IDABORT;
    case host::MessageResult::Ignore: return IDIGNORE;
  }
  return IDOK;
}

}  // namespace

// The owner only places the box: the host centres it over its window.
int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
  return Show(win32::Cp932ToUtf8(text ? text : ""), win32::Cp932ToUtf8(caption ? caption : "Error"), type);
}

int MessageBoxW(HWND, const char16_t* text, const char16_t* caption, UINT type) {
  return Show(text ? win32::Utf16ToUtf8(text) : std::string(), caption ? win32::Utf16ToUtf8(caption) : "Error",
              type);
}
