#include "d88info/d88info.h"

int main(int argc, char** argv) { return d88info::d88info_main(argc, argv); }
