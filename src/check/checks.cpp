// The check runner and its table. The file checks look at the bytes as stored; every other
// check looks at what the loader made of them (sections, lines, opcodes, argument texts), so
// it sees the script as a run sees it. Each error names the result code the run would give.
#include "check/checks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "check/command_rules.h"
#include "check/near_names.h"
#include "check/script_view.h"
#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/result_codes.h"
#include "base/text.h"
#include "platform/folder_entries.h"

namespace {

using CheckFunction = void (*)(const ScriptView&, Findings*);

std::vector<std::string> SectionNames(const ScriptView& view) {
  std::vector<std::string> names;
  for (const SectionView& section : view.sections) names.push_back(section.section->name);
  return names;
}

// --- the file ---------------------------------------------------------------------------

void CheckEmptyFile(const ScriptView& view, Findings* findings) {
  if (!view.bytes.empty()) return;
  findings->push_back({1, "the file is empty (" + RunFails(kResultEmptyFile) + ")", {}});
}

void CheckUtf16File(const ScriptView& view, Findings* findings) {
  if (view.loadResult != kResultReadFailed) return;
  findings->push_back({1, "the script is UTF-16 text: save it as ANSI (" + RunFails(kResultReadFailed) + ")", {}});
}

void CheckUtf8Mark(const ScriptView& view, Findings* findings) {
  if (view.bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) return;
  findings->push_back(
      {1, "a UTF-8 byte-order mark starts the file: the loader skips it, and reads the rest as ANSI", {}});
}

void CheckNulByte(const ScriptView& view, Findings* findings) {
  if (view.loadResult == kResultReadFailed) return;
  size_t nul = view.bytes.find('\0');
  if (nul == std::string::npos) return;
  auto line =
      static_cast<uint32_t>(1 + std::count(view.bytes.begin(), view.bytes.begin() + static_cast<long>(nul), '\n'));
  findings->push_back({line, "a NUL byte ends the script text here: the run ignores everything after it", {}});
}

// Every line of the file ends in LF alone (at least one does, none in CR LF): saved by an
// editor set to Unix line ends.
bool AllLinesEndInLf(const ScriptView& view) {
  const std::string text = view.Text();
  if (text.find('\n') == std::string::npos) return false;
  for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1)) {
    if (i > 0 && text[i - 1] == '\r') return false;
  }
  return true;
}

// Such a file is one fault, not one a line: the run reads its command lines run together.
void CheckLfLineEnds(const ScriptView& view, Findings* findings) {
  if (view.loadResult == kResultReadFailed || !AllLinesEndInLf(view)) return;
  findings->push_back({1,
                       "every line ends in LF alone: the run reads each command line on into the next (an "
                       "argument runs to the next CR); save the file with CR LF line ends",
                       {}});
}

void CheckBareLineFeed(const ScriptView& view, Findings* findings) {
  if (view.loadResult == kResultReadFailed || AllLinesEndInLf(view)) return;
  const std::string text = view.Text();
  uint32_t line = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    if (i == 0 || text[i - 1] != '\r') {
      findings->push_back(
          {line, "a bare LF ends this line: a command line runs on into the next (save with CR LF line ends)", {}});
    }
    ++line;
  }
}

// A command line's argument text is what follows its command word; the loader keeps
// kArgumentReadChars bytes of it and reads what follows as one more command line.
void CheckLineTooLong(const ScriptView& view, Findings* findings) {
  if (view.loadResult == kResultReadFailed) return;
  std::istringstream lines(view.Text());
  std::string text;
  for (uint32_t line = 1; std::getline(lines, text); ++line) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    size_t p = text.find_first_not_of(" \t");
    if (p == std::string::npos || text[p] == ';' || text[p] == '[') continue;
    while (p < text.size() && IsAsciiAlnum(text[p])) ++p;
    size_t argument = text.size() - p;
    if (argument <= kArgumentReadChars) continue;
    findings->push_back({line,
                         "the argument text is " + std::to_string(argument) + " bytes: the run keeps the first " +
                             std::to_string(kArgumentReadChars) + ": the rest is lost or read as another command line",
                         {}});
  }
}

void CheckCommandOutsideSection(const ScriptView& view, Findings* findings) {
  if (view.loadResult != kResultNoMemory || view.context == nullptr || view.context->currentSection != nullptr) return;
  findings->push_back(
      {view.context->lineCounter,
       "command outside of any section: a command before the first section header (" + RunFails(kResultNoMemory) + ")",
       {}});
}

