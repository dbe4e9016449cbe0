// In a fuzz target the process's abnormal ends belong to the driver: the
// layer's start and its designed stops (caught by the target) leave the abort
// signal's handler and the terminate handler that the driver put in place.
#include <gtest/gtest.h>

#include <csignal>
#include <exception>
#include <filesystem>

#include "dx/dx.h"
#include "dx/shell.h"
#include "platform/host/headless_host.h"

namespace {

void DriverAbort(int) {}
void DriverTerminate() { std::abort(); }

TEST(FuzzFatalEnds, TheLayersStartAndItsStopsLeaveTheDriversHandlers) {
  host::HeadlessHost h;
  h.set_catch_exits(true);
  h.set_quiet(true);
  host::set(&h);
  const std::filesystem::path folder = std::filesystem::current_path();
  struct sigaction driver{}, before{};
  driver.sa_handler = DriverAbort;
  sigaction(SIGABRT, &driver, &before);
  const std::terminate_handler old_terminate = std::set_terminate(DriverTerminate);

  EXPECT_FALSE(dxownsfatalends());
  ASSERT_TRUE(dxinit("fuzz", 64, 48, 32, false));
  EXPECT_THROW(dxerror("stop %d", 1), host::ProcessExit);
  EXPECT_THROW(dxfatalw(u"stop"), host::ProcessExit);
  struct sigaction now{};
  sigaction(SIGABRT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, DriverAbort);
  EXPECT_EQ(std::get_terminate(), DriverTerminate);

  dxrelease();
  std::set_terminate(old_terminate);
  sigaction(SIGABRT, &before, nullptr);
  std::filesystem::current_path(folder);
  host::set(nullptr);
}

}  // namespace
