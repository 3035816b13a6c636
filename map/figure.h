// The report's figure of the cells' classes, made for a print width and resolution: north up,
// axes in the frame's coordinates, legend, scale bar, north arrow and caption, text set in
// points so that it keeps its size in print whatever the figure's width.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/result_code.h"
#include "map/canvas.h"
#include "map/class_map.h"
#include "map/frame.h"
#include "map/language.h"
#include "map/relief.h"
#include "map/survey.h"
#include "map/thresholds.h"

namespace trasop {

// What the figure shows. `areaInside` is the share of the area's circle within the interior
// cells.
struct FigureContent {
  const ClassMap* classes = nullptr;
  Frame frame;
  Thresholds thresholds;
  Circle area;
  double areaInside = 1.0;
  const Survey* survey = nullptr;
  std::string title;
  // The terrain beneath the classes, reduced as figureBlock says; none: a plain map.
  const Relief* relief = nullptr;
  // Contour lines every `contourStep` metres; 0: a round step from the heights' range;
  // below 0: none.
  double contourStep = 0.0;
  Language language = Language::English;
  // With one source: its stack's height (the classes are of the slopes over 2 H where
  // `overBaseline`), and its ground height, whose lines 0.7 H above and below are drawn.
  double stack = 0.0;
  double ground = 0.0;
  bool overBaseline = false;
  // With several sources: each one's area, drawn with its source over the grid's classes.
  std::vector<Circle> sources;
};

// The print width in points (1/72 inch) and the resolution in pixels an inch.
struct FigureSize {
  double width = 16.0 / 2.54 * 72.0;
  double dpi = 300.0;
};

// The longest side in pixels a figure may have.
constexpr int kMostFigurePixels = 12000;

// Where the figure put what, in its pixels: for the summary and for checks of the layout.
struct FigureFacts {
  int width = 0;
  int height = 0;
  PixelBox map;            // the map's raster
  std::int64_t block = 1;  // cells a map pixel stands for, each way (a reduced map)
  int zoom = 1;            // map pixels a cell, each way
  int markReach = 0;       // blocks each way within which a mark's block may be shown
  double contourStep = 0;  // metres between contour lines; 0: none drawn
  std::vector<double> contourLevels;
  struct Label {
    std::string text;
    PixelBox box;        // from the ascent to the descent of the font
    bool onMap = false;  // a contour's label, drawn over the map
  };
  std::vector<Label> labels;
};

// The cells each way that one pixel of the map stands for (1 where a cell takes one pixel or
// more): the block the relief beneath the map is to be reduced to.
std::int64_t figureBlock(const FigureContent& content, const FigureSize& size);

// Lays out the figure, renders it and writes it as PNG to `file`, its facts in `facts`.
// Returns Ok, CannotCreate where a write fails, or OutOfMemory.
ResultCode writeFigure(std::FILE* file, const FigureContent& content, const FigureSize& size,
                       FigureFacts& facts);

}  // namespace trasop
