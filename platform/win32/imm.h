// The input method manager over the host's text input. The host's composition
// events become the composition string of the context associated with the host's
// window; text the host commits while a composition is under way becomes that
// context's result string, sent to the window as WM_IME_COMPOSITION with
// GCS_RESULTSTR (readable while the message is handled) instead of WM_CHAR. The
// host reports the caret and the part its input method has selected, not the
// clauses: the selection is the clause being converted (ATTR_TARGET_CONVERTED)
// between clauses of plain input (ATTR_INPUT); without one, the composition is
// one clause of plain input.
#pragma once

#include "platform/win32/types.h"

struct HIMC__;
using HIMC = HIMC__*;

constexpr DWORD GCS_COMPREADSTR = 0x1, GCS_COMPSTR = 0x8, GCS_COMPATTR = 0x10, GCS_COMPCLAUSE = 0x20,
                GCS_CURSORPOS = 0x80, GCS_RESULTSTR = 0x800, GCS_RESULTCLAUSE = 0x1000;
constexpr BYTE ATTR_INPUT = 0, ATTR_TARGET_CONVERTED = 1, ATTR_CONVERTED = 2, ATTR_TARGET_NOTCONVERTED = 3,
               ATTR_INPUT_ERROR = 4, ATTR_FIXEDCONVERTED = 5;
constexpr DWORD CFS_DEFAULT = 0x0, CFS_RECT = 0x1, CFS_POINT = 0x2, CFS_CANDIDATEPOS = 0x40,
                CFS_EXCLUDE = 0x80;
constexpr DWORD NI_COMPOSITIONSTR = 0x15;
constexpr DWORD CPS_COMPLETE = 0x1, CPS_CONVERT = 0x2, CPS_REVERT = 0x3, CPS_CANCEL = 0x4;
constexpr LONG IMM_ERROR_NODATA = -1, IMM_ERROR_GENERAL = -2;

struct COMPOSITIONFORM {
  DWORD dwStyle;
  POINT ptCurrentPos;
  RECT rcArea;
};

struct CANDIDATEFORM {
  DWORD dwIndex;
  DWORD dwStyle;
  POINT ptCurrentPos;  // client coordinates of the window
  RECT rcArea;
};

HIMC ImmCreateContext();
BOOL ImmDestroyContext(HIMC himc);
// Associates a context (or none) with a window; returns the one it had.
HIMC ImmAssociateContext(HWND w, HIMC himc);
HIMC ImmGetContext(HWND w);
BOOL ImmReleaseContext(HWND w, HIMC himc);
BOOL ImmSetOpenStatus(HIMC himc, BOOL open);
BOOL ImmGetOpenStatus(HIMC himc);
BOOL ImmSetCompositionWindow(HIMC himc, const COMPOSITIONFORM* form);
BOOL ImmSetCandidateWindow(HIMC himc, const CANDIDATEFORM* form);
// NI_COMPOSITIONSTR with CPS_CANCEL drops the composition, with CPS_COMPLETE commits it.
BOOL ImmNotifyIME(HIMC himc, DWORD action, DWORD index, DWORD value);
// Bytes written (or needed when `bytes` is 0); GCS_CURSORPOS gives the caret
// position in characters; IMM_ERROR_GENERAL for a bad context or index. The
// narrow form is CP932: attributes per byte, clause offsets in bytes.
LONG ImmGetCompositionStringW(HIMC himc, DWORD index, void* buf, DWORD bytes);
LONG ImmGetCompositionStringA(HIMC himc, DWORD index, void* buf, DWORD bytes);

namespace platform {
// Live input contexts, for tests.
int imm_context_count();
}  // namespace platform
