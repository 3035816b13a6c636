// The font rasterizer (stb_truetype, from Debian's libstb-dev): its declarations, and in
// type_engine.cpp its one compiled copy. Its arithmetic is single floats, adds, multiplies,
// divides and square roots, so that a glyph has the same pixels on every target.
#pragma once

#include <stb/stb_truetype.h>
