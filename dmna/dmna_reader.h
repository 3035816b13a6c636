// Reading a dmna grid file: its header into the GridHeader and IndexOrder, its data section
// into the heights of the TerrainGrid.
#pragma once

#include <string>

#include "app/result_code.h"
#include "dmna/text_reader.h"
#include "grid/grid.h"

namespace trasop {

// Opens the file `inputName`, prints the reading line and reads it with readDmna.
// Returns Ok, CannotRead (no such file, a folder, a read error or a short data section),
// BadDelta, BadSequ, BadBounds or OutOfMemory. On Ok every cell's height is filled.
ResultCode readDmnaFile(const std::string& inputName, GridHeader& header, IndexOrder& order,
                        TerrainGrid& grid);

// Reads a whole dmna text from `in`: the header (readHeader), its checks in the order order,
// delta, bounds, then the grid's allocation and its values (readGridValues).
// REQUIRES: grid holds no table yet. Leaves any allocated grid for releaseGrid.
ResultCode readDmna(TextReader& in, GridHeader& header, IndexOrder& order, TerrainGrid& grid);

// Resets `header` to its defaults and reads header lines up to and including the line that
// holds nothing but "*", or to the end of the text. Returns Ok, or BadSequ for an order text
// shorter than five characters (reading stops on that line).
ResultCode readHeader(TextReader& in, GridHeader& header, IndexOrder& order);

// Reads grid.ni x grid.nj values in the order `order` gives into the cells' heights.
// REQUIRES: order.outer set, grid allocated. Returns Ok, or CannotRead when the data section
// holds fewer values or cannot be read. Whatever follows the values is not read.
ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid);

}  // namespace trasop
