// kivcheck and the run cannot disagree on a line's code: natively, each case of
// command_cases.h runs through the engine, where the flow commands are real and every other
// command goes as far as its row takes it (its form, and its acting fields substituted as the
// handler substitutes them), and the checker's prediction must name the same code. The
// handlers themselves are held to the same cases under Wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "check/checks.h"
#include "command_cases.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/executor.h"
#include "engine/loader.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "platform/final_status.h"

namespace {


int RowStep(ScriptContext* context, const ScriptLine* line) {
  static char text[4096];
  ArgumentFields fields;
  int end = kResultOk;
  if (!ReadArgument(context, line, text, sizeof(text), &fields, &end)) return end;
  const CommandRow& row = *CommandRowOf(line->opcode);
  for (int i = 0; i < kMaxFields && row.whole == FieldUse::kNone; ++i) {
    static char value[4096];
    int result = kResultOk;
    if (row.fields[i].use == FieldUse::kActing && row.fields[i].chars == 0) {  // cut to fit
      result = SubstituteVariables(context, fields.field[i], value, kPathChars);
      if (result != kResultOk) result = FailLine(context, line, result);
    } else if (row.fields[i].use == FieldUse::kActing) {
      result = SubstituteActingText(context, line, fields.field[i], value, row.fields[i].chars);
    } else if (row.fields[i].use == FieldUse::kBareName) {
      result = SymbolGet(context->symbols, fields.field[i], value, sizeof(value));
      if (result != kResultOk) result = FailLine(context, line, result);
    }
    if (result != kResultOk) return result;
  }
  // A command that acts on a section needs it there.
  if (row.target == Target::kSection && FindSection(context->sections, fields.field[row.targetField]) == nullptr) {
    return FailLine(context, line, kResultSectionNotFound);
  }
  return kResultOk;
}

// A row for every command that has one, after the engine's own (which win); COPYFILEAS has no
// handler anywhere.
void AddRowSteps() {
  static HandlerRow rows[kCommandCount + 1];
  static bool added = false;
  if (added) return;
  int n = 0;
  for (const CommandRow& row : CommandTable) {
    if (row.opcode != kOpCopyFileAs) rows[n++] = {row.opcode, RowStep};
  }
  rows[n] = {kOpNone, nullptr};
  ASSERT_TRUE(AddHandlerRows(rows));
  added = true;
}

}  // namespace

TEST(CommandCases, TheCheckerPredictsTheCodeOfEveryRowsFormAndFields) {
  AddRowSteps();
  const std::string path = testing::TempDir() + "kivcheck_case.kiv";
  std::vector<std::string> disagreements;
  size_t cases = 0;
  for (const CommandCase& c : CommandCases()) {
    if (c.windowsOnly) continue;
    ++cases;
    {
      FILE* file = std::fopen(path.c_str(), "wb");
      ASSERT_NE(file, nullptr);
      const std::string script =
          "[DefaultInstall]\r\n" + CommandCasePrelude() + c.line + "\r\n" + CommandCaseSections();
      std::fwrite(script.data(), 1, script.size(), file);
      std::fclose(file);
    }
    const int run = ExecuteScript(path.c_str(), "DefaultInstall", testing::TempDir().c_str());
    ResetFinalStatus();
    std::vector<Diagnostic> diagnostics;
    ASSERT_TRUE(CheckScript(path, CheckOptions(), &diagnostics));
    const int predicted = PredictedCode(diagnostics, kCommandCaseLine);
    if (run != predicted) {
      disagreements.push_back("'" + c.line + "': the run gives " + std::to_string(run) + ", kivcheck predicts " +
                              std::to_string(predicted));
    }
  }
  EXPECT_GE(cases, 700u);
  std::string all;
  for (const std::string& d : disagreements) all += d + "\n";
  EXPECT_TRUE(disagreements.empty()) << disagreements.size() << " disagreements:\n" << all;
}
