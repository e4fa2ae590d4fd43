// The scripts of tests/check/runs/ each begin with "; run gives N": the exit code Kivrun.exe
// gives when a host runs the script without naming a section (so from [DefaultInstall]). A
// UTF-16 script says it in UTF-16. Read by the checker's test and by the end-to-end test.
#pragma once
#include <string>

// N from the script's bytes, or -1 when its first line is not "; run gives N". An empty
// script has no line to say it in: its name ends in "_gives_N" (empty_file_gives_8.kiv).
inline int ClaimedExitCode(const std::string& bytes, const std::string& stem) {
  constexpr size_t kMostDigits = 3;  // exit codes of scripts stay below 1000
  const std::string prefix = "; run gives ";
  std::string line;  // the first line, UTF-16 read as its low bytes
  for (size_t i = bytes.compare(0, 2, "\xFF\xFE") == 0 ? 2 : 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') break;
    if (bytes[i] != '\0') line += bytes[i];
  }
  const std::string named = "_gives_";
  const size_t at = stem.rfind(named);
  if (bytes.empty() && at != std::string::npos) line = prefix + stem.substr(at + named.size());
  if (line.compare(0, prefix.size(), prefix) != 0) return -1;
  const std::string digits = line.substr(prefix.size());
  if (digits.empty() || digits.size() > kMostDigits) return -1;
  int code = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}
