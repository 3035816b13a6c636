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

// Writes the slope file for `inputName` and prints the writing line. The file is written
// under a temporary name of this run's own beside the file it replaces (for an output name
// that is a link: the file the link points to) and moved there only once complete, so a
// failure or an interrupt never leaves a partial file and never touches an existing output.
// REQUIRES: a grid accepted by the reader and processed by computeSlopes.
// Returns Ok, or CannotCreate when the file cannot be created, written, closed or renamed.
ResultCode writeSlopeFile(const std::string& inputName, const GridHeader& header,
                          const IndexOrder& order, const TerrainGrid& grid);

// Writes the whole slope file text to `file` (binary mode; every line ends in CR LF).
// Returns false when a write fails.
bool writeSlopeText(std::FILE* file, const GridHeader& header, const IndexOrder& order,
                    const TerrainGrid& grid);

}  // namespace trasop
