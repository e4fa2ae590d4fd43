// The command rules: one row per keyword, each a short function that reads the argument the
// way its handler does, with the same argument routines (SplitAssignment, NextField, the
// registry and INI forms, conditions), and records what it finds. A form fault is an error
// when the run stops there, with the code it stops with; a number that reads as 0, or a form
// the run passes over, is a warning.
#include "check/command_rules.h"

#include <cstring>

#include "engine/argument_forms.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/result_codes.h"
#include "engine/text.h"
#include "platform/messages.h"

const char kArgumentFormCheck[] = "argument-form";
const char kNumberCheck[] = "number-reads-as-zero";
const char kConditionCheck[] = "condition-clause";

namespace {

constexpr size_t kMessageChars = 512;
constexpr size_t kSetValueChars = 1024;     // SET keeps a value of 1023 characters
constexpr size_t kLongValueChars = 1000;    // GETPARAM's key
constexpr size_t kShortestDriveFolder = 4;  // CREATEDIR passes over "ab" but makes "C:\a"

std::string Message(int code) {
  char text[kMessageChars];
  LoadMessageText(ResultCodeStringId(code), text, sizeof(text));
  return text;
}

// Reads one line: the argument as the loader kept it, and what the row finds in it.
class Reader {
 public:
  explicit Reader(const ScriptLine& line) : text_(line.argumentText) {}

  const std::string& text() const { return text_; }
  LineReading& reading() { return reading_; }

  // The run stops at this line with `code`, reported with an error line or not.
  void Fails(int code, const std::string& what) {
    Add(kArgumentFormCheck, Severity::kError, what + " (" + RunFails(code) + ")");
  }
  void StopsQuietly(int code, const std::string& what) {
    Add(kArgumentFormCheck, Severity::kError, what + " (" + RunStopsQuietly(code) + ")");
  }
  void Warns(const std::string& what) { Add(kArgumentFormCheck, Severity::kWarning, what); }

  void Part(const std::string& text, Use use) {
    if (!text.empty()) reading_.parts.push_back({text, use});
  }
  void Sets(const std::string& name) { reading_.sets = TrimmedText(name); }
  void ActsOn(const std::string& path) { reading_.path = TrimmedText(path); }
  void MayStoreEmpty() { reading_.mayStoreEmpty = true; }

  // A number the handler reads with atol: text without a leading number reads as 0.
  void Number(const std::string& field, const char* what) {
    std::string number = TrimmedText(field);
    if (HoldsVariable(number)) return;
    size_t p = (!number.empty() && (number[0] == '-' || number[0] == '+')) ? 1 : 0;
    if (p < number.size() && number[p] >= '0' && number[p] <= '9') return;
    Add(kNumberCheck, Severity::kWarning, what + std::string(" '") + number + "' is no number: the run reads it as 0");
  }

  // Every clause of a condition must have a comparison: the first one that does not ends
  // the condition, which then does not hold.
  void Condition(const std::string& condition) {
    Part(condition, Use::kCondition);
    const char* position = condition.c_str();
    for (int clause = 1;; ++clause) {
      char text[kPathChars];
      position = NextField(position, text, sizeof(text), '|');
      if (position == nullptr || text[0] == '\0') return;
      char left[kPathChars], op[kOperatorChars], right[kPathChars];
      if (ParseClause(text, left, op, right) != kResultOk || !IsComparisonOperator(op)) {
        Add(kConditionCheck, Severity::kWarning,
            "condition clause '" + std::string(text) + "' has no comparison (=, ==, !=, <, <=, >, >=): " +
                (clause == 1 ? "the condition never holds" : "the clauses from here on are never tested"));
        return;
      }
    }
  }

  // The forms whose fields the handler splits only after substituting the whole text: a
  // variable may bring the separator, so a fault is only sure in text without one.
  void SubstitutedFirst() {
    if (HoldsVariable(text_)) reading_.faults.clear();  // the fields themselves are unsure too
  }

 private:
  void Add(const char* check, Severity severity, const std::string& message) {
    reading_.faults.push_back({check, severity, message});
  }

