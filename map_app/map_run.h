// One run of trasop-map: the options, the height grid read and its slopes computed as trasop
// computes them, the figure (and the GIS raster) written, the figures printed.
#pragma once

#include "app/result_code.h"
#include "grid/grid.h"
#include "map/class_map.h"
#include "map/figure.h"
#include "map_app/options.h"
#include "map_app/report.h"

namespace trasop {

// Returns the exit status: 0, 2 for a usage fault, or the result code of the input's or an
// output's fault (3 to 8), each with a message on standard error.
int runTrasopMap(int argc, const char* const* argv);

// The stages between reading and writing, for the run and the fuzz target: the slopes of
// `grid` (read with `header`), the report's frame, figures, regions and the share of the area
// within the grid, and the class of every interior cell; with sources, each one's figures
// (one source's area is the computational area, and the classes are those of its slopes over
// 2 H unless options.gridBaseline). report.file is left as it is. Returns Ok, Usage where a
// source lies outside the grid (report.sourceOutside) or the area holds no interior cell, or
// OutOfMemory.
ResultCode surveyHeights(TerrainGrid& grid, const GridHeader& header, const MapOptions& options,
                         MapReport& report, ClassMap& classes);

// What the figure of a surveyed run shows (without its relief), pointing into `report` and
// `classes`.
FigureContent figureContentOf(const MapReport& report, const MapOptions& options,
                              const ClassMap& classes);

}  // namespace trasop
