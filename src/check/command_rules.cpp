// The reading of a command line: its row's form splits the argument as the handler's does,
// and the row's field uses say what becomes of each part. A form fault is an error when the
// run stops there, with the code it stops with; a number that reads as 0, or a form the run
// passes over, is a warning. A few rows have advice of the checker's own (below the reader).
#include "check/command_rules.h"

#include <cstring>

#include "check/known_values.h"
#include "engine/argument_forms.h"
#include "engine/arguments.h"
#include "engine/command_forms.h"
#include "engine/keywords.h"
#include "engine/result_codes.h"
#include "base/text.h"
#include "platform/messages.h"

const char kArgumentFormCheck[] = "argument-form";
const char kNumberCheck[] = "number-reads-as-zero";
const char kConditionCheck[] = "condition-clause";
const char kLiteralVariableCheck[] = "literal-variable";

namespace {

constexpr size_t kMessageChars = 512;

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
  void MayStoreEmpty() { reading_.mayStoreEmpty = true; }

  // A number the handler reads with atol: text without a leading number reads as 0, and
  // whatever follows the digits (0x1F, 5s) is not read.
  void Number(const std::string& field) {
    std::string number = TrimmedText(field);
    if (HoldsVariable(number)) return;
    size_t p = (!number.empty() && (number[0] == '-' || number[0] == '+')) ? 1 : 0;
    size_t digits = p;
    while (digits < number.size() && number[digits] >= '0' && number[digits] <= '9') ++digits;
    if (digits == p) {
      Add(kNumberCheck, Severity::kWarning, "'" + number + "' is no number: the run reads it as 0");
    } else if (digits < number.size()) {
      const bool hexadecimal = number.compare(p, 2, "0x") == 0 || number.compare(p, 2, "0X") == 0;
      Add(kNumberCheck, Severity::kWarning,
          "'" + number + "' " + (hexadecimal ? "is hexadecimal" : "has text after its digits") + ": the run reads it as " +
              std::to_string(TextToLong(number.c_str())));
    }
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

 private:
  void Add(const char* check, Severity severity, const std::string& message) {
    reading_.faults.push_back({check, severity, message});
  }

  std::string text_;
  LineReading reading_;
};

size_t Find(const std::string& text, char c) { return text.find(c); }

// --- the reading, from the row -------------------------------------------------------------

Use UseOf(FieldUse use) {
  switch (use) {
    case FieldUse::kShown:
      return Use::kShown;
    case FieldUse::kCondition:
      return Use::kCondition;
    default:
      return Use::kActing;
  }
}

// A fault of the row's form, ended as the row says.
// `values` names the variables' known values where the fault shows only once they are in.
void ReportFormFault(Reader& r, const CommandRow& row, int form, const std::string& values) {
  const int code = RunCodeOf(row, form);
  const std::string what = FormFaultText(row, form) + (values.empty() ? "" : " once substituted (" + values + ")");
  switch (row.faultEnd) {
    case FaultEnd::kReported:
      return r.Fails(code, what);
    case FaultEnd::kQuiet:
      return r.StopsQuietly(code, what);
    case FaultEnd::kPassedOver:
      return r.Warns(what + ": the run passes over the line");
  }
}

std::string TooLong(const std::string& text, size_t chars, const std::string& values) {
  return "the text is " + std::to_string(text.size()) + " characters once substituted (" + values +
         "); the run keeps " + std::to_string(chars - 1) + " at most, or 259 of one value";
}

// An acting field whose variables all have exactly known values must fit where the run
// substitutes it; the first that does not ends the line with 24.
void ActingTooLong(Reader& r, const CommandRow& row, const ArgumentFields& fields, const KnownValues& known) {
  for (int i = 0; i < kMaxFields; ++i) {
    if (row.fields[i].use != FieldUse::kActing || row.fields[i].chars == 0 || !HoldsVariable(fields.field[i])) continue;
    std::string text, values;
    bool exact = false, cut = false;
    if (!known.Substitute(fields.field[i], &text, &exact, &values, &cut) || !exact) continue;
    if (cut || text.size() >= row.fields[i].chars) return r.Fails(kResultNowhereToGetValue, TooLong(text, row.fields[i].chars, values));
  }
}

// --- advice of the checker's own, for a few rows ---------------------------------------------

// Only /REG_SZ: and /REG_DWORD: name a type (in any case); any other prefix of that look is
// part of the string, and a DWORD is read as a number.
void SetRegValueAdvice(Reader& r, const ArgumentFields& fields) {
  const std::string data = fields.field[2];
  if (fields.kind == kKindDword) return r.Number(data);
  const size_t colon = Find(data, ':');
  if (colon == std::string::npos || colon == 0) return;
  const std::string prefix = data.substr(0, colon);
  bool word = true;
  for (char c : prefix.substr(prefix[0] == '/' ? 1 : 0)) word = word && (IsAsciiAlnum(c) || c == '_');
  const bool typeLike = prefix[0] == '/' || StartsWithIgnoringCase(prefix.c_str(), "REG_");
  if (word && typeLike && prefix.size() > 1) {
    r.Warns("'" + prefix + ":' is no type prefix (/REG_SZ: or /REG_DWORD:): the run writes the whole text as a string");
  }
}

void SetAdvice(Reader& r, const ArgumentFields& fields) {
  if (TrimmedText(WithoutReferences(fields.field[1])).empty()) r.MayStoreEmpty();  // references alone may be empty
}

// A shell folder the system lacks stores ""; the temporary, Windows and script folders are
// always there.
void GetSpecialDirAdvice(Reader& r, const ArgumentFields& fields) {
  static const char* const kAlwaysThere[] = {"TEMP", "WINDOWS", "CURRENT_KIVSCRIPT"};
  for (const char* folder : kAlwaysThere) {
    if (EqualIgnoringCase(fields.field[1], folder)) return;
  }
  r.MayStoreEmpty();
}

// The variable is read by its bare name: an empty name is no variable the run finds.
void StripFileNameAdvice(Reader& r, const ArgumentFields& fields) {
  r.reading().readsByName = fields.field[0];
  if (fields.field[0][0] == '\0') r.Fails(kResultSymbolNotFound, "no variable is named");
}

void WaitForTimeAdvice(Reader& r, const ArgumentFields& fields) {
  const std::string word = fields.field[0];
  size_t p = (!word.empty() && (word[0] == '-' || word[0] == '+')) ? 1 : 0;
  if (p < word.size() && word[p] >= '0' && word[p] <= '9') return;
  r.reading().waitsOn = word;  // a variable's name, or a word that reads as 0
}

void WaitTillUnlockedAdvice(Reader& r, const ArgumentFields&) {
  if (Find(r.text(), ',') == std::string::npos) r.Warns("no ',' and no time: the run does not wait");
}

using Advice = void (*)(Reader&, const ArgumentFields&);
struct AdviceRow {
  int opcode;
  Advice advise;
};
const AdviceRow kAdvice[] = {
    {kOpSetRegValue, SetRegValueAdvice},   {kOpSet, SetAdvice},
    {kOpGetSpecialDir, GetSpecialDirAdvice}, {kOpStripFileName, StripFileNameAdvice},
    {kOpWaitForTime, WaitForTimeAdvice},   {kOpWaitTillUnlocked, WaitTillUnlockedAdvice},
};

// What becomes of each field, by its use.
void ReadFields(Reader& r, const CommandRow& row, const ArgumentFields& fields, bool unsure) {
  const bool whole = row.whole != FieldUse::kNone;
  for (int i = 0; i < kMaxFields; ++i) {
    const FieldSpec& field = row.fields[i];
    const std::string text = fields.field[i];
    switch (field.use) {
      case FieldUse::kActing:
      case FieldUse::kShown:
        if (!whole) r.Part(text, UseOf(field.use));
        break;
      case FieldUse::kCondition:
        r.Condition(text);
        break;
      case FieldUse::kAsWritten:
      case FieldUse::kSection:
        if (HoldsVariable(text) && !(whole && unsure)) {
          r.reading().literals.push_back({text, field.use, i == row.targetField});
        }
        break;
      default:
        break;
    }
    if (field.number && !unsure && !text.empty()) r.Number(text);  // an empty one is absent
  }
}

}  // namespace