  std::string text_;
  LineReading reading_;
};

// --- shared shapes ------------------------------------------------------------------------

size_t Find(const std::string& text, char c) { return text.find(c); }
std::string Before(const std::string& text, size_t at) { return at == std::string::npos ? text : text.substr(0, at); }
std::string After(const std::string& text, size_t at) { return at == std::string::npos ? "" : text.substr(at + 1); }

// What a parse routine's result code means for the line at hand.
struct FaultText {
  int code;
  const char* what;
};

// Records `result` with its text from `table`; 0, or a code without a row, records nothing.
template <size_t N>
void FailWith(Reader& r, int result, const FaultText (&table)[N], bool reported = true) {
  for (const FaultText& fault : table) {
    if (fault.code == result) reported ? r.Fails(result, fault.what) : r.StopsQuietly(result, fault.what);
  }
}

const char kNoRootText[] = "the key does not start with HKLM\\, HKCR\\, HKCU\\, HKUS\\ or HKCC\\ (upper case)";

// VAR=value through SplitAssignment: 23 without "=", 25 when the value does not fit.
bool Assignment(Reader& r, size_t valueSize, bool reported, std::string* value) {
  char name[kPathChars];
  std::vector<char> buffer(valueSize);
  int result = SplitAssignment(r.text().c_str(), name, sizeof(name), buffer.data(), valueSize);
  if (result == kResultOk) {
    r.Sets(name);
    if (value != nullptr) *value = buffer.data();
    return true;
  }
  const std::string what =
      result == kResultNowhereToPutValue ? "no '=' after the variable name" : "the value is too long";
  reported ? r.Fails(result, what) : r.StopsQuietly(result, what);
  return false;
}

// VAR=value where the handler gives its own code for a missing "=".
bool AssignmentOr(Reader& r, int code, std::string* value) {
  size_t equals = Find(r.text(), '=');
  if (equals == std::string::npos) {
    r.Fails(code, "no '=' after the variable name");
    return false;
  }
  r.Sets(Before(r.text(), equals));
  *value = TrimmedText(After(r.text(), equals));
  return true;
}

void RootOf(Reader& r, const std::string& key, int code) {
  if (RegistryRootIndex(TrimmedText(key).c_str()) < 0) {
    r.Fails(code, "the key '" + TrimmedText(key) +
                      "' does not start with HKLM\\, HKCR\\, HKCU\\, HKUS\\ or HKCC\\ (upper case)");
  }
}

void RegistryQueryForm(Reader& r, bool reported) {
  RegistryQueryText query;
  int result = ParseRegistryQueryText(r.text().c_str(), &query);
  if (result != kResultNowhereToPutValue) r.Sets(query.variable);
  if (result == kResultOk) return;
  static const FaultText kFaults[] = {{kResultNowhereToPutValue, "no '=' after the variable name"},
                                      {kResultNoRegistryRoot, kNoRootText},
                                      {kResultNoSubkey, "no ',' between the key and the value name"}};
  FailWith(r, result, kFaults, reported);
}

void VariableName(Reader& r) { r.Sets(r.text()); }

// --- the rows, in keyword order ---------------------------------------------------------

void Call(Reader& r) {
  size_t equals = Find(r.text(), '=');
  if (equals != std::string::npos) r.Sets(Before(r.text(), equals));
}

void ContinueIf(Reader& r) { r.Condition(r.text()); }

void FindRegKey(Reader& r) {
  std::string key;
  if (Assignment(r, kPathChars, true, &key)) RootOf(r, key, kResultNoRegistryRoot);
}

void GetRegValue(Reader& r) {
  RegistryQueryForm(r, true);
  r.MayStoreEmpty();  // a missing key or value stores ""
}
void FindRegValue(Reader& r) { RegistryQueryForm(r, false); }

void SetRegValue(Reader& r) {
  RegistryAssignmentText assignment;
  int result = ParseRegistryAssignmentText(r.text().c_str(), &assignment);
  static const FaultText kFaults[] = {{kResultNoRegistryRoot, kNoRootText},
                                      {kResultNoSubkey, "no ',' between the key and the value name"},
                                      {kResultNoValueName, "no '=' between the value name and the data"}};
  FailWith(r, result, kFaults);
  if (result != kResultOk) return;
  r.Part(assignment.data, Use::kActing);
  if (assignment.dataType == RegistryDataType::kDword) return r.Number(assignment.data, "the /REG_DWORD: data");
  // Only /REG_SZ: and /REG_DWORD: name a type; any other such prefix is part of the string.
  const std::string data = assignment.data;
  const size_t colon = Find(data, ':');
  const std::string prefix = Before(data, colon);
  if (colon != std::string::npos &&
      (StartsWithIgnoringCase(prefix.c_str(), "/REG") || StartsWithIgnoringCase(prefix.c_str(), "REG_"))) {
    r.Warns("'" + prefix + ":' is no type prefix (/REG_SZ: or /REG_DWORD:): the run writes the whole text as a string");
  }
}

void GetIniFileValue(Reader& r) {
  r.Part(r.text(), Use::kActing);
  r.MayStoreEmpty();
  IniReadArgs args;
  int result = ParseIniReadArgs(r.text().c_str(), &args);
  if (result != kResultNowhereToPutValue) r.Sets(args.variable);
  static const FaultText kFaults[] = {{kResultNowhereToPutValue, "no '=' after the variable name"},
                                      {kResultNoIniFile, "no ',' after the file name (VAR=file,section,key)"},
                                      {kResultNoIniSection, "no ',' after the section name (VAR=file,section,key)"},
                                      {kResultNoValueToSet, "the key is too long"}};
  FailWith(r, result, kFaults);
  r.SubstitutedFirst();
}

void SetIniFileValue(Reader& r) {
  IniWriteArgs args;
  int result = ParseIniWriteArgs(r.text().c_str(), &args);
  static const FaultText kFaults[] = {{kResultNoIniFile, "no ',' after the file name (file,section,key=value)"},
                                      {kResultNoIniSection, "no ',' after the section name (file,section,key=value)"},
                                      {kResultNoValueToSet, "no '=' after the key (file,section,key=value)"},
                                      {kResultNowhereToGetValue, "the value is too long"}};
  FailWith(r, result, kFaults);
  if (result != kResultOk) return;
  r.Part(args.file, Use::kActing);
  r.Part(args.value, Use::kActing);
}

void FindIniFileValue(Reader& r) {
  IniReadArgs args;
  int result = ParseIniReadArgs(r.text().c_str(), &args);
  if (result == kResultNowhereToPutValue) {
    r.Warns("no '=' after the variable name: the run passes over the line and sets nothing");
    return;
  }
  r.Sets(args.variable);
  if (result != kResultOk) r.Warns("not of the form VAR=file,section,key: the run stores FALSE");
}

void DeleteIniFileSection(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Fails(kResultBadSwitch, "no ',' between the file and the section");
  r.Part(Before(r.text(), comma), Use::kActing);
}

void ActingWhole(Reader& r) { r.Part(r.text(), Use::kActing); }
void ShownWhole(Reader& r) { r.Part(r.text(), Use::kShown); }

void ActingNotEmpty(Reader& r) {
  r.Part(r.text(), Use::kActing);
  if (TrimmedText(r.text()).empty()) r.Fails(kResultBadSwitch, "nothing is named");
}

void ReturnIf(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Fails(kResultBadSwitch, "no ',' between the condition and the value");
  r.Condition(Before(r.text(), comma));
  r.Part(After(r.text(), comma), Use::kActing);  // an undefined variable fails the line
}

void Set(Reader& r) {
  std::string value;
  if (!Assignment(r, kSetValueChars, true, &value)) return;
  r.Part(value, Use::kActing);
  if (TrimmedText(WithoutReferences(value)).empty()) r.MayStoreEmpty();  // references alone may be empty
}

void GetFileVersion(Reader& r) {
  std::string file;
  if (AssignmentOr(r, kResultNoFileVersion, &file)) r.Part(file, Use::kActing);
}

void CanAllFilesBeCopied(Reader& r) {
  size_t equals = Find(r.text(), '=');
  if (equals == std::string::npos) return r.Warns("no '=' after the variable name: the run passes over the line");
  r.Sets(Before(r.text(), equals));
}

void CreateRegKey(Reader& r) {
  size_t comma = Find(r.text(), ',');
  RootOf(r, Before(r.text(), comma), kResultNoRegistryRoot);
  if (!r.reading().faults.empty()) return;
  if (TrimmedText(After(r.text(), comma)).empty()) {
    r.Fails(kResultBadSwitch, "no new key is named (ROOT\\parent,newkey)");
  }
}

void DeleteRegValue(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Fails(kResultBadSwitch, "no ',' between the key and the value name");
  std::string key = Before(r.text(), comma);
  RootOf(r, key, kResultNoRegistryRoot);
  r.ActsOn(key);
  r.Part(After(r.text(), comma), Use::kActing);
}

// DELETEREGKEY and DELETEEMPTYREGKEY give 51 for a missing root, DELETEREGKEYRECURSIVE 20.
void DeleteRegKey(Reader& r) {
  RootOf(r, r.text(), kResultBadSwitch);
  r.ActsOn(r.text());
}
void DeleteRegKeyRecursive(Reader& r) {
  RootOf(r, r.text(), kResultNoRegistryRoot);
  r.ActsOn(r.text());
}

void IsRegKeyEmpty(Reader& r) {
  std::string key;
  if (AssignmentOr(r, kResultBadSwitch, &key)) RootOf(r, key, kResultNoRegistryRoot);
}

void QuietAssignment(Reader& r) { Assignment(r, kPathChars, false, nullptr); }
void ReportedAssignment(Reader& r) { Assignment(r, kPathChars, true, nullptr); }

void FileExists(Reader& r) {
  std::string path;
  if (Assignment(r, kPathChars, false, &path)) r.Part(path, Use::kActing);
}

void StripFileName(Reader& r) {
  VariableName(r);
  r.reading().readsByName = TrimmedText(r.text());
}

void GetSpecialDir(Reader& r) {
  std::string name;
  if (!AssignmentOr(r, kResultBadSwitch, &name)) return;
  // A shell folder the system lacks stores ""; the temporary, Windows and script folders are
  // always there.
  static const char* const kAlwaysThere[] = {"TEMP", "WINDOWS", "CURRENT_KIVSCRIPT"};
  bool alwaysThere = false;
  for (const char* folder : kAlwaysThere) alwaysThere = alwaysThere || EqualIgnoringCase(name.c_str(), folder);
  if (!alwaysThere) r.MayStoreEmpty();
  if (SpecialFolderIndex(name.c_str()) >= 0) return;
  std::string known;
  for (const char* folder : kSpecialFolderNames) known += (known.empty() ? "" : ", ") + std::string(folder);
  r.Fails(kResultBadSwitch, "unknown folder name '" + name + "' (" + known + ")");
}

void WaitForTime(Reader& r) {
  std::string word = TrimmedText(r.text());
  size_t p = (!word.empty() && (word[0] == '-' || word[0] == '+')) ? 1 : 0;
  if (p < word.size() && word[p] >= '0' && word[p] <= '9') return;
  r.reading().waitsOn = word;  // a variable's name, or a word that reads as 0
}

void WaitTillUnlocked(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Warns("no ',' and no time: the run does not wait");
  r.Number(After(r.text(), comma), "the time");
}

void CreateDir(Reader& r) {
  r.Part(r.text(), Use::kActing);
  std::string path = TrimmedText(r.text());
  bool drive = path.size() >= 2 && path[1] == ':';
  if (!HoldsVariable(path) && path.size() < kShortestDriveFolder && !drive) {
    r.StopsQuietly(kResultBadSwitch, "the path '" + path + "' is too short to be a folder to create");
  }
}

void RemoveDir(Reader& r) {
  r.Part(r.text(), Use::kActing);
  r.ActsOn(r.text());
}

void GotoIf(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos)
    return r.StopsQuietly(kResultBadSwitch, "no ',' between the condition and the section");
  r.Condition(Before(r.text(), comma));
}

