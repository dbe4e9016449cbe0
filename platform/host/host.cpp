#include "platform/host/host.h"

#include "platform/host/headless_host.h"

namespace host {

namespace {
Host* g_current = nullptr;
}  // namespace

Host& get() {
  if (!g_current) {
    static HeadlessHost fallback;
    g_current = &fallback;
  }
  return *g_current;
}

void set(Host* h) { g_current = h; }

}  // namespace host
