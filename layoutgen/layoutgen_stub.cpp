#include "layoutgen/layoutgen.h"
namespace plix { int layoutgen_main(int, char**) { return 1; } }
