#include "platform/change_line.h"

#include "base/text.h"

namespace {
uint32_t g_line = 0;
char g_command[kChangeCommandChars] = "";
}  // namespace

void SetChangeLine(uint32_t line, const char* command) {
  g_line = line;
  CopyText(g_command, sizeof(g_command), command != nullptr ? command : "");
}

uint32_t ChangeLine() { return g_line; }
const char* ChangeCommand() { return g_command; }
