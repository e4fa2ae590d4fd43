#include "platform/change_line.h"

#include "base/text.h"

namespace {
uint32_t g_line = 0;
uint32_t g_step = 0;
bool g_query = false;
char g_command[kChangeCommandChars] = "";
IrreversibleNote g_note = nullptr;
}  // namespace

void SetChangeLine(uint32_t line, const char* command, bool query) {
  g_line = line;
  g_query = query;
  ++g_step;
  CopyText(g_command, sizeof(g_command), command != nullptr ? command : "");
}

uint32_t ChangeLine() { return g_line; }
uint32_t ChangeStep() { return g_step; }
bool ChangeLineIsQuery() { return g_query; }
const char* ChangeCommand() { return g_command; }

void SetIrreversibleNote(IrreversibleNote note) { g_note = note; }

void NoteIrreversibleLine(const char* what) {
  if (g_note != nullptr) g_note(what);
}