void CheckMissingStartSection(const ScriptView& view, Findings* findings) {
  if (!view.Parsed() || view.startIndex >= 0) return;
  std::string message =
      "the start section '" + view.start + "' does not exist (" + RunFails(kResultStartSectionNotFound) + ")";
  std::string near = NearNames(SectionNames(view)).Nearest(view.start);
  if (!near.empty()) message += "; did you mean [" + near + "]?";
  findings->push_back({1, message, {}});
}

// --- commands ---------------------------------------------------------------------------

void CheckUnknownCommand(const ScriptView& view, Findings* findings) {
  std::vector<std::string> words;
  for (const CommandRow& row : CommandTable) words.push_back(row.keyword);
  NearNames keywords(std::move(words));
  for (const SectionView& section : view.sections) {
    for (const ScriptLine* line : section.lines) {
      if (line->opcode != kOpNone) continue;
      std::string word = line->commandWord;
      std::string message =
          (word.empty() ? std::string("a line with no command word") : "unknown command '" + word + "'") + " (" +
          RunFails(kResultUnrecognizedCommand) + ")";
      std::string near = word.empty() ? "" : keywords.Nearest(Upper(word));
      if (!near.empty()) message += "; did you mean " + near + "?";
      findings->push_back({line->lineNumber, message, {}});
    }
  }
}

void CheckCopyFileAs(const ScriptView& view, Findings* findings) {
  for (const SectionView& section : view.sections) {
    for (const ScriptLine* line : section.lines) {
      if (line->opcode != kOpCopyFileAs) continue;
      findings->push_back({line->lineNumber,
                           "COPYFILEAS never runs (" + RunFails(kResultUnrecognizedCommand) + "); use COPYONEFILE",
                           {}});
    }
  }
}

void CheckJournalCannotUndo(const ScriptView& view, Findings* findings) {
  for (const SectionView& section : view.sections) {
    for (const ScriptLine* line : section.lines) {
      const char* what = JournalCannotUndo(line->opcode);
      if (what == nullptr) continue;
      findings->push_back({line->lineNumber, std::string(CommandRowOf(line->opcode)->keyword) + " " + what, {}});
    }
  }
}

// The faults the command rules found, by the check they belong to.
void RuleFaults(const ScriptView& view, const char* check, Findings* findings) {
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      for (const Fault& fault : section.readings[i].faults) {
        if (fault.check == check) findings->push_back({section.lines[i]->lineNumber, fault.message, fault.severity});
      }
    }
  }
}

void CheckArgumentForm(const ScriptView& view, Findings* findings) { RuleFaults(view, kArgumentFormCheck, findings); }
void CheckNumbers(const ScriptView& view, Findings* findings) { RuleFaults(view, kNumberCheck, findings); }
void CheckConditions(const ScriptView& view, Findings* findings) { RuleFaults(view, kConditionCheck, findings); }

// --- sections ---------------------------------------------------------------------------

// A name that holds a %%NAME%% is the literal-variable check's.
void CheckMissingSection(const ScriptView& view, Findings* findings) {
  if (!view.Parsed()) return;
  NearNames names(SectionNames(view));
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const std::string& target = section.readings[i].section;
      if (!section.readings[i].runsSection || HoldsVariable(target)) continue;
      if (FindSection(view.context->sections, target.c_str()) != nullptr) continue;
      std::string message = "section '" + target + "' does not exist (" + RunFails(kResultSectionNotFound) + ")";
      std::string near = names.Nearest(target);
      // The whole argument is the name: "Install now" or "Install ; comment" names no section
      // even where [Install] exists.
      const size_t cut = target.find_first_of(" \t,;");
      const std::string first = cut == std::string::npos ? "" : TrimmedText(target.substr(0, cut));
      if (!first.empty() && FindSection(view.context->sections, first.c_str()) != nullptr) {
        message += "; the whole argument is the name: [" + first + "] is a section";
      } else if (!near.empty()) {
        message += "; did you mean '" + near + "'?";
        if (Upper(near) == Upper(target)) message += " (section names are case-sensitive)";
      }
      findings->push_back({section.lines[i]->lineNumber, message, {}});
    }
  }
}

