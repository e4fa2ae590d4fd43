// The forms and the rows. Each form splits a copy of the argument in place, the way its
// commands have always read it: separators are found by plain search, a part holds at most
// 259 characters where the command keeps it in a path-sized buffer, and each fault gives the
// code the run stops with. The row says who substitutes what, and when.
#include "engine/command_forms.h"

#include <cstring>

#include "engine/argument_forms.h"
#include "engine/result_codes.h"
#include "base/text.h"

namespace {

constexpr size_t kPartChars = kPathChars - 1;  // what a path-sized part holds
constexpr size_t kShortestFolderToCreate = 4;
const char kNothing[] = "";

void Clear(ArgumentFields* fields) {
  for (const char*& field : fields->field) field = kNothing;
  fields->kind = kKindString;
}

char* Trimmed(char* text) {
  TrimText(text);
  return text;
}

void Cut(char* text, size_t chars) {
  if (std::strlen(text) > chars) text[chars] = '\0';
}

// The first `stop` in `text` when it comes within the characters a part holds, cut there;
// nullptr otherwise.
char* SplitAt(char* text, char stop, size_t within = kPartChars) {
  char* found = std::strchr(text, stop);
  if (found == nullptr || static_cast<size_t>(found - text) > within) return nullptr;
  *found = '\0';
  return found + 1;
}

// As NextField: one trimmed field up to `separator` (a part's length at most), and where
// reading goes on; nullptr once the text is used up.
char* TakeField(char** position, char separator) {
  char* field = *position;
  if (field == nullptr || *field == '\0') {
    *position = nullptr;
    return nullptr;
  }
  char* stop = std::strchr(field, separator);
  if (stop != nullptr && static_cast<size_t>(stop - field) <= kPartChars) {
    *stop = '\0';
    *position = stop + 1;
  } else {
    Cut(field, kPartChars);
    *position = field + std::strlen(field);
  }
  return Trimmed(field);
}

// --- the forms ----------------------------------------------------------------------------

int SplitNothing(char*, ArgumentFields*) { return kResultOk; }

int SplitText(char* text, ArgumentFields* fields) {
  fields->field[0] = text;
  return kResultOk;
}

int SplitTrimmed(char* text, ArgumentFields* fields) {
  fields->field[0] = Trimmed(text);
  return kResultOk;
}

// A name that must not be empty: an empty one would act on everything or nothing.
int SplitNamed(char* text, ArgumentFields* fields) {
  fields->field[0] = Trimmed(text);
  return text[0] == '\0' ? kResultBadSwitch : kResultOk;
}

int SplitFolderToCreate(char* text, ArgumentFields* fields) {
  fields->field[0] = text;
  return IsTooShortToCreate(text) ? kResultBadSwitch : kResultOk;
}

// VAR=value: the name within a part's length, both trimmed.
int SplitAssignmentForm(char* text, ArgumentFields* fields) {
  char* value = SplitAt(text, '=');
  if (value == nullptr) return kResultNowhereToPutValue;
  fields->field[0] = Trimmed(text);
  fields->field[1] = Trimmed(value);
  return kResultOk;
}

int SplitNamedAssignment(char* text, ArgumentFields* fields) {
  int result = SplitAssignmentForm(text, fields);
  if (result == kResultOk && fields->field[1][0] == '\0') return kResultBadSwitch;
  return result;
}

int SplitSpecialFolder(char* text, ArgumentFields* fields) {
  int result = SplitAssignmentForm(text, fields);
  if (result == kResultOk && SpecialFolderIndex(fields->field[1]) < 0) return kResultBadSwitch;
  return result;
}

// VAR=... where the rest is a list, as written.
int SplitNameAndList(char* text, ArgumentFields* fields) {
  char* rest = SplitAt(text, '=', kPathChars);
  if (rest == nullptr) return kResultNowhereToPutValue;
  fields->field[0] = Trimmed(text);
  fields->field[1] = rest;
  return kResultOk;
}

// NAME[=option]: both trimmed.
int SplitNameAndOption(char* text, ArgumentFields* fields) {
  if (char* equals = std::strchr(text, '=')) {
    *equals = '\0';
    fields->field[1] = Trimmed(equals + 1);
  }
  fields->field[0] = Trimmed(text);
  return kResultOk;
}

// Section or VAR=Section.
int SplitCall(char* text, ArgumentFields* fields) {
  if (std::strchr(text, '=') == nullptr) {
    fields->field[1] = Trimmed(text);
    Cut(text, kPartChars);
    return kResultOk;
  }
  fields->kind = kKindOptional;
  return SplitAssignmentForm(text, fields);
}

int SplitRegistryKey(char* text, ArgumentFields* fields) {
  Trimmed(text);
  fields->field[0] = text;
  return RegistryRootIndex(text) < 0 ? kResultNoRegistryRoot : kResultOk;
}

// VAR=ROOT\key
int SplitRegistryKeyQuery(char* text, ArgumentFields* fields) {
  int result = SplitAssignmentForm(text, fields);
  if (result != kResultOk) return result;
  return RegistryRootIndex(fields->field[1]) < 0 ? kResultNoRegistryRoot : kResultOk;
}

// VAR=ROOT\key path,value name: the value name takes the rest, commas and "=" included.
int SplitRegistryQuery(char* text, ArgumentFields* fields) {
  char* key = SplitAt(text, '=');
  if (key == nullptr) return kResultNowhereToPutValue;
  fields->field[0] = Trimmed(text);
  Trimmed(key);
  if (RegistryRootIndex(key) < 0) return kResultNoRegistryRoot;
  char* valueName = SplitAt(key + kRootPrefixChars, ',');
  if (valueName == nullptr) return kResultNoSubkey;
  Cut(valueName, kPartChars);
  Trimmed(key + kRootPrefixChars);
  fields->field[1] = key;
  fields->field[2] = Trimmed(valueName);
  return kResultOk;
}

// ROOT\key path,value name=[/REG_SZ:|/REG_DWORD:]data. Only those two prefixes name a type
// (in any case); other text with a colon (C:\Path) is string data as it stands.
int SplitRegistryAssignment(char* text, ArgumentFields* fields) {
  if (RegistryRootIndex(text) < 0) return kResultNoRegistryRoot;
  char* valueName = SplitAt(text + kRootPrefixChars, ',');
  if (valueName == nullptr) return kResultNoSubkey;
  char* data = SplitAt(valueName, '=');
  if (data == nullptr) return kResultNoValueName;
  Cut(data, kPartChars);
  Trimmed(text + kRootPrefixChars);
  fields->field[0] = text;
  fields->field[1] = Trimmed(valueName);
  fields->field[2] = Trimmed(data);
  char* colon = std::strchr(data, ':');
  if (colon == nullptr) return kResultOk;
  *colon = '\0';
  const bool dword = EqualIgnoringCase(data, "/REG_DWORD");
  if (!dword && !EqualIgnoringCase(data, "/REG_SZ")) {
    *colon = ':';
    return kResultOk;
  }
  fields->kind = dword ? kKindDword : kKindString;
  fields->field[2] = colon + 1;  // not trimmed again
  return kResultOk;
}

// ROOT\key,value name
int SplitRegistryKeyAndValue(char* text, ArgumentFields* fields) {
  char* valueName = std::strchr(text, ',');
  if (valueName == nullptr) return kResultBadSwitch;
  *valueName++ = '\0';
  if (RegistryRootIndex(text) < 0) return kResultNoRegistryRoot;
  Trimmed(text + kRootPrefixChars);
  Cut(valueName, kPartChars);
  fields->field[0] = text;
  fields->field[1] = Trimmed(valueName);
  return kResultOk;
}

// ROOT\parent,new key: the run opens the parent before it looks for the new key's name, so
// a missing name (51) matters only where the parent exists.
int SplitRegistryKeyAndName(char* text, ArgumentFields* fields) {
  char* position = text;
  char* parent = TakeField(&position, ',');
  fields->field[0] = parent != nullptr ? parent : kNothing;
  if (RegistryRootIndex(fields->field[0]) < 0) return kResultNoRegistryRoot;
  char* name = TakeField(&position, ',');
  if (name == nullptr || name[0] == '\0') return kResultBadSwitch;
  fields->field[1] = name;
  return kResultOk;
}

// VAR=file,section,key
int SplitIniRead(char* text, ArgumentFields* fields) {
  char* file = SplitAt(text, '=');
  if (file == nullptr) return kResultNowhereToPutValue;
  fields->field[0] = Trimmed(text);
  char* section = SplitAt(file, ',');
  if (section == nullptr) return kResultNoIniFile;
  char* key = SplitAt(section, ',');
  if (key == nullptr) return kResultNoIniSection;
  if (std::strlen(key) > kPartChars) return kResultNoValueToSet;
  fields->field[1] = Trimmed(file);
  fields->field[2] = Trimmed(section);
  fields->field[3] = Trimmed(key);
  return kResultOk;
}

// file,section,key=value
int SplitIniWrite(char* text, ArgumentFields* fields) {
  char* section = SplitAt(text, ',');
  if (section == nullptr) return kResultNoIniFile;
  char* key = SplitAt(section, ',');
  if (key == nullptr) return kResultNoIniSection;
  char* value = SplitAt(key, '=');
  if (value == nullptr) return kResultNoValueToSet;
  if (std::strlen(value) > kPartChars) return kResultNowhereToGetValue;
  fields->field[0] = Trimmed(text);
  fields->field[1] = Trimmed(section);
  fields->field[2] = Trimmed(key);
  fields->field[3] = Trimmed(value);
  return kResultOk;
}

// file,section: the whole argument must fit a path first.
int SplitIniSection(char* text, ArgumentFields* fields) {
  if (std::strlen(text) > kPartChars) return kResultNowhereToGetValue;
  char* section = std::strchr(text, ',');
  if (section == nullptr) return kResultBadSwitch;
  *section++ = '\0';
  fields->field[0] = Trimmed(text);
  fields->field[1] = Trimmed(section);
  return kResultOk;
}

// condition,rest: cut at the first comma.
int SplitConditionAndTarget(char* text, ArgumentFields* fields) {
  char* target = std::strchr(text, ',');
  if (target == nullptr) return kResultBadSwitch;
  *target++ = '\0';
  fields->field[0] = Trimmed(text);
  fields->field[1] = Trimmed(target);
  return kResultOk;
}

// condition,[VAR=]Section
int SplitConditionAndCall(char* text, ArgumentFields* fields) {
  int result = SplitConditionAndTarget(text, fields);
  if (result != kResultOk) return result;
  char* target = const_cast<char*>(fields->field[1]);
  if (char* equals = std::strchr(target, '=')) {
    *equals = '\0';
    fields->kind = kKindOptional;
    fields->field[2] = Trimmed(target);
    fields->field[1] = Trimmed(equals + 1);
  }
  return kResultOk;
}

// first,second[,third[,text]]: what follows a fourth comma is ignored.
int SplitProgress(char* text, ArgumentFields* fields) {
  char* position = Trimmed(text);
  for (const char*& field : fields->field) {
    char* taken = TakeField(&position, ',');
    if (taken != nullptr) field = taken;
  }
  return fields->field[0][0] == '\0' || fields->field[1][0] == '\0' ? kResultBadSwitch : kResultOk;
}

// a,b: both trimmed, cut at the first comma.
int SplitPair(char* text, ArgumentFields* fields) {
  char* second = std::strchr(text, ',');
  if (second == nullptr) return kResultBadSwitch;
  *second++ = '\0';
  fields->field[0] = Trimmed(text);
  fields->field[1] = Trimmed(second);
  return kResultOk;
}

// a[,b]: both trimmed.
int SplitOptionalPair(char* text, ArgumentFields* fields) {
  if (char* second = std::strchr(text, ',')) {
    *second = '\0';
    fields->field[1] = Trimmed(second + 1);
    fields->kind = kKindOptional;
  }
  fields->field[0] = Trimmed(text);
  return kResultOk;
}

// window[,time]: no window named is a fault.
int SplitWindowAndTime(char* text, ArgumentFields* fields) {
  Cut(text, kPartChars);
  SplitOptionalPair(text, fields);
  return fields->field[0][0] == '\0' ? kResultBadSwitch : kResultOk;
}

// file[,time], read field by field.
int SplitFileAndTime(char* text, ArgumentFields* fields) {
  char* position = text;
  for (int i = 0; i < 2; ++i) {
    char* taken = TakeField(&position, ',');
    if (taken != nullptr) fields->field[i] = taken;
  }
  return kResultOk;
}

// source[,destination]: without a comma the destination is the source name.
int SplitListEntryForm(char* text, ArgumentFields* fields) {
  Trimmed(text);
  char* comma = std::strchr(text, ',');
  if (comma != nullptr) *comma = '\0';
  Cut(text, kPartChars);
  fields->field[0] = Trimmed(text);
  if (comma == nullptr) {
    fields->field[1] = fields->field[0];
    return kResultOk;
  }
  Cut(comma + 1, kPartChars);
  fields->field[1] = Trimmed(comma + 1);
  return kResultOk;
}

// VAR=package[,options]: a package must be named.
int SplitCab(char* text, ArgumentFields* fields) {
  int result = SplitAssignmentForm(Trimmed(text), fields);
  if (result != kResultOk) return kResultBadSwitch;
  char first[kPathChars];
  CopyText(first, sizeof(first), fields->field[1]);
  if (char* comma = std::strchr(first, ',')) *comma = '\0';
  TrimText(first);
  return first[0] == '\0' ? kResultBadSwitch : kResultOk;
}

// --- the checker's words for each form's faults ---------------------------------------------

const char kNoEquals[] = "no '=' after the variable name";
const char kNoRoot[] = "the key does not start with HKLM\\, HKCR\\, HKCU\\, HKUS\\ or HKCC\\ (upper case)";
const char kNoKeyComma[] = "no ',' between the key and the value name";

const FormFault kNoFaults[] = {{0, nullptr}};
const FormFault kAssignmentFaults[] = {{kResultNowhereToPutValue, kNoEquals}, {0, nullptr}};
const FormFault kNamedFaults[] = {{kResultBadSwitch, "nothing is named"}, {0, nullptr}};
const FormFault kCreateFaults[] = {{kResultBadSwitch, "too short to be a folder to create"}, {0, nullptr}};
const FormFault kNamedAssignmentFaults[] = {
    {kResultNowhereToPutValue, kNoEquals}, {kResultBadSwitch, "nothing is named"}, {0, nullptr}};
const FormFault kSpecialFolderFaults[] = {
    {kResultNowhereToPutValue, kNoEquals}, {kResultBadSwitch, "unknown folder name"}, {0, nullptr}};
const FormFault kRegistryKeyFaults[] = {{kResultNoRegistryRoot, kNoRoot}, {0, nullptr}};
const FormFault kRegistryKeyQueryFaults[] = {
    {kResultNowhereToPutValue, kNoEquals}, {kResultNoRegistryRoot, kNoRoot}, {0, nullptr}};
const FormFault kRegistryQueryFaults[] = {{kResultNowhereToPutValue, kNoEquals},
                                          {kResultNoRegistryRoot, kNoRoot},
                                          {kResultNoSubkey, kNoKeyComma},
                                          {0, nullptr}};
const FormFault kRegistryAssignmentFaults[] = {{kResultNoRegistryRoot, kNoRoot},
                                               {kResultNoSubkey, kNoKeyComma},
                                               {kResultNoValueName, "no '=' between the value name and the data"},
                                               {0, nullptr}};
const FormFault kRegistryKeyAndValueFaults[] = {
    {kResultBadSwitch, kNoKeyComma}, {kResultNoRegistryRoot, kNoRoot}, {0, nullptr}};
const FormFault kRegistryKeyAndNameFaults[] = {
    {kResultNoRegistryRoot, kNoRoot}, {kResultBadSwitch, "no new key is named (ROOT\\parent,newkey)"}, {0, nullptr}};
const FormFault kIniReadFaults[] = {{kResultNowhereToPutValue, kNoEquals},
                                    {kResultNoIniFile, "no ',' after the file name (VAR=file,section,key)"},
                                    {kResultNoIniSection, "no ',' after the section name (VAR=file,section,key)"},
                                    {kResultNoValueToSet, "the key is too long"},
                                    {0, nullptr}};
const FormFault kIniWriteFaults[] = {{kResultNoIniFile, "no ',' after the file name (file,section,key=value)"},
                                     {kResultNoIniSection, "no ',' after the section name (file,section,key=value)"},
                                     {kResultNoValueToSet, "no '=' after the key (file,section,key=value)"},
                                     {kResultNowhereToGetValue, "the value is too long"},
                                     {0, nullptr}};
const FormFault kIniSectionFaults[] = {{kResultNowhereToGetValue, "the argument is too long"},
                                       {kResultBadSwitch, "no ',' between the file and the section"},
                                       {0, nullptr}};
const FormFault kConditionValueFaults[] = {{kResultBadSwitch, "no ',' between the condition and the value"},
                                           {0, nullptr}};
const FormFault kConditionSectionFaults[] = {{kResultBadSwitch, "no ',' between the condition and the section"},
                                             {0, nullptr}};
const FormFault kProgressFaults[] = {
    {kResultBadSwitch, "the first two numbers are required (PROGRESS first,second[,third[,text]])"}, {0, nullptr}};
const FormFault kTwoPathFaults[] = {{kResultBadSwitch, "no ',' between the source and the destination"},
                                    {0, nullptr}};
const FormFault kCommandNumberFaults[] = {{kResultBadSwitch, "no ',' between the command and the number"},
                                          {0, nullptr}};
const FormFault kShortcutFaults[] = {{kResultBadSwitch, "no ',' between the name and the target"}, {0, nullptr}};
const FormFault kWindowFaults[] = {{kResultBadSwitch, "no window is named"}, {0, nullptr}};
const FormFault kCabFaults[] = {{kResultBadSwitch, "no package is named (INSTALLCAB VAR=package[,options])"},
                                {0, nullptr}};

// --- the forms, named by shape ---------------------------------------------------------------

const ArgumentForm kNothingForm = {"", SplitNothing, kNoFaults};
const ArgumentForm kTextForm = {"text", SplitText, kNoFaults};
const ArgumentForm kTrimmedForm = {"text", SplitTrimmed, kNoFaults};
const ArgumentForm kNamedForm = {"name", SplitNamed, kNamedFaults};
const ArgumentForm kFolderToCreateForm = {"folder", SplitFolderToCreate, kCreateFaults};
const ArgumentForm kAssignmentForm = {"VAR=value", SplitAssignmentForm, kAssignmentFaults};
const ArgumentForm kNamedAssignmentForm = {"VAR=name", SplitNamedAssignment, kNamedAssignmentFaults};
const ArgumentForm kSpecialFolderForm = {"VAR=folder name", SplitSpecialFolder, kSpecialFolderFaults};
const ArgumentForm kNameAndListForm = {"VAR=file[,file...]", SplitNameAndList, kAssignmentFaults};
const ArgumentForm kNameAndOptionForm = {"VAR[=option]", SplitNameAndOption, kNoFaults};
const ArgumentForm kCallForm = {"[VAR=]Section", SplitCall, kAssignmentFaults};
const ArgumentForm kRegistryKeyForm = {"ROOT\\key", SplitRegistryKey, kRegistryKeyFaults};
const ArgumentForm kRegistryKeyQueryForm = {"VAR=ROOT\\key", SplitRegistryKeyQuery, kRegistryKeyQueryFaults};
const ArgumentForm kRegistryQueryForm = {"VAR=ROOT\\key,value", SplitRegistryQuery, kRegistryQueryFaults};
const ArgumentForm kRegistryAssignmentForm = {"ROOT\\key,value=[/REG_SZ:|/REG_DWORD:]data",
                                              SplitRegistryAssignment, kRegistryAssignmentFaults};
const ArgumentForm kRegistryKeyAndValueForm = {"ROOT\\key,value", SplitRegistryKeyAndValue,
                                               kRegistryKeyAndValueFaults};
const ArgumentForm kRegistryKeyAndNameForm = {"ROOT\\parent,newkey", SplitRegistryKeyAndName,
                                              kRegistryKeyAndNameFaults};
const ArgumentForm kIniReadForm = {"VAR=file,section,key", SplitIniRead, kIniReadFaults};
const ArgumentForm kIniWriteForm = {"file,section,key=value", SplitIniWrite, kIniWriteFaults};
const ArgumentForm kIniSectionForm = {"file,section", SplitIniSection, kIniSectionFaults};
const ArgumentForm kConditionValueForm = {"condition,value", SplitConditionAndTarget, kConditionValueFaults};
const ArgumentForm kConditionSectionForm = {"condition,Section", SplitConditionAndTarget, kConditionSectionFaults};
const ArgumentForm kConditionCallForm = {"condition,[VAR=]Section", SplitConditionAndCall, kConditionSectionFaults};
const ArgumentForm kProgressForm = {"first,second[,third[,text]]", SplitProgress, kProgressFaults};
const ArgumentForm kTwoPathForm = {"source,destination", SplitPair, kTwoPathFaults};
const ArgumentForm kCommandNumberForm = {"command,number", SplitPair, kCommandNumberFaults};
const ArgumentForm kShortcutForm = {"name,target", SplitPair, kShortcutFaults};
const ArgumentForm kStatusForm = {"number[,text]", SplitOptionalPair, kNoFaults};
const ArgumentForm kWindowForm = {"window[,time]", SplitWindowAndTime, kWindowFaults};
const ArgumentForm kFileTimeForm = {"file[,time]", SplitFileAndTime, kNoFaults};
const ArgumentForm kListEntryForm = {"source[,destination]", SplitListEntryForm, kNoFaults};
const ArgumentForm kCabForm = {"VAR=package[,options]", SplitCab, kCabFaults};

// Field shorthands for the table.
constexpr FieldSpec None{FieldUse::kNone, false};
constexpr FieldSpec ActingIn(size_t chars) { return {FieldUse::kActing, false, static_cast<uint16_t>(chars)}; }
constexpr FieldSpec Variable{FieldUse::kVariable, false};
constexpr FieldSpec Acting{FieldUse::kActing, false};
constexpr FieldSpec ActingNumber{FieldUse::kActing, true};
// Substituted where an undefined variable fails the line (28), but a text too long is cut.
constexpr FieldSpec ActingCut{FieldUse::kActing, false, 0};
constexpr FieldSpec Shown{FieldUse::kShown, false};
constexpr FieldSpec ShownNumber{FieldUse::kShown, true};
constexpr FieldSpec Condition{FieldUse::kCondition, false};
constexpr FieldSpec AsWritten{FieldUse::kAsWritten, false};
constexpr FieldSpec Number{FieldUse::kAsWritten, true};
constexpr FieldSpec Section{FieldUse::kSection, false};
constexpr FieldSpec BareName{FieldUse::kBareName, false};
constexpr FieldSpec NameOrNumber{FieldUse::kNameOrNumber, false};

constexpr FaultEnd Reported = FaultEnd::kReported;
constexpr FaultEnd Quiet = FaultEnd::kQuiet;
constexpr FaultEnd PassedOver = FaultEnd::kPassedOver;
constexpr FieldUse Whole = FieldUse::kNone;  // each field substituted by its own use
constexpr FieldUse WholeActing = FieldUse::kActing;
constexpr FieldUse WholeShown = FieldUse::kShown;

}  // namespace

