#include "command_test.h"

#include <windows.h>

#include "commands/command_families.h"
#include "engine/executor.h"
#include "engine/loader.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"

CommandTest::CommandTest() {
  static bool added = false;
  if (!added) {
    AddCommandFamilies();
    CoInitialize(nullptr);  // the shell commands need COM, as start-up gives Kivrun.exe
  }
  added = true;
}

CommandTest::~CommandTest() { ScriptClose(context_); }

int CommandTest::Run(const std::string& lines, const std::string& scriptDir) {
  return RunScript("[Main]\r\n" + lines, scriptDir);
}

int CommandTest::RunScript(const std::string& script, const std::string& scriptDir) {
  ScriptClose(context_);
  context_ = nullptr;
  std::string path = WriteTempFile("command.kiv", script);
  int result = ScriptOpen(path.c_str(), "Main", scriptDir.c_str(), &context_);
  return result != kResultOk ? result : ScriptRun(context_, "Main");
}

std::string CommandTest::Var(const char* name) {
  char value[600];
  return SymbolGet(context_->symbols, name, value, sizeof(value)) == kResultOk ? value : "<undefined>";
}
