// The .x loader: any input gives a mesh or the loader's error, never a crash,
// a read past the end or a leak. Texture names are answered by a hook, so the
// input never reaches the disk.
#include <cstdint>

#include "dx/bitmap.h"
#include "dx/error.h"
#include "dx/mesh.h"
#include "dx/texture.h"

namespace {
dx::bitmap g_texture;
dx::bitmap* AnyTexture(const char*) { return &g_texture; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dx::dxexceptionmode = true;
  dxaddtextureloader(AnyTexture);
  for (const char* name : {static_cast<const char*>(nullptr), "Box"}) {
    try {
      dx::mesh* m = dxloadmeshmem(data, size, "fuzz.x", name);
      volatile double r = dxmeshradius(m);
      (void)r;
    } catch (const dx::dx_runtime_error&) {
    }
  }
  dxdeleteallmeshes();
  dxtexturecache.clear();  // the hook's bitmap is not the cache's to delete
  return 0;
}