void CallIf(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Fails(kResultBadSwitch, "no ',' between the condition and the section");
  r.Condition(Before(r.text(), comma));
  std::string target = After(r.text(), comma);
  if (Find(target, '=') != std::string::npos) r.Sets(Before(target, Find(target, '=')));
}

void Progress(Reader& r) {
  char copy[kArgumentCopyChars];
  CopyText(copy, sizeof(copy), r.text().c_str());
  TrimText(copy);
  char fields[4][kPathChars] = {"", "", "", ""};
  const char* position = copy;
  for (auto& field : fields) {
    if (position != nullptr) position = NextField(position, field, sizeof(field), ',');
  }
  r.Part(fields[3], Use::kShown);
  if (fields[0][0] == '\0' || fields[1][0] == '\0') {
    return r.Fails(kResultBadSwitch, "the first two numbers are required (PROGRESS first,second[,third[,text]])");
  }
  r.Number(fields[0], "the first number");
  r.Number(fields[1], "the second number");
  if (fields[2][0] != '\0') r.Number(fields[2], "the third number");
}

void InstallCab(Reader& r) {
  std::string value;
  if (!AssignmentOr(r, kResultBadSwitch, &value)) return;
  if (value.empty() || TrimmedText(Before(value, Find(value, ','))).empty()) {
    return r.Fails(kResultBadSwitch, "no package is named (INSTALLCAB VAR=package[,options])");
  }
  r.Part(value, Use::kActing);
  r.SubstitutedFirst();
}

