// kivcheck: finds a KIV script's faults before it reaches a workstation.
#include <iostream>

#include "check/kivcheck_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return RunKivcheck(arguments, std::cout, std::cerr);
}
