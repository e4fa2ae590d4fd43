// log_line <log path> <text>: writes <text> as one status line to the log.
// The tests copy this program under other names to see the module field change.
#include "log/log.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  SetLogFile(kLogLevelStatus, argv[1]);
  LogStatus("%s", argv[2]);
  return 0;
}
