// The script line that is running, as the journal names it beside each change it records
// ("line 41 RUNWAIT"). The executor sets it before each line; portable.
#pragma once
#include <cstdint>

constexpr unsigned kChangeCommandChars = 32;

void SetChangeLine(uint32_t line, const char* command);
uint32_t ChangeLine();
const char* ChangeCommand();  // "" before the first line
