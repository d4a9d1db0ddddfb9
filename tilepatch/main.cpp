#include "tilepatch/tilepatch.h"

int main(int argc, char** argv) { return tilepatch::tilepatch_main(argc, argv); }
