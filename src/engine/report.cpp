#include "engine/report.h"

#include <cstdio>

#include "log/log.h"
#include "platform/messages.h"

void StatusMessage(unsigned id, const char* argument) {
  char format[261];
  LoadMessageText(id, format, sizeof(format));
  if (argument == nullptr) {
    LogStatus("%s", format);
    return;
  }
  char text[1025];  // what wsprintfA can produce
  // The resource text is the format; every status string takes exactly one %s.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(text, sizeof(text), format, argument);
#pragma GCC diagnostic pop
  LogStatus("%s", text);
}
