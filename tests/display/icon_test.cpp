// The program's icon: resource 101 and the executable's first icon, shown by
// the window that the layer opens.
#include <set>

#include "fixture.h"
#include "platform/win32/icon.h"
#include "platform/win32/win32.h"

namespace {

uint32_t Alpha(uint32_t argb) { return argb >> 24; }

TEST_F(DxTest, TheWindowShowsTheProgramsIcon) {
  EXPECT_EQ(host_.icon_width(), 0);
  Start();
  HICON large = nullptr, small = nullptr;
  char exe[4000];
  GetModuleFileNameA(nullptr, exe, sizeof(exe));
  ASSERT_EQ(ExtractIconExA(exe, 0, &large, &small, 1), 1u);
  // Resource 101 of the module is the same icon.
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101)), large);
  const win32::IconImage* big = win32::IconPicture(large);
  const win32::IconImage* little = win32::IconPicture(small);
  ASSERT_NE(big, nullptr);
  ASSERT_NE(little, nullptr);
  EXPECT_EQ(big->width, 32);
  EXPECT_EQ(little->width, 16);
  ASSERT_EQ(host_.icon_width(), 32);
  ASSERT_EQ(host_.icon_height(), 32);
  EXPECT_EQ(host_.icon(), big->argb);
  // A round emblem: clear corners, an opaque middle, several colours.
  for (int size : {32, 16}) {
    const std::vector<uint32_t>& px = size == 32 ? big->argb : little->argb;
    EXPECT_EQ(Alpha(px[0]), 0u);
    EXPECT_EQ(Alpha(px[static_cast<size_t>(size) * size - 1]), 0u);
    EXPECT_EQ(Alpha(px[static_cast<size_t>(size / 2) * size + size / 2]), 255u);
    std::set<uint32_t> opaque;
    for (uint32_t p : px)
      if (Alpha(p) == 255) opaque.insert(p);
    EXPECT_GE(opaque.size(), 4u) << size;
  }
  // A later window of the same class shows it again.
  dxrelease();
  host::HeadlessHost second;
  host::set(&second);
  Start();
  EXPECT_EQ(second.icon(), big->argb);
  dxrelease();
  host::set(&host_);
}

TEST(Icons, OnlyTheExecutablesOwnIconIsFound) {
  char exe[4000];
  GetModuleFileNameA(nullptr, exe, sizeof(exe));
  EXPECT_EQ(ExtractIconExA(exe, -1, nullptr, nullptr, 0), 1u);  // the number of icons
  HICON large = reinterpret_cast<HICON>(1), small = reinterpret_cast<HICON>(1);
  EXPECT_EQ(ExtractIconExA(exe, 1, &large, &small, 1), 0u);
  EXPECT_EQ(large, nullptr);
  EXPECT_EQ(small, nullptr);
  EXPECT_EQ(ExtractIconExA("C:\\other.exe", 0, &large, &small, 1), 0u);
  EXPECT_EQ(ExtractIconExA(nullptr, 0, &large, &small, 1), 0u);
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(102)), nullptr);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(101)), nullptr);  // no module: system icons only
  // The stock icon has no picture of the program's.
  HICON stock = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(win32::IconPicture(stock), nullptr);
}

TEST(Icons, AStockIconLeavesTheHostsOwnUntilTheClassGetsAnother) {
  constexpr int GCL_STYLE_UNKNOWN = -26;  // a class value that cannot be set
  host::HeadlessHost h;
  host::set(&h);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.hIcon = wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  wc.lpszClassName = "icon-test-stock";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND w = CreateWindowExA(0, "icon-test-stock", "t", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                           nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(h.window_open());
  EXPECT_EQ(h.icon_width(), 0);
  // The program gives the class its own icon afterwards: the window shows it.
  HICON own = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101));
  EXPECT_EQ(SetClassLongA(w, GCL_HICON, reinterpret_cast<LONG_PTR>(own)), reinterpret_cast<DWORD_PTR>(wc.hIcon));
  EXPECT_EQ(h.icon_width(), 32);
  EXPECT_EQ(h.icon(), win32::IconPicture(own)->argb);
  EXPECT_EQ(SetClassLongA(w, GCL_STYLE_UNKNOWN, 0), 0u);
  DestroyWindow(w);
  UnregisterClassA("icon-test-stock", nullptr);
  host::set(nullptr);
}

}  // namespace
