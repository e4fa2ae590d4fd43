// What the checker knows of each command's argument, read with the argument routines its
// handler uses: the faults of its form (with the result code the run gives), the parts of it
// that are substituted and how, and the variable the line may set. One row per keyword.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "check/diagnostics.h"
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

struct Fault {
  const char* check;
  Severity severity;
  std::string message;
};

struct LineReading {
  std::vector<Fault> faults;           // of the argument's form and its numbers
  std::vector<TextPart> parts;         // the substituted parts
  std::string sets;                    // the variable the line may set; empty when none
  std::string readsByName;             // a variable the line reads by its bare name (STRIPFILENAME)
  std::optional<std::string> waitsOn;  // WAITFORTIME's word when it is no number: a variable name
  std::string path;                    // the folder or key a destructive command acts on, as written
  bool mayStoreEmpty = false;          // the variable it sets may be left empty (a missing key, file, name)
};

LineReading ReadCommandLine(const ScriptLine& line);

// True when every keyword's opcode has a row (the checker's own consistency test).
bool EveryKeywordHasARule();

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
