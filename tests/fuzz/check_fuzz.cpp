// The checker on any bytes, as a script author's pipeline hands it whatever file it has: the
// input is checked as a script (every check on), and whatever it holds, the check ends with
// diagnostics that name a known check, a line of the file and a message, in line order, and
// that every output format can print.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check/checks.h"
#include "check/diagnostics.h"
#include "fuzz_support.h"

namespace {

const std::string& InputPath() {
  static const std::string path = TempScript("check.kiv");
  return path;
}

void RemoveTempScript() { std::remove(InputPath().c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The path exists before the clean-up is registered, so it outlives it.
  static const bool registered = !InputPath().empty() && std::atexit(RemoveTempScript) == 0;
  (void)registered;

  WriteFile(InputPath(), data, size);
  std::vector<Diagnostic> diagnostics;
  if (!CheckScript(InputPath(), CheckOptions(), &diagnostics)) std::abort();
  uint32_t previousLine = 1;
  for (const Diagnostic& d : diagnostics) {
    if (!IsCheckName(d.check) || d.message.empty() || d.line < previousLine || d.line > size + 1) std::abort();
    previousLine = d.line;
    if (FormatText(d).empty() || FormatGithub(d).empty()) std::abort();
  }
  if (FormatJson(diagnostics).empty()) std::abort();
  return 0;
}
