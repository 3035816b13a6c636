// The colours of the slope classes, and the class raster for GIS programs with its world file.
#pragma once

#include <cstdio>
#include <vector>

#include "app/result_code.h"
#include "map/class_map.h"
#include "map/colour.h"
#include "map/frame.h"
#include "map/thresholds.h"

namespace trasop {

// The colours of the classes of `count` thresholds, the flattest first: colour-blind safe, in
// order of lightness, so that the classes stay in order in grey print.
std::vector<Colour> classColours(int count);

// One pixel per interior cell, north up: the class of each cell (0 for the flattest), the
// cells outside the area transparent. Written as PNG to `file`. Returns as writeFigure.
ResultCode writeClassRaster(std::FILE* file, const ClassMap& classes, const Thresholds& thresholds,
                            const Circle& area);

// The world file that places the class raster in the frame's coordinates: pixel size and the
// centre of its upper left pixel (cell 1, nj - 2). Returns Ok or CannotCreate.
ResultCode writeWorldFile(std::FILE* file, const Frame& frame);

}  // namespace trasop
