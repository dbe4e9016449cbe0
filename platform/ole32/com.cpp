#include "platform/ole32/com.h"

#include <atomic>

#include "platform/dsound/dsound.h"

namespace {
std::atomic<int> g_initialized{0};
}

HRESULT CoInitialize(void*) { return g_initialized++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  int n = g_initialized.load();
  while (n > 0 && !g_initialized.compare_exchange_weak(n, n - 1)) {
  }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (g_initialized.load() == 0) return CO_E_NOTINITIALIZED;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  if (clsid == CLSID_DirectSound) {
    if (!(iid == IID_IDirectSound)) return E_NOINTERFACE;
    *out = DirectSoundNew();
    return S_OK;
  }
  return REGDB_E_CLASSNOTREG;
}
