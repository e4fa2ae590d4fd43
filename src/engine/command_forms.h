// One row per keyword: the word and its opcode, the form that splits its argument into
// fields, how each field is used, the variable it sets, and what it acts on with the guard
// that protects it. The run and the checker read the same rows: a handler takes its fields
// from its row's form and acts; the executor applies the row's guard before the handler
// runs; kivcheck turns the same form's outcome and the same field uses into its findings.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/keywords.h"
#include "engine/script.h"

constexpr int kMaxFields = 4;

// The buffers the run substitutes into, named once: the rows say which field goes where, the
// handlers size their buffers by the same names. A substituted text that does not fit fails
// its line with 24.
constexpr size_t kSetValueChars = 1024;      // SET's value
constexpr size_t kRegistryDataChars = 1000;  // SETREGVALUE's data
constexpr size_t kIniArgumentChars = 3000;   // GETINIFILEVALUE's whole argument
constexpr size_t kRunCommandChars = 10240;   // RUN, RUNWAIT, RUNHIDE's command line
constexpr size_t kExtendPathChars = 4096;    // EXTENDPATH's folder
constexpr size_t kParamKeyChars = 1000;      // GETPARAM's key
constexpr size_t kFinalStatusChars = 1024;   // SETFINALSTATUS's status and text
constexpr size_t kCabValueChars = 1040;      // INSTALLCAB's package and options

// What a form split: each field points into the text it split (terminated, trimmed as the
// form trims it); a field the text did not have is "".
struct ArgumentFields {
  const char* field[kMaxFields];
  int kind;  // the form's one further reading (FieldKind)
};

// SETREGVALUE's data type; or that an optional part is there (the variable for the outcome
// of CALL and CALLIF, the status text of SETPROGRESS).
enum FieldKind : int { kKindString = 0, kKindDword = 1, kKindOptional = 2 };

// Splits `text` in place into fields; 0, or the code of the fault the form found.
using SplitFunction = int (*)(char* text, ArgumentFields* fields);

// What a fault of a form means, in the checker's words ("no ',' between ...").
struct FormFault {
  int code;
  const char* what;
};

struct ArgumentForm {
  const char* shape;  // as a script author writes it: "VAR=ROOT\key,value"
  SplitFunction split;
  const FormFault* faults;  // ended by a row with code 0
};

// How the run reads a field's %%NAME%% references.
enum class FieldUse : uint8_t {
  kNone,        // the form has no such field
  kVariable,    // the name of the variable the line sets, as written
  kActing,      // substituted whole or not at all: an undefined variable fails the line (28)
  kShown,       // substituted as shown text: an undefined variable cuts it or stays as written
  kCondition,   // a condition: each operand is looked up as it is compared
  kAsWritten,   // never substituted: a %%NAME%% is part of the name
  kSection,     // a section's name, looked up as written
  kBareName,    // a variable read by its bare name (no %%): undefined, the line fails (28)
  kNameOrNumber,  // a number, or a variable's bare name that stands for one when it is set
};

struct FieldSpec {
  FieldUse use;
  bool number;  // read as a number (atol): text without a leading number reads as 0
  uint16_t chars = kPathChars;  // an acting field: the buffer it is substituted into (0: cut to fit)
};

// How a line whose argument has a form fault ends.
enum class FaultEnd : uint8_t {
  kReported,    // the line fails with the code and an error line
  kQuiet,       // the line fails with the code, without an error line
  kPassedOver,  // the run gives 0 and passes over the line
};

// What the command acts on, for the guard and the reader.
enum class Target : uint8_t { kNone, kFolder, kFile, kRegistryKey, kIniFile, kSection, kProgram, kService, kWindow };

// The rule a target must pass before the handler runs; a refused target fails with 51.
enum class Guard : uint8_t {
  kNone,
  kProtectedFolder,  // no drive or share root, relative path, or system folder
  kRootKey,          // no root key alone (HKLM\ with nothing after it)
};

struct CommandRow {
  const char* keyword;
  int opcode;
  const ArgumentForm* form;
  // The whole argument substituted before it is split (kActing or kShown), or kNone: then
  // each field is substituted by its own use, where the handler reads it.
  FieldUse whole;
  FieldSpec fields[kMaxFields];
  FaultEnd faultEnd;
  int faultCode;  // the code the form's first fault (a missing separator) gives instead; 0 keeps it
  int8_t setsField;     // the field that names the variable the line sets; -1 for none
  bool mayStoreEmpty;   // the variable it sets may be left empty (a missing key, file, name)
  Target target;
  int8_t targetField;  // -1 for none
  Guard guard;
  uint16_t wholeChars = kPathChars;  // an acting whole argument: the buffer it is substituted into
};

// The 79 rows in the order lookups walk them.
constexpr int kCommandCount = 79;
extern const CommandRow CommandTable[kCommandCount];

// The row of an opcode, or nullptr (kOpNone and unknown opcodes).
const CommandRow* CommandRowOf(int opcode);

// Splits `text` with the row's form: 0 or the code of the fault the form found.
int SplitWithForm(const CommandRow& row, char* text, ArgumentFields* fields);
// The code the run gives for a form's fault: the form's own, or the row's faultCode.
int RunCodeOf(const CommandRow& row, int formCode);
// SplitWithForm, giving the run's code.
int SplitArgument(const CommandRow& row, char* text, ArgumentFields* fields);

// The checker's words for a fault the row's form gave (the form's own code), or "".
const char* FormFaultText(const CommandRow& row, int formCode);

// What a command does that a journal cannot undo (it starts a program, ends a process, hands
// a package to its installer, asks for a restart), in words that follow its keyword; nullptr
// for a command whose changes a journal undoes whole. The run records such a line before it
// runs, so that a rollback names it; kivcheck --journal notes it.
const char* JournalCannotUndo(int opcode);

// CREATEDIR passes over (51, returned) a path shorter than four characters that is neither
// a drive (C:) nor a root (C:\); its length is measured before any character is looked at.
bool IsTooShortToCreate(const char* path);
