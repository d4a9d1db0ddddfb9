#include "tiledump/tiledump.h"

int main(int argc, char** argv) { return tiledump::tiledump_main(argc, argv); }