// keyword, opcode, form, whole, fields, fault end, fault code, sets, may store empty,
// target, target field, guard.
const CommandRow CommandTable[kCommandCount] = {
    {"CALL", kOpCall, &kCallForm, Whole, {Variable, Section}, Reported, 0, 0, false, Target::kSection, 1, Guard::kNone},
    {"CONTINUEIF", kOpContinueIf, &kTextForm, Whole, {Condition}, Reported, 0, -1, false, Target::kNone, -1,
     Guard::kNone},
    {"FINDREGKEY", kOpFindRegKey, &kRegistryKeyQueryForm, Whole, {Variable, AsWritten}, Reported, 0, 0, false,
     Target::kRegistryKey, 1, Guard::kNone},
    {"GETREGVALUE", kOpGetRegValue, &kRegistryQueryForm, Whole, {Variable, AsWritten, AsWritten}, Reported, 0, 0,
     true, Target::kRegistryKey, 1, Guard::kNone},
    {"SETREGVALUE", kOpSetRegValue, &kRegistryAssignmentForm, Whole, {AsWritten, AsWritten, ActingIn(kRegistryDataChars)}, Reported, 0, -1,
     false, Target::kRegistryKey, 0, Guard::kNone},
    {"GETINIFILEVALUE", kOpGetIniFileValue, &kIniReadForm, WholeActing, {Variable, Acting, Acting, Acting}, Reported,
     0, 0, true, Target::kIniFile, 1, Guard::kNone, kIniArgumentChars},
    {"SETINIFILEVALUE", kOpSetIniFileValue, &kIniWriteForm, Whole, {Acting, AsWritten, AsWritten, Acting}, Reported,
     0, -1, false, Target::kIniFile, 0, Guard::kNone},
    {"DELETEINIFILESECTION", kOpDeleteIniFileSection, &kIniSectionForm, Whole, {Acting, AsWritten}, Reported, 0, -1,
     false, Target::kIniFile, 0, Guard::kNone},
    {"SETWORKDIR", kOpSetWorkDir, &kTextForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kFolder, 0,
     Guard::kNone},
    {"RETURN", kOpReturn, &kTrimmedForm, Whole, {Shown}, Reported, 0, -1, false, Target::kNone, -1, Guard::kNone},
    {"RETURNIF", kOpReturnIf, &kConditionValueForm, Whole, {Condition, ActingCut}, Reported, 0, -1, false,
     Target::kNone, -1, Guard::kNone},
    {"SET", kOpSet, &kAssignmentForm, Whole, {Variable, ActingIn(kSetValueChars)}, Reported, 0, 0, false, Target::kNone, -1,
     Guard::kNone},
    {"GETFILEVERSION", kOpGetFileVersion, &kAssignmentForm, Whole, {Variable, Acting}, Reported, kResultNoFileVersion,
     0, false, Target::kFile, 1, Guard::kNone},
    {"COPYFILEAS", kOpCopyFileAs, &kNothingForm, Whole, {}, Reported, 0, -1, false, Target::kNone, -1, Guard::kNone},
    {"CLOSEAPP", kOpCloseApp, &kTextForm, Whole, {AsWritten}, Reported, 0, -1, false, Target::kWindow, 0,
     Guard::kNone},
    {"RUN", kOpRun, &kTrimmedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kProgram, 0, Guard::kNone, kRunCommandChars},
    {"RUNWAIT", kOpRunWait, &kTrimmedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kProgram, 0,
     Guard::kNone, kRunCommandChars},
    {"RUNHIDE", kOpRunHide, &kTrimmedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kProgram, 0,
     Guard::kNone, kRunCommandChars},
    {"STOPSERVICE", kOpStopService, &kTextForm, Whole, {AsWritten}, Reported, 0, -1, false, Target::kService, 0,
     Guard::kNone},
    {"STARTSERVICE", kOpStartService, &kTextForm, Whole, {AsWritten}, Reported, 0, -1, false, Target::kService, 0,
     Guard::kNone},
    {"CANALLFILESBECOPIED", kOpCanAllFilesBeCopied, &kNameAndListForm, Whole, {Variable, AsWritten}, PassedOver, 0,
     0, false, Target::kFile, 1, Guard::kNone},
    {"CREATEREGKEY", kOpCreateRegKey, &kRegistryKeyAndNameForm, Whole, {AsWritten, AsWritten}, Reported, 0, -1, false,
     Target::kRegistryKey, 0, Guard::kNone},
    {"DELETEREGVALUE", kOpDeleteRegValue, &kRegistryKeyAndValueForm, Whole, {AsWritten, ActingCut}, Reported, 0, -1,
     false, Target::kRegistryKey, 0, Guard::kRootKey},
    {"DELETEREGKEY", kOpDeleteRegKey, &kRegistryKeyForm, Whole, {AsWritten}, Reported, kResultBadSwitch, -1, false,
     Target::kRegistryKey, 0, Guard::kRootKey},
    {"DELETEEMPTYREGKEY", kOpDeleteEmptyRegKey, &kRegistryKeyForm, Whole, {AsWritten}, Reported, kResultBadSwitch, -1,
     false, Target::kRegistryKey, 0, Guard::kRootKey},
    {"ISREGKEYEMPTY", kOpIsRegKeyEmpty, &kRegistryKeyQueryForm, Whole, {Variable, AsWritten}, Reported,
     kResultBadSwitch, 0, false,
     Target::kRegistryKey, 1, Guard::kNone},
    {"DELETEREGKEYRECURSIVE", kOpDeleteRegKeyRecursive, &kRegistryKeyForm, Whole, {AsWritten}, Reported, 0, -1, false,
     Target::kRegistryKey, 0, Guard::kRootKey},
    {"FINDREGVALUE", kOpFindRegValue, &kRegistryQueryForm, Whole, {Variable, AsWritten, AsWritten}, Quiet, 0, 0,
     false, Target::kRegistryKey, 1, Guard::kNone},
    {"ISAPPRUNNING", kOpIsAppRunning, &kAssignmentForm, Whole, {Variable, AsWritten}, Quiet, 0, 0, false,
     Target::kWindow, 1, Guard::kNone},
    {"ISSERVICERUNNING", kOpIsServiceRunning, &kAssignmentForm, Whole, {Variable, AsWritten}, Quiet, 0, 0, false,
     Target::kService, 1, Guard::kNone},
    {"GETOSTYPE", kOpGetOsType, &kTrimmedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone, -1,
     Guard::kNone},
    {"GETOSVERSION", kOpGetOsVersion, &kTrimmedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone, -1,
     Guard::kNone},
    {"GETWINDOWSDIR", kOpGetWindowsDir, &kTrimmedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone, -1,
     Guard::kNone},
    {"GETSPECIALDIR", kOpGetSpecialDir, &kSpecialFolderForm, Whole, {Variable, AsWritten}, Reported, kResultBadSwitch,
     0, true, Target::kNone, -1, Guard::kNone},
    {"STRIPFILENAME", kOpStripFileName, &kTrimmedForm, Whole, {BareName}, Reported, 0, 0, false, Target::kNone, -1,
     Guard::kNone},
    {"FILEEXISTS", kOpFileExists, &kAssignmentForm, Whole, {Variable, Acting}, Quiet, 0, 0, false, Target::kFile, 1,
     Guard::kNone},
    {"ISCURRENTFILEOLDER", kOpIsCurrentFileOlder, &kAssignmentForm, Whole, {Variable, AsWritten}, Quiet, 0, 0, false,
     Target::kFile, 1, Guard::kNone},
    {"FINDINIFILEVALUE", kOpFindIniFileValue, &kIniReadForm, Whole, {Variable, AsWritten, AsWritten, AsWritten},
     PassedOver, 0, 0, false, Target::kIniFile, 1, Guard::kNone},
    {"ISFILELOCKED", kOpIsFileLocked, &kAssignmentForm, Whole, {Variable, AsWritten}, Reported, 0, 0, false,
     Target::kFile, 1, Guard::kNone},
    {"GETPROCESSORTYPE", kOpGetProcessorType, &kTrimmedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone,
     -1, Guard::kNone},
    {"WAITFORTIME", kOpWaitForTime, &kTrimmedForm, Whole, {NameOrNumber}, Reported, 0, -1, false, Target::kNone, -1,
     Guard::kNone},
    {"WAITTILLUNLOCKED", kOpWaitTillUnlocked, &kFileTimeForm, Whole, {AsWritten, Number}, Reported, 0, -1, false,
     Target::kFile, 0, Guard::kNone},
    {"CREATEDIR", kOpCreateDir, &kFolderToCreateForm, WholeActing, {Acting}, Quiet, 0, -1, false, Target::kFolder, 0,
     Guard::kNone},
    {"REMOVEDIR", kOpRemoveDir, &kTextForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kFolder, 0,
     Guard::kProtectedFolder},
    {"REMOVEDIRRECURSIVE", kOpRemoveDirRecursive, &kTextForm, WholeActing, {Acting}, Reported, 0, -1, false,
     Target::kFolder, 0, Guard::kProtectedFolder},
    {"COPYFILES", kOpCopyFiles, &kTextForm, Whole, {Section}, Reported, 0, -1, false, Target::kSection, 0,
     Guard::kNone},
    {"DELFILES", kOpDelFiles, &kTextForm, Whole, {Section}, Reported, 0, -1, false, Target::kSection, 0, Guard::kNone},
    {"FILECIO", kOpFileCio, &kListEntryForm, Whole, {AsWritten, AsWritten}, Reported, 0, -1, false, Target::kFile, 1,
     Guard::kNone},
    {"FILECOW", kOpFileCow, &kListEntryForm, Whole, {AsWritten, AsWritten}, Reported, 0, -1, false, Target::kFile, 1,
     Guard::kNone},
    {"SHOWMSG", kOpShowMsg, &kTextForm, WholeShown, {Shown}, Reported, 0, -1, false, Target::kNone, -1, Guard::kNone},
    {"GOTOIF", kOpGotoIf, &kConditionSectionForm, Whole, {Condition, Section}, Quiet, 0, -1, false, Target::kSection,
     1, Guard::kNone},
    {"CALLIF", kOpCallIf, &kConditionCallForm, Whole, {Condition, Section, Variable}, Reported, 0, 2, false,
     Target::kSection, 1, Guard::kNone},
    {"PROGRESS", kOpProgress, &kProgressForm, Whole, {Number, Number, Number, Shown}, Reported, 0, -1, false,
     Target::kNone, -1, Guard::kNone},
    {"INSTALLCAB", kOpInstallCab, &kCabForm, Whole, {Variable, ActingIn(kCabValueChars)}, Reported, 0, 0, false, Target::kFile, 1,
     Guard::kNone},
    {"WAITFORWINDOWCLOSE", kOpWaitForWindowClose, &kWindowForm, Whole, {AsWritten, Number}, Reported, 0, -1, false,
     Target::kWindow, 0, Guard::kNone},
    {"EXTENDPATH", kOpExtendPath, &kNamedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kFolder, 0,
     Guard::kNone, kExtendPathChars},
    {"YESNO", kOpYesNo, &kAssignmentForm, Whole, {Variable, ActingCut}, Reported, 0, 0, false, Target::kNone, -1,
     Guard::kNone},
    {"KILLPROCESS", kOpKillProcess, &kNamedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kProgram, 0,
     Guard::kNone},
    {"STARTUSERAPP", kOpStartUserApp, &kCommandNumberForm, Whole, {Acting, Number}, Reported, 0, -1, false,
     Target::kProgram, 0, Guard::kNone},
    {"CLOSEUSERAPP", kOpCloseUserApp, &kTrimmedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kProgram,
     0, Guard::kNone},
    {"ADDSTARTMENU", kOpAddStartMenu, &kShortcutForm, Whole, {Acting, Acting}, Reported, 0, -1, false, Target::kFile,
     0, Guard::kNone},
    {"GETSTARTMENUDIR", kOpGetStartMenuDir, &kTrimmedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone,
     -1, Guard::kNone},
    {"SETREBOOTFLAG", kOpSetRebootFlag, &kTextForm, Whole, {AsWritten}, Reported, 0, -1, false, Target::kNone, -1,
     Guard::kNone},
    {"SHELLEXECUTE", kOpShellExecute, &kTextForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kProgram, 0,
     Guard::kNone},
    {"SETFINALSTATUS", kOpSetFinalStatus, &kStatusForm, WholeActing, {ActingNumber, Acting}, Reported, 0, -1, false,
     Target::kNone, -1, Guard::kNone, kFinalStatusChars},
    {"STARTPROGRESSDLG", kOpStartProgressDlg, &kTextForm, WholeShown, {Shown}, Reported, 0, -1, false, Target::kNone,
     -1, Guard::kNone},
    {"SETPROGRESS", kOpSetProgress, &kStatusForm, WholeShown, {ShownNumber, Shown}, Reported, 0, -1, false,
     Target::kNone, -1, Guard::kNone},
    {"ENDPROGRESSDLG", kOpEndProgressDlg, &kNothingForm, Whole, {}, Reported, 0, -1, false, Target::kNone, -1,
     Guard::kNone},
    {"GETPARAM", kOpGetParam, &kAssignmentForm, Whole, {Variable, ActingIn(kParamKeyChars)}, Reported, 0, 0, true, Target::kNone, -1,
     Guard::kNone},
    {"ISADMIN", kOpIsAdmin, &kNamedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone, -1, Guard::kNone},
    {"RESETLASTUPDATE", kOpResetLastUpdate, &kNothingForm, Whole, {}, Reported, 0, -1, false, Target::kNone, -1,
     Guard::kNone},
    {"GETKIVRUNVERSION", kOpGetKivrunVersion, &kTrimmedForm, Whole, {Variable}, Reported, 0, 0, false, Target::kNone,
     -1, Guard::kNone},
    {"ISPROCESSRUNNING", kOpIsProcessRunning, &kNamedAssignmentForm, Whole, {Variable, Acting}, Reported,
     kResultBadSwitch, 0, false, Target::kProgram, 1, Guard::kNone},
    {"CREATESPECIALDIR", kOpCreateSpecialDir, &kTrimmedForm, WholeActing, {Acting}, Reported, 0, -1, false,
     Target::kFolder, 0, Guard::kProtectedFolder},
    {"DELETEONEFILE", kOpDeleteOneFile, &kNamedForm, WholeActing, {Acting}, Reported, 0, -1, false, Target::kFile, 0,
     Guard::kNone},
    {"COPYONEFILE", kOpCopyOneFile, &kTwoPathForm, WholeActing, {Acting, Acting}, Reported, 0, -1, false,
     Target::kFile, 1, Guard::kNone},
    {"PROMPTREBOOT", kOpPromptReboot, &kTextForm, WholeShown, {Shown}, Reported, 0, -1, false, Target::kNone, -1,
     Guard::kNone},
    {"GETTIMESTAMP", kOpGetTimeStamp, &kNameAndOptionForm, WholeActing, {Variable, Acting}, Reported, 0, 0, false,
     Target::kNone, -1, Guard::kNone},
    {"REMOVESCANEXEFROMAUTOEXEC", kOpRemoveScanExeFromAutoexec, &kNothingForm, Whole, {}, Reported, 0, -1, false,
     Target::kFile, -1, Guard::kNone},
};

