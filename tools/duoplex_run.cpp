// duoplex-run: the headless runner of the planar simulation.
//
//   duoplex-run (IN.grav | --config NAME [--three]) --steps N [--function NAME]
//               [--three] [--brake 1..5] [--dt X] [--out OUT.grav]
//
// Exit codes: 0 done, 2 bad arguments or files (nothing written), 3 an
// arithmetic fault in a step (OUT then holds the state committed at it).
#include <iostream>
#include <string>
#include <vector>

#include "tools/duoplex_run_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return duoplex::RunTool(args, std::cout, std::cerr);
}
