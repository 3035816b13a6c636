// The one compiled copy of the font rasterizer.
#define STB_TRUETYPE_IMPLEMENTATION
#include "map/type_engine.h"
