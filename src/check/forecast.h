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
  uint32_t line = 0;     // as an editor counts lines
  uint32_t logLine = 0;  // as the loader counts them, and the run's log names them
  int code = 0;
};

RunForecast ForecastRun(const ScriptView& view, const std::vector<Diagnostic>& diagnostics);

// "the run stops at line 17 (13: The requested file does not exist.)"; where a bare LF makes
// the two counts differ, "at line 18, which the run's log names line 17".
std::string ForecastText(const RunForecast& forecast);
