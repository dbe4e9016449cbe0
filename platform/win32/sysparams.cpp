#include "platform/win32/sysparams.h"

#include "platform/win32/handle.h"

BOOL SystemParametersInfoA(UINT action, UINT, void* value, UINT) {
  if (!value) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (action) {
    case SPI_GETKEYBOARDSPEED: *static_cast<UINT*>(value) = 31; return TRUE;
    case SPI_GETKEYBOARDDELAY: *static_cast<UINT*>(value) = 1; return TRUE;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
  }
}
