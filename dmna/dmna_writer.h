// Writing the slope file: a dmna file whose header describes the interior of the input grid
// (one point less on every side) and whose data section holds the interior slopes.
#pragma once

#include <cstdio>
#include <string>

#include "app/result_code.h"
#include "grid/grid.h"

namespace trasop {

// The output name: the input name cut at its last "." (if any), then "_s.dmna".
std::string slopeFileName(const std::string& inputName);

// Writes the slope file for `inputName` and prints the writing line. The system decides
// whether the output may be written. Where a new file can take the old one's place with
// everything it had, the text goes to a temporary file that replaces the output only once
// complete, so a failure or an interrupt leaves the old output as it was; otherwise (a shared
// or linked file, a FIFO, a device) the text is written into the existing file itself.
// REQUIRES: a grid accepted by the reader and processed by computeSlopes.
// Returns Ok, or CannotCreate when the output cannot be opened, written, closed or replaced.
ResultCode writeSlopeFile(const std::string& inputName, const GridHeader& header,
                          const IndexOrder& order, const TerrainGrid& grid);

// Writes the whole slope file text to `file` (binary mode; every line ends in CR LF).
// Returns false when a write fails.
bool writeSlopeText(std::FILE* file, const GridHeader& header, const IndexOrder& order,
                    const TerrainGrid& grid);

}  // namespace trasop
