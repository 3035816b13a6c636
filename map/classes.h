// The colours of the slope classes and the pictures of them: the report's figure and the
// class raster for GIS programs.
#pragma once

#include <cstdio>
#include <string>

#include "app/result_code.h"
#include "map/class_map.h"
#include "map/frame.h"
#include "map/survey.h"
#include "map/thresholds.h"

namespace trasop {

// The report's figure of the cells' classes, north up, the map at most `size` pixels on its
// longer side: a grid of more interior cells than that is shown in blocks of cells (see
// ReducedMap). `areaInside` is the share of the area's circle within
// the interior cells. Written as PNG to `file`. Returns Ok, CannotCreate where a write fails,
// or OutOfMemory.
ResultCode writeFigure(std::FILE* file, const ClassMap& classes, const Frame& frame,
                       const Thresholds& thresholds, const Circle& area, double areaInside,
                       const Survey& survey, const std::string& title, int size);

// One pixel per interior cell, north up: the class of each cell (0 for the flattest), the
// cells outside the area transparent. Written as PNG to `file`. Returns as writeFigure.
ResultCode writeClassRaster(std::FILE* file, const ClassMap& classes, const Thresholds& thresholds,
                            const Circle& area);

// The world file that places the class raster in the frame's coordinates: pixel size and the
// centre of its upper left pixel (cell 1, nj - 2). Returns Ok or CannotCreate.
ResultCode writeWorldFile(std::FILE* file, const Frame& frame);

}  // namespace trasop
