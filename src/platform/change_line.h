// The script line that is running, as the journal names it beside each change it records
// ("line 41 RUNWAIT"). The executor sets it before each line, and notes a line that does
// what no journal undoes; the journal, when one records, takes the note. Portable.
#pragma once
#include <cstdint>

constexpr unsigned kChangeCommandChars = 32;

void SetChangeLine(uint32_t line, const char* command);
uint32_t ChangeLine();
const char* ChangeCommand();  // "" before the first line

// Where a note goes: set by the journal while it records, nullptr otherwise.
using IrreversibleNote = void (*)(const char* what);
void SetIrreversibleNote(IrreversibleNote note);
void NoteIrreversibleLine(const char* what);
