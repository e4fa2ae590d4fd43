// What the checker knows of a command line, read from the command's row (engine/command_forms.h),
// the same row its handler reads: the faults of its form (with the result code the run
// gives), the parts that are substituted and how, the parts used as written, the variable the
// line may set, the section it runs and the target its guard protects.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "check/diagnostics.h"
#include "engine/command_forms.h"
#include "engine/script.h"

// How a part's %%NAME%% references are read by the run.
enum class Use {
  kActing,     // text the command acts on: an undefined variable fails the line with 28
  kShown,      // a shown or returned text: an undefined variable cuts it or leaves it as written
  kCondition,  // a condition's operands: an undefined variable compares as written
};

struct TextPart {
  std::string text;
  Use use;
};

// The check names of what the rules find.
extern const char kArgumentFormCheck[];  // a form the run stops at (error) or passes over (warning)
extern const char kNumberCheck[];        // a number that reads as 0
extern const char kConditionCheck[];     // a condition clause without a comparison
extern const char kLiteralVariableCheck[];  // a %%NAME%% in a part the run uses as written

struct Fault {
  const char* check;
  Severity severity;
  std::string message;
};

// A part the run uses as written that holds a %%NAME%%.
struct LiteralPart {
  std::string text;
  FieldUse use;    // kAsWritten or kSection
  bool isTarget;   // the part is what the command acts on
};

struct LineReading {
  const CommandRow* row = nullptr;     // nullptr for a word that is no keyword
  bool formRead = false;               // the argument has its form (no fault, or one not sure)
  std::vector<Fault> faults;           // of the argument's form and its numbers
  std::vector<TextPart> parts;         // the substituted parts
  std::vector<LiteralPart> literals;   // parts used as written that hold a %%NAME%%
  std::string sets;                    // the variable the line may set; empty when none
  std::string readsByName;             // a variable the line reads by its bare name (STRIPFILENAME)
  std::optional<std::string> waitsOn;  // WAITFORTIME's word when it is no number: a variable name
  std::string section;                 // the section the line runs, as written; empty when none
  bool runsSection = false;            // CALL, CALLIF, GOTOIF, COPYFILES or DELFILES with its form
  std::string path;                    // the target the row's guard protects, as written
  bool pathSubstituted = false;        // the run substitutes the target (a folder) before the guard
  bool mayStoreEmpty = false;          // the variable it sets may be left empty (a missing key, file, name)
  bool neverHolds = false;             // its condition has no variable and does not hold: the rest is never read
};

// With `known`, a row that substitutes its whole argument first is split as the run splits
// it wherever every variable in it has an exactly known value.
class KnownValues;
LineReading ReadCommandLine(const ScriptLine& line, const KnownValues* known = nullptr);

// True when every keyword's opcode has a row (the checker's own consistency test).
bool EveryKeywordHasARule();

// Words for what a row's target is, for messages ("key paths", "section names").
const char* TargetNoun(Target target);

// True when the text holds a "%%" (a variable reference, or the start of one).
bool HoldsVariable(const std::string& text);

// The text trimmed as handlers trim it (blanks and tabs; trailing CR and LF too).
std::string TrimmedText(const std::string& text);

// The %%NAME%% references of a text, read as substitution reads them. `unclosedAt` (when
// given) receives where a "%%" without its closing one starts (substitution drops the text
// from there), or std::string::npos.
std::vector<std::string> ReferenceNames(const std::string& text, size_t* unclosedAt = nullptr);
// The text with its references (and an unclosed rest) taken out.
std::string WithoutReferences(const std::string& text);

// "the run fails with 23: <message>" and its unreported form.
std::string RunFails(int code);
std::string RunStopsQuietly(int code);
// The code a diagnostic's text says the run fails with (the words above), or 0.
int RunFailureCode(const std::string& message);
// "23: <message>": a code with the run's message for it.
std::string CodeAndMessage(int code);