void WaitForWindowClose(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (TrimmedText(Before(r.text(), comma)).empty()) return r.Fails(kResultBadSwitch, "no window is named");
  if (comma != std::string::npos && !TrimmedText(After(r.text(), comma)).empty())
    r.Number(After(r.text(), comma), "the time");
}

void YesNo(Reader& r) {
  std::string question;
  if (Assignment(r, kSetValueChars, true, &question)) r.Part(question, Use::kActing);
}

void StartUserApp(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Fails(kResultBadSwitch, "no ',' between the command and the number");
  r.Part(Before(r.text(), comma), Use::kActing);
  r.Number(After(r.text(), comma), "the number");
}

void AddStartMenu(Reader& r) {
  size_t comma = Find(r.text(), ',');
  if (comma == std::string::npos) return r.Fails(kResultBadSwitch, "no ',' between the name and the target");
  r.Part(r.text(), Use::kActing);
}

void SetFinalStatus(Reader& r) {
  r.Part(r.text(), Use::kActing);
  r.Number(Before(r.text(), Find(r.text(), ',')), "the status");
}

void SetProgress(Reader& r) {
  r.Part(r.text(), Use::kShown);
  r.Number(Before(r.text(), Find(r.text(), ',')), "the percentage");
}

void GetParam(Reader& r) {
  std::string key;
  if (Assignment(r, kLongValueChars, true, &key)) r.Part(key, Use::kActing);
  r.MayStoreEmpty();  // a parameter the host did not pass
}

