// A fixture for command tests: runs script lines as the start section of a script, in this
// process, with every command family in the handler table, and reads the variables after.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "engine/script.h"
#include "test_support.h"

class CommandTest : public ::testing::Test {
 protected:
  CommandTest();
  ~CommandTest() override;

  // Runs `lines` under a [Main] header; the variables stay readable until the next run.
  int Run(const std::string& lines, const std::string& scriptDir = "");
  // A whole script (sections and all) whose start section is Main.
  int RunScript(const std::string& script, const std::string& scriptDir = "");
  std::string Var(const char* name);  // "<undefined>" when it is not set
  ScriptContext* context() { return context_; }

  LogRecorder log_;

 private:
  ScriptContext* context_ = nullptr;
};
