// The diagnostic formats. Annotation texts are escaped here, once.
#include "check/diagnostics.h"

#include <cstdio>

#include "base/json_text.h"

namespace {

// Workflow commands end at a line end; a property value also at ',' and ':'.
std::string AnnotationText(const std::string& text, bool property) {
  std::string out;
  for (char c : text) {
    if (c == '%')
      out += "%25";
    else if (c == '\r')
      out += "%0D";
    else if (c == '\n')
      out += "%0A";
    else if (property && c == ',')
      out += "%2C";
    else if (property && c == ':')
      out += "%3A";
    else
      out += c;
  }
  return out;
}

// A diagnostic is one line of text: a control character quoted from the script (a bare LF
// inside a command line, say) is shown as its C escape.
std::string OneLine(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      return "note";
  }
  return "note";
}

std::string FormatText(const Diagnostic& d) {
  return OneLine(d.file) + ":" + std::to_string(d.line) + ": " + SeverityName(d.severity) + ": " + OneLine(d.message) +
         " [" + d.check + "]";
}

std::string FormatGithub(const Diagnostic& d) {
  // Workflow annotations have no "note": theirs is "notice".
  const char* level = d.severity == Severity::kNote ? "notice" : SeverityName(d.severity);
  return std::string("::") + level + " file=" + AnnotationText(d.file, true) + ",line=" + std::to_string(d.line) +
         "::" + AnnotationText(d.message + " [" + d.check + "]", false);
}

std::string FormatJson(const std::vector<Diagnostic>& diagnostics) {
  std::string out = "[";
  for (size_t i = 0; i < diagnostics.size(); ++i) {
    const Diagnostic& d = diagnostics[i];
    out += i == 0 ? "\n" : ",\n";
    out += "  {\"file\": " + JsonString(d.file) + ", \"line\": " + std::to_string(d.line) + ", \"severity\": \"" +
           SeverityName(d.severity) + "\", \"check\": " + JsonString(d.check) +
           ", \"message\": " + JsonString(d.message) + "}";
  }
  return out + "\n]\n";
}

std::string FormatSummary(const std::vector<Diagnostic>& diagnostics, size_t files) {
  size_t counts[3] = {0, 0, 0};
  for (const Diagnostic& d : diagnostics) ++counts[static_cast<int>(d.severity)];
  return Counted(counts[0], "error") + ", " + Counted(counts[1], "warning") + ", " + Counted(counts[2], "note") +
         " in " + Counted(files, "file");
}