namespace {

// What a program started or ended, the host or a package's installer does to the machine goes
// through no door of Kivrun's, and a restart once begun is out of its hands.
struct JournalGap {
  int opcode;
  const char* what;
};
const JournalGap kJournalGaps[] = {
    {kOpRun, "starts a program: what it changes is not undone by a rollback"},
    {kOpRunWait, "starts a program: what it changes is not undone by a rollback"},
    {kOpRunHide, "starts a program: what it changes is not undone by a rollback"},
    {kOpShellExecute, "opens a program or document: what that changes is not undone by a rollback"},
    {kOpKillProcess, "ends a process: a rollback does not start it again"},
    {kOpCloseApp, "closes an application: a rollback does not start it again"},
    {kOpStartUserApp, "asks the host to start a program: what it changes is not undone by a rollback"},
    {kOpCloseUserApp, "asks the host to close a program: a rollback does not start it again"},
    {kOpInstallCab, "runs the package's installer: what it changes is not undone by a rollback"},
    {kOpResetLastUpdate, "asks the installer to forget its last update: a rollback does not restore it"},
    {kOpPromptReboot, "asks for a restart: a restart is not undone by a rollback"},
};

}  // namespace

const char* JournalCannotUndo(int opcode) {
  for (const JournalGap& gap : kJournalGaps) {
    if (gap.opcode == opcode) return gap.what;
  }
  return nullptr;
}

