// One run of trasop-map: the options, the height grid read and its slopes computed as trasop
// computes them, the figure (and the GIS raster) written, the figures printed.
#pragma once

namespace trasop {

// Returns the exit status: 0, 2 for a usage fault, or the result code of the input's or an
// output's fault (3 to 8), each with a message on standard error.
int runTrasopMap(int argc, const char* const* argv);

}  // namespace trasop
