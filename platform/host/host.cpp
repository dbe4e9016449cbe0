#include "platform/host/host.h"

#include "platform/host/headless_host.h"

#include <atomic>

namespace host {

namespace {
// Asked for by the timer and audio threads too.
std::atomic<Host*> g_current{nullptr};
}  // namespace

Host& get() {
  Host* h = g_current.load(std::memory_order_acquire);
  if (!h) {
    // Never destroyed: exit handlers still ask for the host.
    static auto* fallback = new HeadlessHost;
    // A host installed meanwhile wins (the exchange leaves it in h).
    if (g_current.compare_exchange_strong(h, fallback, std::memory_order_acq_rel)) h = fallback;
  }
  return *h;
}

void set(Host* h) { g_current.store(h, std::memory_order_release); }

int ButtonCount(MessageButtons b) {
  switch (b) {
    case MessageButtons::Ok: return 1;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNo:
    case MessageButtons::RetryCancel: return 2;
    case MessageButtons::YesNoCancel:
    case MessageButtons::AbortRetryIgnore: return 3;
  }
  return 1;
}

MessageResult ButtonResult(MessageButtons b, int n) {
  static constexpr MessageResult kOk[] = {MessageResult::Ok};
  static constexpr MessageResult kOkCancel[] = {MessageResult::Ok, MessageResult::Cancel};
  static constexpr MessageResult kYesNo[] = {MessageResult::Yes, MessageResult::No};
  static constexpr MessageResult kYesNoCancel[] = {MessageResult::Yes, MessageResult::No, MessageResult::Cancel};
  static constexpr MessageResult kRetryCancel[] = {MessageResult::Retry, MessageResult::Cancel};
  static constexpr MessageResult kAbortRetryIgnore[] = {MessageResult::Abort, MessageResult::Retry,
                                                       MessageResult::Ignore};
  const MessageResult* row = kOk;
  switch (b) {
    case MessageButtons::Ok: row = kOk; break;
    case MessageButtons::OkCancel: row = kOkCancel; break;
    case MessageButtons::YesNo: row = kYesNo; break;
    case MessageButtons::YesNoCancel: row = kYesNoCancel; break;
    case MessageButtons::RetryCancel: row = kRetryCancel; break;
    case MessageButtons::AbortRetryIgnore: row = kAbortRetryIgnore; break;
  }
  int count = ButtonCount(b);
  return row[n < 0 ? 0 : n >= count ? count - 1 : n];
}

}  // namespace host