const char* TargetNoun(Target target) {
  switch (target) {
    case Target::kRegistryKey:
      return "key paths";
    case Target::kSection:
      return "section names";
    case Target::kService:
      return "service names";
    case Target::kWindow:
      return "window and class names";
    case Target::kFile:
      return "file names";
    case Target::kFolder:
      return "folder names";
    case Target::kIniFile:
      return "INI section and key names";
    case Target::kProgram:
      return "program names";
    case Target::kNone:
      break;
  }
  return "these names";
}

LineReading ReadCommandLine(const ScriptLine& line, const KnownValues* known) {
  Reader r(line);
  const CommandRow* row = CommandRowOf(line.opcode);
  r.reading().row = row;
  if (row == nullptr) return r.reading();
  // A row that substitutes the whole argument first splits what the variables bring: its
  // fields, and a fault of its form, are sure only in text without a variable, or where
  // every variable's value is known.
  const bool whole = row->whole != FieldUse::kNone;
  bool unsure = whole && HoldsVariable(line.argumentText);
  std::string substituted = line.argumentText;
  std::string values;
  bool exact = false;
  bool cut = false;
  if (unsure && known != nullptr && known->Substitute(line.argumentText, &substituted, &exact, &values, &cut) &&
      exact) {
    unsure = false;
    if (cut || substituted.size() >= row->wholeChars) {
      r.Fails(kResultNowhereToGetValue, TooLong(substituted, row->wholeChars, values));
      return r.reading();
    }
  }
  std::vector<char> text(substituted.size() + 1 > kArgumentCopyChars ? substituted.size() + 1 : kArgumentCopyChars);
  CopyText(text.data(), text.size(), unsure ? line.argumentText : substituted.c_str());
  ArgumentFields fields;
  const int form = SplitWithForm(*row, text.data(), &fields);
  if (whole) r.Part(line.argumentText, UseOf(row->whole));
  if (row->setsField >= 0) r.Sets(fields.field[row->setsField]);  // known even where a later part is faulty
  if (row->mayStoreEmpty) r.MayStoreEmpty();
  if (form != kResultOk) {
    if (unsure) return r.reading();
    if (line.opcode == kOpFindIniFileValue && form != kResultNowhereToPutValue) {
      r.Warns("not of the form VAR=file,section,key: the run stores FALSE");
    } else {
      ReportFormFault(r, *row, form, values);
    }
    return r.reading();
  }
  r.reading().formRead = true;
  ReadFields(r, *row, fields, unsure);
  if (known != nullptr && !whole) ActingTooLong(r, *row, fields, *known);
  // A condition without a variable is decided as the run decides it; one that does not hold
  // leaves the rest of the line unread: no section runs, no value is substituted.
  if (row->fields[0].use == FieldUse::kCondition && !HoldsVariable(fields.field[0]) && line.opcode != kOpContinueIf) {
    const ScriptContext nothing = {};
    if (EvaluateCondition(&nothing, fields.field[0]) != 1) {
      r.reading().neverHolds = true;
      const TextPart condition = r.reading().parts.empty() ? TextPart{"", Use::kCondition} : r.reading().parts[0];
      r.reading().parts.clear();
      r.Part(condition.text, Use::kCondition);
      r.reading().literals.clear();
      return r.reading();
    }
  }
  if (row->target == Target::kSection && row->targetField >= 0) {
    r.reading().section = fields.field[row->targetField];
    r.reading().runsSection = true;
  }
  if (row->guard != Guard::kNone && row->targetField >= 0) {
    r.reading().path = whole ? TrimmedText(line.argumentText) : fields.field[row->targetField];
    r.reading().pathSubstituted = row->whole == FieldUse::kActing;
  }
  for (const AdviceRow& advice : kAdvice) {
    if (advice.opcode == line.opcode) advice.advise(r, fields);
  }
  return r.reading();
}

bool EveryKeywordHasARule() {
  for (const CommandRow& row : CommandTable) {
    if (CommandRowOf(row.opcode) != &row || row.form == nullptr) return false;
  }
  return true;
}
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

const char kRunFailsWith[] = "the run fails with ";

std::string CodeAndMessage(int code) { return std::to_string(code) + ": " + Message(code); }

std::string RunFails(int code) { return kRunFailsWith + CodeAndMessage(code); }

int RunFailureCode(const std::string& message) {
  const size_t at = message.find(kRunFailsWith);
  if (at == std::string::npos) return 0;
  int code = 0;
  size_t digit = at + sizeof(kRunFailsWith) - 1;
  for (; digit < message.size() && message[digit] >= '0' && message[digit] <= '9' && code < 1000; ++digit) {
    code = code * 10 + (message[digit] - '0');
  }
  return digit < message.size() && message[digit] == ':' ? code : 0;
}

std::string RunStopsQuietly(int code) { return RunFails(code) + ", without an error line"; }

