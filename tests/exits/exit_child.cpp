// A small program of the display layer that ends the way its first argument
// says, with the 3-D device up (a mesh drawn in an open scene) and after text
// entry was used. The exit tests run it as a child process: its real end, exit
// handlers and static destructors included, is what they check.
//   return  returns from main
//   exit    dxexit(0)
//   fatal   dxfatal with a text
#include <cstring>

#include "dx/dx.h"
#include "platform/host/headless_host.h"

int main(int argc, char** argv) {
  const char* how = argc > 1 ? argv[1] : "return";
  static host::HeadlessHost h;  // made before the layer's exit handler: outlives it
  h.set_quiet(false);
  host::set(&h);
  if (!dxinit("exit", 640, 480, 0, false) || !dxd3dinit()) return 10;

  D3DVERTEX v[4] = {{-1, -1, 5, 0, 0, 0, 0, 0}, {1, -1, 5, 0, 0, 0, 1, 0}, {1, 1, 5, 0, 0, 0, 1, 1},
                    {-1, 1, 5, 0, 0, 0, 0, 1}};
  const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  D3DMATERIAL mat{};
  mat.dwSize = sizeof mat;
  mat.diffuse = {1, 1, 1, 1};
  mat.ambient = {1, 1, 1, 1};
  dx::mesh* m = dxcreatemesh();
  dxaddmeshgroup(m, v, 4, idx, 6, &mat, dxnewbitmap(8, 8));
  dx::matrix world;
  dxmatidentity(world);
  dxbeginscene();
  dxdrawmeshnow(world, m, 100, false);

  // Text entry: a line typed and accepted.
  h.text(2, "ok");
  h.key_press(4, host::key::Return);
  char16_t line[16] = {};
  dxinputlinew(10, 10, 200, line, 16, u"", 0xFFFFFF);

  if (std::strcmp(how, "exit") == 0) dxexit(0);
  if (std::strcmp(how, "fatal") == 0) dxfatal("stopped %d", 1);
  return 0;
}