// A %%NAME%% in a part the run uses as written is part of the name. A section so named is
// looked for under that very name: without one, the run fails there.
void CheckLiteralVariables(const ScriptView& view, Findings* findings) {
  for (const SectionView& section : view.sections) {
    for (size_t i = 0; i < section.lines.size(); ++i) {
      const LineReading& reading = section.readings[i];
      for (const LiteralPart& part : reading.literals) {
        std::string quoted;
        for (const std::string& name : ReferenceNames(part.text)) quoted += (quoted.empty() ? "'%%" : ", '%%") + name + "%%'";
        if (quoted.empty()) quoted = "'" + part.text + "'";
        std::string message = "the run uses " + quoted + " as written; ";
        message += part.isTarget ? std::string(TargetNoun(reading.row->target)) + " are not substituted"
                                 : std::string(reading.row->keyword) + " does not substitute this part";
        const bool missing = part.use == FieldUse::kSection && view.Parsed() &&
                             FindSection(view.context->sections, part.text.c_str()) == nullptr;
        if (missing) {
          message += ": no section is named '" + part.text + "' (" + RunFails(kResultSectionNotFound) + ")";
        }
        findings->push_back(
            {section.lines[i]->lineNumber, message, missing ? Severity::kError : Severity::kWarning});
      }
    }
  }
}

void CheckDuplicateSection(const ScriptView& view, Findings* findings) {
  for (const SectionView& section : view.sections) {
    if (section.first) continue;
    const ScriptSection* first = FindSection(view.context->sections, section.section->name);
    findings->push_back({section.section->lineNumber,
                         "a second section [" + std::string(section.section->name) +
                             "]: it is never reached, the first (line " + std::to_string(first->lineNumber) + ") is",
                         {}});
  }
}

void CheckUnreachableSection(const ScriptView& view, Findings* findings) {
  if (!view.Parsed() || view.startIndex < 0) return;
  for (size_t i = 0; i < view.sections.size(); ++i) {
    if (view.reached[i] || !view.sections[i].first) continue;
    const ScriptSection* section = view.sections[i].section;
    findings->push_back({section->lineNumber,
                         "section [" + std::string(section->name) + "] is not reached from [" + view.start + "]",
                         {}});
  }
}

struct CheckEntry {
  CheckRow row;
  CheckFunction run;
  bool onlyWithJournal = false;  // runs only when asked for with --journal
  bool countsEveryLf = false;    // its lines are counted as an editor counts them already
};

// A bare LF inside a command line is part of that line for the loader (whose count the run's
// log uses) but begins a new line in an editor. Diagnostics name the editor's line.
class EditorLines {
 public:
  explicit EditorLines(const ScriptView& view) {
    for (const SectionView& section : view.sections) {
      for (const ScriptLine* line : section.lines) {
        const uint32_t feeds = static_cast<uint32_t>(std::count(line->argumentText,
                                                                line->argumentText + std::strlen(line->argumentText), '\n'));
        if (feeds > 0) feeds_.push_back({line->lineNumber, feeds});
      }
    }
  }
  // The editor's line of the loader's line `line`.
  uint32_t Of(uint32_t line) const {
    uint32_t extra = 0;
    for (const auto& feed : feeds_) {
      if (feed.first < line) extra += feed.second;
    }
    return line + extra;
  }

 private:
  std::vector<std::pair<uint32_t, uint32_t>> feeds_;  // loader line, the bare LFs inside it
};

std::string LogNames(uint32_t line) { return "the run's log names it line " + std::to_string(line); }

