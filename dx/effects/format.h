// The channel layout the pixel workers compute with is the display's pixel
// format; these are the layouts of the emulated display modes, for the tests
// and benchmarks that run the workers without a display.
#pragma once

#include "dx/pixelformat.h"

namespace dx::effects {

using Format = dx::pixelformat;

Format format8();
Format format565();
Format format555();
Format format24();
Format format32();

}  // namespace dx::effects