void IsAdmin(Reader& r) {
  if (TrimmedText(r.text()).empty()) return r.Fails(kResultBadSwitch, "no variable is named");
  VariableName(r);
}

void IsProcessRunning(Reader& r) {
  std::string name;
  if (!AssignmentOr(r, kResultBadSwitch, &name)) return;
  r.Part(name, Use::kActing);
  if (name.empty()) r.Fails(kResultBadSwitch, "no process is named");
}

void CopyOneFile(Reader& r) {
  r.Part(r.text(), Use::kActing);
  if (Find(r.text(), ',') == std::string::npos)
    r.Fails(kResultBadSwitch, "no ',' between the source and the destination");
  r.SubstitutedFirst();
}

void GetTimeStamp(Reader& r) {
  r.Part(r.text(), Use::kActing);
  r.Sets(Before(r.text(), Find(r.text(), '=')));
}

void Nothing(Reader&) {}

using RuleFunction = void (*)(Reader&);
struct Rule {
  int opcode;
  RuleFunction read;
};

// Commands that use their text as written (registry keys, window, service and process names
// of CLOSEAPP and the service commands, COPYFILES/DELFILES sections) have no parts.
const Rule kRules[] = {
    {kOpCall, Call},
    {kOpContinueIf, ContinueIf},
    {kOpFindRegKey, FindRegKey},
    {kOpGetRegValue, GetRegValue},
    {kOpSetRegValue, SetRegValue},
    {kOpSetWorkDir, ActingWhole},
    {kOpGetIniFileValue, GetIniFileValue},
    {kOpSetIniFileValue, SetIniFileValue},
    {kOpDeleteIniFileSection, DeleteIniFileSection},
    {kOpReturn, ShownWhole},
    {kOpReturnIf, ReturnIf},
    {kOpSet, Set},
    {kOpGetFileVersion, GetFileVersion},
    {kOpCopyFileAs, Nothing},  // never runs: its own check
    {kOpCloseApp, Nothing},
    {kOpRun, ActingWhole},
    {kOpRunWait, ActingWhole},
    {kOpRunHide, ActingWhole},
    {kOpStopService, Nothing},
    {kOpStartService, Nothing},
    {kOpCanAllFilesBeCopied, CanAllFilesBeCopied},
    {kOpCreateRegKey, CreateRegKey},
    {kOpDeleteRegValue, DeleteRegValue},
    {kOpDeleteRegKey, DeleteRegKey},
    {kOpDeleteEmptyRegKey, DeleteRegKey},
    {kOpIsRegKeyEmpty, IsRegKeyEmpty},
    {kOpDeleteRegKeyRecursive, DeleteRegKeyRecursive},
    {kOpFindRegValue, FindRegValue},
    {kOpIsAppRunning, QuietAssignment},
    {kOpIsServiceRunning, QuietAssignment},
    {kOpGetOsType, VariableName},
    {kOpGetOsVersion, VariableName},
    {kOpGetWindowsDir, VariableName},
    {kOpGetSpecialDir, GetSpecialDir},
    {kOpStripFileName, StripFileName},
    {kOpFileExists, FileExists},
    {kOpIsCurrentFileOlder, QuietAssignment},
    {kOpFindIniFileValue, FindIniFileValue},
    {kOpIsFileLocked, ReportedAssignment},
    {kOpGetProcessorType, VariableName},
    {kOpWaitForTime, WaitForTime},
    {kOpWaitTillUnlocked, WaitTillUnlocked},
    {kOpCreateDir, CreateDir},
    {kOpRemoveDir, RemoveDir},
    {kOpRemoveDirRecursive, RemoveDir},
    {kOpCopyFiles, Nothing},
    {kOpDelFiles, Nothing},
    {kOpFileCio, Nothing},
    {kOpFileCow, Nothing},
    {kOpShowMsg, ShownWhole},
    {kOpGotoIf, GotoIf},
    {kOpCallIf, CallIf},
    {kOpProgress, Progress},
    {kOpInstallCab, InstallCab},
    {kOpWaitForWindowClose, WaitForWindowClose},
    {kOpExtendPath, ActingNotEmpty},
    {kOpYesNo, YesNo},
    {kOpKillProcess, ActingNotEmpty},
    {kOpStartUserApp, StartUserApp},
    {kOpCloseUserApp, ActingWhole},
    {kOpAddStartMenu, AddStartMenu},
    {kOpGetStartMenuDir, VariableName},
    {kOpSetRebootFlag, Nothing},
    {kOpShellExecute, ActingWhole},
    {kOpSetFinalStatus, SetFinalStatus},
    {kOpStartProgressDlg, ShownWhole},
    {kOpSetProgress, SetProgress},
    {kOpEndProgressDlg, Nothing},
    {kOpGetParam, GetParam},
    {kOpIsAdmin, IsAdmin},
    {kOpResetLastUpdate, Nothing},
    {kOpGetKivrunVersion, VariableName},
    {kOpIsProcessRunning, IsProcessRunning},
    {kOpCreateSpecialDir, RemoveDir},  // refused for the same protected targets
    {kOpDeleteOneFile, ActingNotEmpty},
    {kOpCopyOneFile, CopyOneFile},
    {kOpPromptReboot, ShownWhole},
    {kOpGetTimeStamp, GetTimeStamp},
    {kOpRemoveScanExeFromAutoexec, Nothing},
};

