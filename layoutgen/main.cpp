#include "layoutgen/layoutgen.h"

int main(int argc, char** argv) { return plix::layoutgen_main(argc, argv); }