const CheckEntry kChecks[] = {
    {{"empty-file", Severity::kError}, CheckEmptyFile},
    {{"utf16-file", Severity::kError}, CheckUtf16File},
    {{"utf8-bom", Severity::kNote}, CheckUtf8Mark},
    {{"nul-byte", Severity::kError}, CheckNulByte},
    {{"lf-line-ends", Severity::kError}, CheckLfLineEnds, false, true},
    {{"bare-lf", Severity::kWarning}, CheckBareLineFeed, false, true},
    {{"line-too-long", Severity::kWarning}, CheckLineTooLong, false, true},
    {{"command-outside-section", Severity::kError}, CheckCommandOutsideSection},
    {{"missing-start-section", Severity::kError}, CheckMissingStartSection},
    {{"unknown-command", Severity::kError}, CheckUnknownCommand},
    {{"copyfileas", Severity::kError}, CheckCopyFileAs},
    {{"journal-cannot-undo", Severity::kNote}, CheckJournalCannotUndo, true},
    {{kArgumentFormCheck, Severity::kError}, CheckArgumentForm},
    {{kNumberCheck, Severity::kWarning}, CheckNumbers},
    {{kConditionCheck, Severity::kWarning}, CheckConditions},
    {{"missing-section", Severity::kError}, CheckMissingSection},
    {{kLiteralVariableCheck, Severity::kWarning}, CheckLiteralVariables},
    {{"duplicate-section", Severity::kWarning}, CheckDuplicateSection},
    {{"unreachable-section", Severity::kNote}, CheckUnreachableSection},
    {{"undefined-variable", Severity::kError}, CheckUndefinedVariables},
    {{"variable-case", Severity::kWarning}, CheckVariableCase},
    {{"unclosed-variable", Severity::kWarning}, CheckUnclosedVariables},
    {{"list-entry-outside-list", Severity::kWarning}, CheckListEntryOutsideList},
    {{"missing-package-file", Severity::kError}, CheckMissingPackageFile},
    {{"list-name-too-long", Severity::kError}, CheckListNameTooLong},
    {{"protected-target", Severity::kError}, CheckProtectedTarget},
    {{"empty-variable-target", Severity::kWarning}, CheckEmptyVariableTarget},
};

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// Reads the whole file. Only a plain file is a script: a folder, a device (/dev/zero never
// ends) or a pipe (which the loader could not read again) is unreadable, as is a read that
// fails part-way. (The C library's errors come back as values; a file stream would throw
// from inside its buffer instead.)
bool ReadBytes(const std::string& path, std::string* bytes) {
  if (!IsPlainFile(path)) return false;
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (file == nullptr) return false;
  bytes->clear();
  char chunk[64 * 1024];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes->append(chunk, got);
  return std::ferror(file.get()) == 0;
}

// The folder of a script path, kept as a folder: "C:\\update.kiv" gives "C:\\", "C:update.kiv"
// gives "C:" (the current folder of drive C) and a bare name ".".
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  const bool driveRoot = slash == 2 && path[1] == ':';
  return slash == 0 || driveRoot ? path.substr(0, slash + 1) : path.substr(0, slash);
}

}  // namespace

std::string Upper(std::string text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}


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

bool CheckScript(const std::string& path, const CheckOptions& options, std::vector<Diagnostic>* diagnostics,
                 RunForecast* forecast) {
  ScriptView view;
  if (!ReadBytes(path, &view.bytes)) return false;
  view.path = path;
  view.start = options.startSection;
  view.packageDir = options.packageDir.empty() ? FolderOf(path) : options.packageDir;
  view.loadResult = view.bytes.empty() ? kResultEmptyFile : ScriptParseFile(path.c_str(), &view.context);
  BuildView(&view);

  // A file of LF line ends gets its one error: what the run-together lines would show is noise.
  const bool lfOnly = view.loadResult != kResultReadFailed && AllLinesEndInLf(view);
  std::vector<Diagnostic> found;
  std::vector<bool> loaderCounted;  // per diagnostic: its line is the loader's count
  for (const CheckEntry& entry : kChecks) {
    if (options.disabled.count(entry.row.name) != 0 || (entry.onlyWithJournal && !options.journal)) continue;
    if (lfOnly && entry.run != CheckLfLineEnds) continue;
    Findings findings;
    entry.run(view, &findings);
    for (const Finding& finding : findings) {
      found.push_back(
          {path, finding.line, finding.severity.value_or(entry.row.severity), entry.row.name, finding.message});
      loaderCounted.push_back(!entry.countsEveryLf);
    }
  }
  // The forecast follows the loaded lines, by the loader's count; then every line is named
  // as the editor shows it.
  if (forecast != nullptr) *forecast = ForecastRun(view, found);
  const EditorLines editorLines(view);
  for (size_t i = 0; i < found.size(); ++i) {
    const uint32_t editorLine = loaderCounted[i] ? editorLines.Of(found[i].line) : found[i].line;
    if (editorLine == found[i].line) continue;
    found[i].message += " (" + LogNames(found[i].line) + ")";
    found[i].line = editorLine;
  }
  if (forecast != nullptr && forecast->stops && !forecast->beforeFirstLine) {
    forecast->logLine = forecast->line;
    forecast->line = editorLines.Of(forecast->line);
  }
  ScriptClose(view.context);
  std::stable_sort(found.begin(), found.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
  diagnostics->insert(diagnostics->end(), found.begin(), found.end());
  return true;
}
