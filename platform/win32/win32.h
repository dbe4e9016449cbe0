// Everything of the Win32 stand-in that other areas use, in one include.
#pragma once

#include "platform/win32/crt.h"
#include "platform/win32/display.h"
#include "platform/win32/debug.h"
#include "platform/win32/file.h"
#include "platform/win32/handle.h"
#include "platform/win32/menu.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/mutex.h"
#include "platform/win32/process.h"
#include "platform/win32/registry.h"
#include "platform/win32/text.h"
#include "platform/win32/time.h"
#include "platform/win32/types.h"
#include "platform/win32/window.h"
#include "platform/winmm/time.h"
