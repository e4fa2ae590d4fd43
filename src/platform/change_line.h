// The script line that is running, as the journal names it beside each change it records
// ("line 41 RUNWAIT"). The executor sets it before each line, and notes a line that does
// what no journal undoes; the journal, when one records, takes the note. Portable.
#pragma once
#include <cstdint>

constexpr unsigned kChangeCommandChars = 32;

// `query`: the line's command stores what it finds in a variable (GETREGVALUE, FILEEXISTS).
void SetChangeLine(uint32_t line, const char* command, bool query = false);
uint32_t ChangeLine();
const char* ChangeCommand();  // "" before the first line
// How many lines have begun: tells one running of a line from the next (a line of a CALLed
// section runs again with the same number).
uint32_t ChangeStep();
bool ChangeLineIsQuery();

// Where a note goes: set by the journal while it records, nullptr otherwise.
using IrreversibleNote = void (*)(const char* what);
void SetIrreversibleNote(IrreversibleNote note);
void NoteIrreversibleLine(const char* what);
