#include "check/forecast.h"

#include <map>

#include "check/command_rules.h"
#include "engine/keywords.h"

namespace {

// A section being walked, and the next of its lines.
struct Frame {
  int section;
  size_t next;
};

}  // namespace

RunForecast ForecastRun(const ScriptView& view, const std::vector<Diagnostic>& diagnostics) {
  std::map<uint32_t, int> stopAt;  // line → the code of its first error that names one
  for (const Diagnostic& d : diagnostics) {
    const int code = d.severity == Severity::kError ? RunFailureCode(d.message) : 0;
    if (code != 0) stopAt.emplace(d.line, code);
  }
  RunForecast forecast;
  if (stopAt.empty()) return forecast;
  if (!view.Parsed() || view.startIndex < 0) {
    forecast = {true, true, stopAt.begin()->first, stopAt.begin()->first, stopAt.begin()->second};
    return forecast;
  }
  // Depth first, each section walked once: a second visit meets the same faults later.
  std::vector<bool> walked(view.sections.size(), false);
  std::vector<Frame> stack = {{view.startIndex, 0}};
  walked[static_cast<size_t>(view.startIndex)] = true;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const SectionView& section = view.sections[static_cast<size_t>(frame.section)];
    if (frame.next >= section.lines.size()) {
      stack.pop_back();
      continue;
    }
    const size_t at = frame.next++;
    const ScriptLine* line = section.lines[at];
    const auto stop = stopAt.find(line->lineNumber);
    if (stop != stopAt.end()) return {true, false, stop->first, stop->first, stop->second};
    if (line->opcode == kOpReturn) {  // the called section ends here
      stack.pop_back();
      continue;
    }
    const int target = at < section.targets.size() ? section.targets[at] : -1;
    if (target >= 0 && !walked[static_cast<size_t>(target)]) {
      walked[static_cast<size_t>(target)] = true;
      stack.push_back({target, 0});
    }
  }
  return forecast;
}

std::string ForecastText(const RunForecast& forecast) {
  std::string where = forecast.beforeFirstLine ? "before its first line" : "at line " + std::to_string(forecast.line);
  if (!forecast.beforeFirstLine && forecast.logLine != forecast.line) {
    where += ", which the run's log names line " + std::to_string(forecast.logLine);
  }
  return "the run stops " + where + " (" + CodeAndMessage(forecast.code) + ")";
}
