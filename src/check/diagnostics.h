// What the checker reports: one record per fault found, and the three ways it is printed
// (compiler-style text, a JSON array, workflow annotations for a build pipeline).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class Severity { kError, kWarning, kNote };

struct Diagnostic {
  std::string file;
  uint32_t line;
  Severity severity;
  std::string check;  // the check's stable name
  std::string message;
};

const char* SeverityName(Severity severity);
// "path:line: error: text [check]"
std::string FormatText(const Diagnostic& diagnostic);
// "::error file=F,line=N::text [check]"
std::string FormatGithub(const Diagnostic& diagnostic);
// A JSON array of {file, line, severity, check, message}, one object a line.
std::string FormatJson(const std::vector<Diagnostic>& diagnostics);
// "2 errors, 1 warning, 0 notes in 1 file"
std::string FormatSummary(const std::vector<Diagnostic>& diagnostics, size_t files);
