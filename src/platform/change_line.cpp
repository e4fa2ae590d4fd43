#include "platform/change_line.h"

#include "base/text.h"

namespace {
uint32_t g_line = 0;
char g_command[kChangeCommandChars] = "";
IrreversibleNote g_note = nullptr;
}  // namespace

void SetChangeLine(uint32_t line, const char* command) {
  g_line = line;
  CopyText(g_command, sizeof(g_command), command != nullptr ? command : "");
}

uint32_t ChangeLine() { return g_line; }
const char* ChangeCommand() { return g_command; }

void SetIrreversibleNote(IrreversibleNote note) { g_note = note; }

void NoteIrreversibleLine(const char* what) {
  if (g_note != nullptr) g_note(what);
}
