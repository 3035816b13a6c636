#include "map_app/map_run.h"

int main(int argc, char** argv) { return trasop::runTrasopMap(argc, argv); }