const CommandRow* CommandRowOf(int opcode) {
  // Opcodes are 1..79 and every row has its own: one slot each, filled on first use.
  static const CommandRow* slots[kCommandCount + 1] = {};
  static bool filled = false;
  if (!filled) {
    for (const CommandRow& row : CommandTable) {
      if (row.opcode > 0 && row.opcode <= kCommandCount) slots[row.opcode] = &row;
    }
    filled = true;
  }
  return opcode > 0 && opcode <= kCommandCount ? slots[opcode] : nullptr;
}

int SplitWithForm(const CommandRow& row, char* text, ArgumentFields* fields) {
  Clear(fields);
  return row.form->split(text, fields);
}

int RunCodeOf(const CommandRow& row, int formCode) {
  return formCode != kResultOk && formCode == row.form->faults[0].code && row.faultCode != 0 ? row.faultCode
                                                                                              : formCode;
}

int SplitArgument(const CommandRow& row, char* text, ArgumentFields* fields) {
  return RunCodeOf(row, SplitWithForm(row, text, fields));
}

const char* FormFaultText(const CommandRow& row, int formCode) {
  for (const FormFault* fault = row.form->faults; fault->code != 0; ++fault) {
    if (fault->code == formCode) return fault->what;
  }
  return "";
}

bool IsTooShortToCreate(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= kShortestFolderToCreate) return false;
  const bool drive = length >= 2 && path[1] == ':';
  const bool root = length >= 3 && path[2] == '\\';
  return !drive && !root;
}
