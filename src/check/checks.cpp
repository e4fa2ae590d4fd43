// The check runner and its table. The file checks look at the bytes as stored; every other
// check looks at what the loader made of them (sections, lines, opcodes, argument texts), so
// it sees the script as a run sees it. Each error names the result code the run would give.
#include "check/checks.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/result_codes.h"
#include "engine/script.h"
#include "engine/text.h"
#include "platform/messages.h"

namespace {

constexpr size_t kMessageChars = 512;
constexpr size_t kNearDistance = 2;  // "did you mean": at most two edits away

// What every check reads: the bytes, and the loader's view of them.
struct ScriptFacts {
  std::string bytes;
  int loadResult;
  ScriptContext* context;  // nullptr when the loader gave nothing
  std::string start;
  bool Parsed() const { return loadResult == kResultOk && context != nullptr; }
  // The text up to its first NUL byte, which ends it for the loader.
  std::string Text() const { return bytes.substr(0, bytes.find('\0')); }
};

using Findings = std::vector<std::pair<uint32_t, std::string>>;
using CheckFunction = void (*)(const ScriptFacts&, Findings*);

std::string RunFails(int code) {
  char text[kMessageChars];
  LoadMessageText(ResultCodeStringId(code), text, sizeof(text));
  return "the run fails with " + std::to_string(code) + ": " + text;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Upper(std::string text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}

// The nearest of `names` to `name`: one equal but for case first, then one within two edits.
std::string NearestName(const std::string& name, const std::vector<std::string>& names) {
  for (const std::string& candidate : names) {
    if (candidate != name && Upper(candidate) == Upper(name)) return candidate;
  }
  std::string best;
  size_t bestDistance = kNearDistance + 1;
  for (const std::string& candidate : names) {
    size_t distance = EditDistance(Upper(name), Upper(candidate));
    if (distance < bestDistance && candidate != name) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<ScriptSection*> Sections(const ScriptContext* context) {
  std::vector<ScriptSection*> sections;
  for (RecordLinks* links = context->sections->first; links != nullptr; links = links->next) {
    sections.push_back(RecordFromLinks<ScriptSection>(links));
  }
  return sections;
}

std::vector<ScriptLine*> Lines(const ScriptSection* section) {
  std::vector<ScriptLine*> lines;
  for (RecordLinks* links = section->lines->first; links != nullptr; links = links->next) {
    lines.push_back(RecordFromLinks<ScriptLine>(links));
  }
  return lines;
}

std::vector<std::string> SectionNames(const ScriptContext* context) {
  std::vector<std::string> names;
  for (const ScriptSection* section : Sections(context)) names.push_back(section->name);
  return names;
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The section a line names, read as its handler reads it: "CALL Section", "CALL VAR=Section",
// "CALLIF cond,Section", "CALLIF cond,VAR=Section", "GOTOIF cond,Section", "COPYFILES Section",
// "DELFILES Section". False for other commands and for a CALLIF or GOTOIF with no comma.
bool SectionTarget(const ScriptLine* line, std::string* target) {
  std::string argument = line->argumentText;
  switch (line->opcode) {
    case kOpCall:
      *target = Trimmed(argument.substr(argument.find('=') == std::string::npos ? 0 : argument.find('=') + 1));
      return true;
    case kOpCallIf:
    case kOpGotoIf: {
      size_t comma = argument.find(',');
      if (comma == std::string::npos) return false;
      std::string rest = argument.substr(comma + 1);
      size_t equals = rest.find('=');
      if (line->opcode == kOpCallIf && equals != std::string::npos) rest = rest.substr(equals + 1);
      *target = Trimmed(rest);
      return true;
    }
    case kOpCopyFiles:
    case kOpDelFiles:
      *target = argument;
      return true;
    default:
      return false;
  }
}

bool HoldsVariable(const std::string& text) { return text.find("%%") != std::string::npos; }

// --- the file ---------------------------------------------------------------------------

void CheckUtf16File(const ScriptFacts& facts, Findings* findings) {
  if (facts.loadResult != kResultReadFailed) return;
  findings->push_back({1, "the script is UTF-16 text: save it as ANSI (" + RunFails(kResultReadFailed) + ")"});
}

void CheckUtf8Mark(const ScriptFacts& facts, Findings* findings) {
  if (facts.bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) return;
  findings->push_back({1, "a UTF-8 byte-order mark starts the file: the loader skips it, and reads the rest as ANSI"});
}

void CheckNulByte(const ScriptFacts& facts, Findings* findings) {
  if (facts.loadResult == kResultReadFailed) return;
  size_t nul = facts.bytes.find('\0');
  if (nul == std::string::npos) return;
  auto line = static_cast<uint32_t>(1 + std::count(facts.bytes.begin(), facts.bytes.begin() + static_cast<long>(nul), '\n'));
  findings->push_back({line, "a NUL byte ends the script text here: the run ignores everything after it"});
}

void CheckBareLineFeed(const ScriptFacts& facts, Findings* findings) {
  if (facts.loadResult == kResultReadFailed) return;
  const std::string text = facts.Text();
  uint32_t line = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    if (i == 0 || text[i - 1] != '\r') {
      findings->push_back({line, "a bare LF ends this line: a command line runs on into the next (save with CR LF line ends)"});
    }
    ++line;
  }
}

// A command line's argument text is what follows its command word; the loader keeps
// kArgumentReadChars bytes of it and reads what follows as one more command line.
void CheckLineTooLong(const ScriptFacts& facts, Findings* findings) {
  if (facts.loadResult == kResultReadFailed) return;
  std::istringstream lines(facts.Text());
  std::string text;
  for (uint32_t line = 1; std::getline(lines, text); ++line) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    size_t p = text.find_first_not_of(" \t");
    if (p == std::string::npos || text[p] == ';' || text[p] == '[') continue;
    while (p < text.size() && IsAsciiAlnum(text[p])) ++p;
    size_t argument = text.size() - p;
    if (argument <= kArgumentReadChars) continue;
    findings->push_back({line, "the argument text is " + std::to_string(argument) + " bytes: the run keeps the first " +
                                   std::to_string(kArgumentReadChars) + ": the rest is lost or read as another command line"});
  }
}

void CheckCommandOutsideSection(const ScriptFacts& facts, Findings* findings) {
  if (facts.loadResult != kResultNoMemory || facts.context == nullptr || facts.context->currentSection != nullptr) return;
  findings->push_back({facts.context->lineCounter, "command outside of any section: a command before the first section header (" +
                                                       RunFails(kResultNoMemory) + ")"});
}

void CheckMissingStartSection(const ScriptFacts& facts, Findings* findings) {
  if (!facts.Parsed() || FindSection(facts.context->sections, facts.start.c_str()) != nullptr) return;
  std::string message = "the start section '" + facts.start + "' does not exist (" +
                        RunFails(kResultStartSectionNotFound) + ")";
  std::string near = NearestName(facts.start, SectionNames(facts.context));
  if (!near.empty()) message += "; did you mean [" + near + "]?";
  findings->push_back({1, message});
}

// --- commands ---------------------------------------------------------------------------

void CheckUnknownCommand(const ScriptFacts& facts, Findings* findings) {
  if (facts.context == nullptr) return;
  std::vector<std::string> keywords;
  for (const KeywordRow* row = KeywordTable; row->keyword != nullptr; ++row) keywords.push_back(row->keyword);
  for (const ScriptSection* section : Sections(facts.context)) {
    for (const ScriptLine* line : Lines(section)) {
      if (line->opcode != kOpNone) continue;
      std::string word = line->commandWord;
      std::string message = (word.empty() ? std::string("a line with no command word") : "unknown command '" + word + "'") +
                            " (" + RunFails(kResultUnrecognizedCommand) + ")";
      std::string near = word.empty() ? "" : NearestName(Upper(word), keywords);
      if (!near.empty()) message += "; did you mean " + near + "?";
      findings->push_back({line->lineNumber, message});
    }
  }
}

void CheckCopyFileAs(const ScriptFacts& facts, Findings* findings) {
  if (facts.context == nullptr) return;
  for (const ScriptSection* section : Sections(facts.context)) {
    for (const ScriptLine* line : Lines(section)) {
      if (line->opcode != kOpCopyFileAs) continue;
      findings->push_back({line->lineNumber, "COPYFILEAS never runs (" + RunFails(kResultUnrecognizedCommand) +
                                                 "); use COPYONEFILE"});
    }
  }
}

// --- sections ---------------------------------------------------------------------------

void CheckMissingSection(const ScriptFacts& facts, Findings* findings) {
  if (!facts.Parsed()) return;
  const std::vector<std::string> names = SectionNames(facts.context);
  for (const ScriptSection* section : Sections(facts.context)) {
    for (const ScriptLine* line : Lines(section)) {
      std::string target;
      if (!SectionTarget(line, &target) || HoldsVariable(target)) continue;
      if (FindSection(facts.context->sections, target.c_str()) != nullptr) continue;
      std::string message = "section '" + target + "' does not exist (" + RunFails(kResultSectionNotFound) + ")";
      std::string near = NearestName(target, names);
      if (!near.empty()) message += "; did you mean '" + near + "'?";
      if (!near.empty() && Upper(near) == Upper(target)) message += " (section names are case-sensitive)";
      findings->push_back({line->lineNumber, message});
    }
  }
}

void CheckDuplicateSection(const ScriptFacts& facts, Findings* findings) {
  if (facts.context == nullptr) return;
  std::set<std::string> seen;
  for (const ScriptSection* section : Sections(facts.context)) {
    if (seen.insert(section->name).second) continue;
    const ScriptSection* first = FindSection(facts.context->sections, section->name);
    findings->push_back({section->lineNumber, "a second section [" + std::string(section->name) +
                                                  "]: it is never reached, the first (line " +
                                                  std::to_string(first->lineNumber) + ") is"});
  }
}

// Follows the section targets from the start section. A target held in a variable could be
// any section: then nothing is reported.
void CheckUnreachableSection(const ScriptFacts& facts, Findings* findings) {
  if (!facts.Parsed()) return;
  ScriptSection* start = FindSection(facts.context->sections, facts.start.c_str());
  if (start == nullptr) return;
  std::set<const ScriptSection*> reached = {start};
  std::vector<const ScriptSection*> pending = {start};
  while (!pending.empty()) {
    const ScriptSection* section = pending.back();
    pending.pop_back();
    for (const ScriptLine* line : Lines(section)) {
      std::string target;
      if (!SectionTarget(line, &target)) continue;
      if (HoldsVariable(target)) return;
      const ScriptSection* next = FindSection(facts.context->sections, target.c_str());
      if (next != nullptr && reached.insert(next).second) pending.push_back(next);
    }
  }
  for (const ScriptSection* section : Sections(facts.context)) {
    if (reached.count(section) != 0 || FindSection(facts.context->sections, section->name) != section) continue;
    findings->push_back({section->lineNumber, "section [" + std::string(section->name) + "] is not reached from [" +
                                                  facts.start + "]"});
  }
}

struct CheckEntry {
  CheckRow row;
  CheckFunction run;
};

const CheckEntry kChecks[] = {
    {{"utf16-file", Severity::kError}, CheckUtf16File},
    {{"utf8-bom", Severity::kNote}, CheckUtf8Mark},
    {{"nul-byte", Severity::kError}, CheckNulByte},
    {{"bare-lf", Severity::kWarning}, CheckBareLineFeed},
    {{"line-too-long", Severity::kWarning}, CheckLineTooLong},
    {{"command-outside-section", Severity::kError}, CheckCommandOutsideSection},
    {{"missing-start-section", Severity::kError}, CheckMissingStartSection},
    {{"unknown-command", Severity::kError}, CheckUnknownCommand},
    {{"copyfileas", Severity::kError}, CheckCopyFileAs},
    {{"missing-section", Severity::kError}, CheckMissingSection},
    {{"duplicate-section", Severity::kWarning}, CheckDuplicateSection},
    {{"unreachable-section", Severity::kNote}, CheckUnreachableSection},
};

bool ReadBytes(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

std::vector<CheckRow> CheckTable() {
  std::vector<CheckRow> rows;
  for (const CheckEntry& entry : kChecks) rows.push_back(entry.row);
  return rows;
}

bool IsCheckName(const std::string& name) {
  for (const CheckEntry& entry : kChecks) {
    if (name == entry.row.name) return true;
  }
  return false;
}

bool CheckScript(const std::string& path, const CheckOptions& options, std::vector<Diagnostic>* diagnostics) {
  ScriptFacts facts;
  if (!ReadBytes(path, &facts.bytes) || facts.bytes.empty()) return false;
  facts.start = options.startSection;
  facts.context = nullptr;
  facts.loadResult = ScriptParseFile(path.c_str(), &facts.context);

  std::vector<Diagnostic> found;
  for (const CheckEntry& entry : kChecks) {
    if (options.disabled.count(entry.row.name) != 0) continue;
    Findings findings;
    entry.run(facts, &findings);
    for (const auto& finding : findings) {
      found.push_back({path, finding.first, entry.row.severity, entry.row.name, finding.second});
    }
  }
  ScriptClose(facts.context);
  std::stable_sort(found.begin(), found.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
  diagnostics->insert(diagnostics->end(), found.begin(), found.end());
  return true;
}