const Rule* FindRule(int opcode) {
  for (const Rule& rule : kRules) {
    if (rule.opcode == opcode) return &rule;
  }
  return nullptr;
}

}  // namespace

bool HoldsVariable(const std::string& text) { return text.find("%%") != std::string::npos; }

std::string TrimmedText(const std::string& text) {
  char copy[kArgumentCopyChars];
  CopyText(copy, sizeof(copy), text.c_str());
  TrimText(copy);
  return copy;
}

std::vector<std::string> ReferenceNames(const std::string& text, size_t* unclosedAt) {
  std::vector<std::string> names;
  if (unclosedAt != nullptr) *unclosedAt = std::string::npos;
  for (size_t open = text.find("%%"); open != std::string::npos;) {
    size_t close = text.find("%%", open + 2);
    if (close == std::string::npos) {
      if (unclosedAt != nullptr) *unclosedAt = open;
      break;
    }
    names.push_back(text.substr(open + 2, close - open - 2));
    open = text.find("%%", close + 2);
  }
  return names;
}

std::string WithoutReferences(const std::string& text) {
  std::string rest;
  size_t from = 0;
  for (size_t open = text.find("%%"); open != std::string::npos;) {
    rest += text.substr(from, open - from);
    size_t close = text.find("%%", open + 2);
    if (close == std::string::npos) return rest;
    from = close + 2;
    open = text.find("%%", from);
  }
  return rest + text.substr(from);
}

std::string RunFails(int code) { return "the run fails with " + std::to_string(code) + ": " + Message(code); }

std::string RunStopsQuietly(int code) { return RunFails(code) + ", without an error line"; }

LineReading ReadCommandLine(const ScriptLine& line) {
  Reader reader(line);
  if (const Rule* rule = FindRule(line.opcode)) rule->read(reader);
  return reader.reading();
}

bool EveryKeywordHasARule() {
  for (const KeywordRow* row = KeywordTable; row->keyword != nullptr; ++row) {
    if (FindRule(row->opcode) == nullptr) return false;
  }
  return true;
}
