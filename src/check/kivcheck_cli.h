// The kivcheck command line: options, the scripts named, the diagnostics printed in the
// chosen format and the exit status (0 no error, 1 an error, 2 a usage fault or an
// unreadable file).
#pragma once
#include <ostream>
#include <string>
#include <vector>

constexpr int kExitClean = 0;
constexpr int kExitFaults = 1;
constexpr int kExitUsage = 2;

// `arguments` without the program name.
int RunKivcheck(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
