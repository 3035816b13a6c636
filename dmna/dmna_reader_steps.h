// The steps of reading a dmna text, for the reader's own sources, its tests and the fuzz
// target, which feed them text from memory. The program itself calls readDmnaFile alone.
#pragma once

#include <cstdint>

#include "app/result_code.h"
#include "dmna/text_reader.h"
#include "grid/grid.h"

namespace trasop {

// Reads a whole dmna text from `in`: the header (readHeader), its checks in the order order,
// delta, bounds, then the grid's allocation and its values (readGridValues). `pages`: those a
// grid of known size may take where its lines run across the rows; small pages for a text
// that may not hold the data its size promises (a sparse file).
// REQUIRES: grid holds no table yet. Leaves any allocated grid for releaseGrid.
ResultCode readDmna(TextReader& in, GridHeader& header, IndexOrder& order, TerrainGrid& grid,
                    Pages pages = Pages::Any);

// Resets `header` to its defaults and reads header lines up to and including the line that
// holds nothing but "*", or to the end of the text. Returns Ok, or BadSequ for an order text
// shorter than five characters (reading stops on that line).
ResultCode readHeader(TextReader& in, GridHeader& header, IndexOrder& order);

// Reads grid.ni x grid.nj values in the order `order` gives into the cells' heights.
// REQUIRES: order.outer set, grid allocated. Returns Ok, or CannotRead when the data section
// holds fewer values or cannot be read. Whatever follows the values is not read.
ResultCode readGridValues(TextReader& in, const IndexOrder& order, TerrainGrid& grid);

// The same for a text whose size is not known beforehand (a pipe, a device), where a header
// may promise a grid far larger than the data that follows: the grid's rows are allocated as
// the values reach them, so that memory grows with the data, not with the header's promise.
// Where the grid finds no room, the rest of the values are counted all the same: CannotRead
// when there are too few, else OutOfMemory; a short data section is thus reported as for a
// text of known size.
// REQUIRES: order.outer set, grid holds no table yet; ni, nj > 0. Leaves any allocated rows
// for releaseGrid.
ResultCode readIntoGrowingGrid(TextReader& in, const IndexOrder& order, std::int32_t ni,
                               std::int32_t nj, TerrainGrid& grid);

}  // namespace trasop
