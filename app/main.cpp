// trasop: terrain slopes from a dmna grid of terrain heights.
#include "app/run.h"

int main(int argc, char** argv) { return trasop::runTrasop(argc, argv); }
