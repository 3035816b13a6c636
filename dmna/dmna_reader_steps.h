// The steps of reading a dmna text, for the reader's own sources, its tests and the fuzz
// target, which feed them text from memory. The program itself calls readDmnaFile alone.
#pragma once

#include "app/result_code.h"
#include "dmna/text_reader.h"
#include "grid/grid.h"

namespace trasop {

// Reads a whole dmna text from `in`: the header (readHeader), its checks in the order order,
// delta, bounds, then the grid's allocation and its values (readGridValues).
// REQUIRES: grid holds no table yet. Leaves any allocated grid for releaseGrid.
ResultCode readDmna(TextReader& in, GridHeader& header, IndexOrder& order, TerrainGrid& grid);

// Resets `header` to its defaults and reads header lines up to and including the line that
// holds nothing but "*", or to the end of the text. Returns Ok, or BadSequ for an order text
// shorter than five characters (reading stops on that line).
ResultCode readHeader(TextReader& in, GridHeader& header, IndexOrder& order);

// Reads grid.ni x grid.nj values in the order `order` gives into the cells' heights.
// REQUIRES: order.outer set, grid allocated. Returns Ok, CannotRead when the data section
// holds fewer values or cannot be read, or OutOfMemory when there is no room for the band of
// lines that values across the rows are gathered in. Whatever follows the values is not read.
ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid);

}  // namespace trasop
