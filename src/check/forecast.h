// Where a run of the script would stop first: the first line, in the order the run meets
// lines (through CALL, CALLIF, GOTOIF and the file lists), that holds an error naming the
// code the run fails with; or a fault that stops the run before its first line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "check/diagnostics.h"
#include "check/script_view.h"

struct RunForecast {
  bool stops = false;
  bool beforeFirstLine = false;  // the loader's fault: no line runs
  uint32_t line = 0;
  int code = 0;
};

RunForecast ForecastRun(const ScriptView& view, const std::vector<Diagnostic>& diagnostics);

// "the run stops at line 17 (13: The requested file does not exist.)"
std::string ForecastText(const RunForecast& forecast);
