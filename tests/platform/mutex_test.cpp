// Named mutexes: one object per name for every handle of every process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/win32/mutex.h"

namespace {

// A name of this test process's own, so parallel runs never meet.
std::string Name(const char* what) { return std::string("test\\") + what + "-" + std::to_string(::getpid()); }

TEST(Mutex, TheSecondOpenOfANameFindsTheFirst) {
  const std::string name = Name("twice");
  SetLastError(1234);
  HANDLE a = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(GetLastError(), NO_ERROR);
  HANDLE b = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  // Ownership is the thread's, whichever handle it goes through; the second
  // open did not take it a second time.
  EXPECT_TRUE(ReleaseMutex(b));
  EXPECT_FALSE(ReleaseMutex(a));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  const std::string file = win32::MutexPath(name.c_str());
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(CloseHandle(b));
  // Once every handle is closed the mutex is gone, lock file and all: the next
  // open makes it anew.
  EXPECT_FALSE(std::filesystem::exists(file));
  HANDLE c = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GetLastError(), NO_ERROR);
  EXPECT_FALSE(ReleaseMutex(c));  // made without an owner
  EXPECT_TRUE(CloseHandle(c));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(ReleaseMutex(c));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Mutex, OnlyTheOwningThreadReleases) {
  HANDLE m = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_NE(m, nullptr);
  BOOL other = TRUE;
  std::thread([&] { other = ReleaseMutex(m); }).join();
  EXPECT_FALSE(other);
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_FALSE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST(Mutex, AnotherProcessSeesTheName) {
  const std::string name = Name("shared");
  int go[2], done[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(done), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child opens the name once the parent holds it, answers, then opens it
    // again after the parent let go.
    char c;
    if (::read(go[0], &c, 1) != 1) ::_exit(10);
    HANDLE h = CreateMutexA(nullptr, TRUE, name.c_str());
    const bool existed = h && GetLastError() == ERROR_ALREADY_EXISTS;
    const bool owns = h && ReleaseMutex(h);
    CloseHandle(h);
    c = existed && !owns ? 'y' : 'n';
    if (::write(done[1], &c, 1) != 1) ::_exit(11);
    if (::read(go[0], &c, 1) != 1) ::_exit(12);
    h = CreateMutexA(nullptr, TRUE, name.c_str());
    const bool made = h && GetLastError() == NO_ERROR && ReleaseMutex(h);
    CloseHandle(h);
    ::_exit(made ? 0 : 13);
  }
  HANDLE h = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetLastError(), NO_ERROR);
  char c = 'g';
  ASSERT_EQ(::write(go[1], &c, 1), 1);
  ASSERT_EQ(::read(done[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_TRUE(CloseHandle(h));
  ASSERT_EQ(::write(go[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(win32::MutexPath(name.c_str())));
  for (int fd : {go[0], go[1], done[0], done[1]}) ::close(fd);
}

TEST(Mutex, NamesBecomeFileNamesWithoutMeetingEachOther) {
  const std::string a = win32::MutexPath("a\\b"), b = win32::MutexPath("a/b"), c = win32::MutexPath("a%5Cb");
  EXPECT_NE(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a.find('/', a.rfind("dolvicar-mutex-")), std::string::npos);
  EXPECT_EQ(b.find('/', b.rfind("dolvicar-mutex-")), std::string::npos);
}

TEST(Mutex, ANameThatCannotBeHadFails) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_runtime = runtime ? runtime : "";
  const char* tmp = std::getenv("TMPDIR");
  const std::string saved_tmp = tmp ? tmp : "";
  ::unsetenv("XDG_RUNTIME_DIR");
  ::setenv("TMPDIR", "/nonexistent-folder-of-the-mutex-test", 1);
  EXPECT_EQ(CreateMutexA(nullptr, TRUE, Name("nowhere").c_str()), nullptr);
  EXPECT_NE(GetLastError(), NO_ERROR);
  EXPECT_EQ(CreateMutexA(nullptr, TRUE, ""), nullptr);
  if (runtime) ::setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), 1);
  if (tmp)
    ::setenv("TMPDIR", saved_tmp.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

}  // namespace
