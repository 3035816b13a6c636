// Reading a dmna grid file: its header into the GridHeader and IndexOrder, its data section
// into the heights of the TerrainGrid.
#pragma once

#include <string>

#include "app/result_code.h"
#include "grid/grid.h"

namespace trasop {

// Opens the file `inputName`, prints the reading line and reads the whole file.
// Returns Ok, CannotRead (no such file, a folder, a read error or a short data section),
// BadDelta, BadSequ, BadBounds or OutOfMemory. On Ok every cell's height is filled.
// REQUIRES: grid holds no table yet. Leaves any allocated grid for releaseGrid.
ResultCode readDmnaFile(const std::string& inputName, GridHeader& header, IndexOrder& order,
                        TerrainGrid& grid);

// The same without a word on the console: for another program on the same library.
ResultCode readDmnaFileQuietly(const std::string& inputName, GridHeader& header, IndexOrder& order,
                               TerrainGrid& grid);

}  // namespace trasop
