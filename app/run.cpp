#include "app/run.h"

#include <string>

#include "app/console.h"
#include "dmna/dmna_reader.h"
#include "dmna/dmna_writer.h"
#include "grid/grid.h"
#include "terrain/slope.h"

namespace trasop {

ResultCode checkArguments(int argc, const char* const* argv, std::string& inputName,
                          bool slashIntroducesOption) {
  if (argc != 2) return Usage;
  const char first = argv[1][0];
  if (first == '-' || (slashIntroducesOption && first == '/')) return OptionGiven;
  inputName = argv[1];
  return Ok;
}

int runTrasop(int argc, const char* const* argv) {
  printResultMessage(Banner);
  std::string inputName;
  GridHeader header;
  IndexOrder order;
  TerrainGrid grid;
  ResultCode result = checkArguments(argc, argv, inputName);
  if (result == Ok) {
    result = readDmnaFile(inputName, header, order, grid);
    if (result == Ok) {
      computeSlopes(grid, header.delta);
      result = writeSlopeFile(inputName, header, order, grid);
    }
    releaseGrid(grid);
  }
  printResultMessage(result);
  printMessage("\n*** Programmende ***\n");
  return result;
}

}  // namespace trasop
