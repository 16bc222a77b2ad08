#pragma once
namespace plix {
int layoutgen_main(int argc, char** argv);
}
