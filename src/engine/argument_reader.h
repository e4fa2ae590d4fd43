// How a handler takes its fields: the line's argument read with its command row.
#pragma once
#include <cstddef>

#include "engine/acting_text.h"
#include "engine/command_forms.h"
#include "engine/script.h"

// Reads the argument of `line` into `text` (`size` bytes) and splits it with its row's form.
// Where the row substitutes the whole argument first, an acting text that cannot be
// substituted fails the line (28 or 24, reported) and a shown one is substituted as far as
// it goes. Gives true when the handler goes on; otherwise false with what the handler
// returns in `end`: a form fault ended by the row's rule (reported, or the code alone), or 0
// for a line the run passes over.
bool ReadArgument(ScriptContext* context, const ScriptLine* line, char* text, size_t size, ArgumentFields* fields,
                  int* end);

// A line's argument in a buffer of its own, read with its row: the handlers' usual shape,
//   LineArgument<> argument;
//   if (!argument.Read(context, line)) return argument.end;
template <size_t Size = kArgumentCopyChars>
struct LineArgument {
  char text[Size];
  ArgumentFields fields;
  int end = 0;

  bool Read(ScriptContext* context, const ScriptLine* line) {
    return ReadArgument(context, line, text, Size, &fields, &end);
  }
  const char* operator[](int index) const { return fields.field[index]; }
};

// The opening that the VAR=text commands share (SET, FILEEXISTS, GETFILEVERSION, GETPARAM,
// ISPROCESSRUNNING): the argument read with its row, then the text after "=" substituted as
// acting text into `value` (an undefined variable, 28, or a text that does not fit, 24,
// fail the line and nothing is stored). False with what the handler returns in `end`.
template <size_t Size>
bool ReadAssignment(ScriptContext* context, const ScriptLine* line, LineArgument<>* argument, char (&value)[Size],
                    int* end) {
  if (!argument->Read(context, line)) {
    *end = argument->end;
    return false;
  }
  *end = SubstituteActingText(context, line, (*argument)[1], value, Size);
  return *end == 0;
}
