// A what-if run (/WhatIf): the script runs with the door describing every change instead of
// making it. Queries read the machine (as the plan leaves it), so the run takes the path a
// real run would take; its exit code is the one a real run would give. The plan goes to the
// log as it grows and, with /Plan=<file>, to a JSON file at the end; the host's final status
// text begins with "What-if: N changes planned".
#pragma once

#include "app/command_line.h"

// Checks the what-if options and sets the door to describe. 0 when the script may run;
// otherwise the usage fault's exit code, logged.
int StartWhatIf(const StartupOptions& options);

// After the run: the summary line, the plan file and the host's final status text.
void EndWhatIf(const StartupOptions& options, const char* section, int exitCode);
