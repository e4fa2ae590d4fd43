// The executor and the flow-control commands, driven by whole scripts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/executor.h"
#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "log/log.h"
#include "platform/final_status.h"
#include "test_support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// A handler that ends its section quietly: stop flag set, result 0.
int StopQuietly(ScriptContext* context, const ScriptLine*) {
  context->currentSection->stopFlag = 1;
  return kResultOk;
}
const HandlerRow kTestRows[] = {{kOpShowMsg, StopQuietly}, {kOpNone, nullptr}};

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool added = false;
    if (!added) AddHandlerRows(kTestRows);
    added = true;
    ResetFinalStatus();
  }
  void TearDown() override { ScriptClose(context_); }

  // The whole road: open, run, close; gives the script's result.
  int Execute(const std::string& script, const char* start = "Main") {
    path_ = WriteTempFile("engine.kiv", script);
    return ExecuteScript(path_.c_str(), start, "");
  }
  // Opens and runs, keeping the context so the variables can be read afterwards.
  int Run(const std::string& script, const char* start = "Main") {
    path_ = WriteTempFile("engine.kiv", script);
    int result = ScriptOpen(path_.c_str(), start, "", &context_);
    return result != kResultOk ? result : ScriptRun(context_, start);
  }
  std::string Var(const char* name) {
    char value[1100];
    if (SymbolGet(context_->symbols, name, value, sizeof(value)) != kResultOk) return "<undefined>";
    return value;
  }
  std::string StatusText() {
    char text[600];
    FinalStatusText(text, sizeof(text));
    return text;
  }
  bool Logged(const std::string& piece) { return log_.Contains(piece); }

  LogRecorder log_;
  ScriptContext* context_ = nullptr;
  std::string path_;
};

}  // namespace

TEST_F(Engine, AnEmptyStartSectionFinishesSuccessfullyWithItsLogLines) {
  EXPECT_EQ(Execute("[Main]\r\n[Other]\r\nFOO\r\n"), kResultOk);
  EXPECT_TRUE(Logged("Executing : ExecuteScript()\r\n"));
  EXPECT_TRUE(Logged("Executing ScriptRun()\r\n"));
  EXPECT_TRUE(Logged("Start running script, start section:Main\r\n"));
  EXPECT_TRUE(Logged("Script finished successfully!!\r\n"));
  EXPECT_TRUE(Logged("Script: " + path_ + " closed.\r\n"));
  EXPECT_EQ(FinalStatusCode(), 0);
}

TEST_F(Engine, EachLineIsLoggedWithItsWordAsTypedAndItsSubstitutedArguments) {
  EXPECT_EQ(Execute("[Main]\r\nSET Dir=C:\\Vorna\r\nset Exe=%%Dir%%\\scan.exe\r\n"), kResultOk);
  EXPECT_TRUE(Logged("Executing line 2: SET Dir=C:\\Vorna\r\n"));
  EXPECT_TRUE(Logged("Executing line 3: set Exe=C:\\Vorna\\scan.exe\r\n"));
}

// A missing start section is named in an error line and the script's closing line follows,
// as after any failure; the host learns of it at the end of the run, not here.
TEST_F(Engine, LoadFailuresBecomeTheResultWithoutRunningAnything) {
  EXPECT_EQ(ExecuteScript(TempPath("missing.kiv").c_str(), "Main", ""), kResultCannotOpenFile);
  EXPECT_FALSE(Logged("closed."));
  EXPECT_EQ(Execute("[Main]\r\n", "DefaultInstall"), kResultStartSectionNotFound);
  EXPECT_FALSE(Logged("Script finished successfully!!"));
  EXPECT_TRUE(Logged("Error: Unable to find 'Main' section.\n>>Start section: DefaultInstall\r\n"));
  EXPECT_TRUE(Logged("Script: " + path_ + " closed.\r\n"));
  EXPECT_EQ(FinalStatusCode(), 0);
}

TEST_F(Engine, AnUnknownWordFailsOnlyWhenItRunsAndIsReportedWithItsLine) {
  std::string script = "[Main]\r\n";
  for (int i = 2; i < 12; ++i) script += "SET A" + std::to_string(i) + "=1\r\n";
  script += "FOO a b\r\nSET After=1\r\n[Never]\r\nBAR\r\n";
  EXPECT_EQ(Execute(script), kResultUnrecognizedCommand);
  EXPECT_TRUE(Logged("Error: Unrecognized command in script file.\n>>Line 12: FOO a b\r\n"));
  EXPECT_FALSE(Logged("SET After"));
  EXPECT_EQ(FinalStatusCode(), kStatusFailed);
  EXPECT_EQ(StatusText(), "Kivrun Script: Unrecognized command in script file.<br>FOO a b");
}

TEST_F(Engine, CopyFileAsHasNoHandlerAndFailsWith2) {
  EXPECT_EQ(Execute("[Main]\r\nCOPYFILEAS a,b\r\n"), kResultUnrecognizedCommand);
  EXPECT_TRUE(Logged(">>Line 2: COPYFILEAS a,b\r\n"));
}

TEST_F(Engine, ReturnAndReturnIfInTheStartSectionDoNothing) {
  EXPECT_EQ(Run("[Main]\r\nRETURN 1\r\nRETURNIF 1=1,2\r\nRETURNIF nocomma\r\nSET After=yes\r\n"), kResultOk);
  EXPECT_EQ(Var("After"), "yes");
}

TEST_F(Engine, AHandlerThatStopsQuietlyEndsACalledSectionButNotTheStartSection) {
  EXPECT_EQ(Run("[Main]\r\nCALL R=Sub\r\nSHOWMSG x\r\nSET After=yes\r\n"
                "[Sub]\r\nSHOWMSG x\r\nSET InSub=yes\r\n"),
            kResultOk);
  EXPECT_EQ(Var("R"), "TRUE");
  EXPECT_EQ(Var("InSub"), "<undefined>");
  EXPECT_EQ(Var("After"), "yes");
}

TEST_F(Engine, AFailingLineInACalledSectionEndsEverySectionUpTheChain) {
  EXPECT_EQ(Run("[Main]\r\nCALL R=A\r\nSET After=1\r\n[A]\r\nCALL B\r\nSET InA=1\r\n[B]\r\nSET X\r\n"),
            kResultNowhereToPutValue);
  EXPECT_EQ(Var("R"), "FALSE");
  EXPECT_EQ(Var("InA"), "<undefined>");
  EXPECT_EQ(Var("After"), "<undefined>");
}

TEST_F(Engine, SetStoresTheSubstitutedValue) {
  EXPECT_EQ(Run("[Main]\r\nSET A = x y \r\nSET B=B=C\r\nSET C=%%A%%/%%B%%\r\nSET a=lower\r\n"), kResultOk);
  EXPECT_EQ(Var("A"), "x y");
  EXPECT_EQ(Var("B"), "B=C");
  EXPECT_EQ(Var("C"), "x y/B=C");
  EXPECT_EQ(Var("a"), "lower");
}

TEST_F(Engine, SetWithoutEqualsReports23WithTheLine) {
  EXPECT_EQ(Execute("[Main]\r\n;\r\n;\r\n;\r\nSET X\r\n"), kResultNowhereToPutValue);
  EXPECT_TRUE(Logged("Error: Nowhere to put value.\n>>Line 5: SET X\r\n"));
  EXPECT_EQ(StatusText(), "Kivrun Script: Nowhere to put value.<br>SET X");
}

TEST_F(Engine, SetOfAnUndefinedVariableReports28AndKeepsTheOldValue) {
  EXPECT_EQ(Run("[Main]\r\nSET A=old\r\nSET A=%%B%%\r\n"), kResultSymbolNotFound);
  EXPECT_EQ(Var("A"), "old");
  EXPECT_TRUE(Logged("Error: Specified symbol was not found.\n>>Line 3: SET A=%%B%%\r\n"));
}

TEST_F(Engine, SetOfAValueThatWouldBeCutReports24AndKeepsTheOldValue) {
  const std::string y(250, 'y');
  // 500 characters fit the 1023 a value keeps; 1250 do not.
  EXPECT_EQ(Run("[Main]\r\nSET Y=" + y + "\r\nSET A=%%Y%%%%Y%%\r\nSET B=%%Y%%%%Y%%%%Y%%%%Y%%%%Y%%\r\n"),
            kResultNowhereToGetValue);
  EXPECT_EQ(Var("A"), y + y);
  EXPECT_EQ(Var("B"), "<undefined>");
  EXPECT_TRUE(Logged("Error: Nowhere to get value from.\n>>Line 4: SET B=%%Y%%%%Y%%%%Y%%%%Y%%%%Y%%\r\n"));
  ScriptClose(context_);
  // At most 259 characters of a value are inserted: a longer one is not passed on cut.
  EXPECT_EQ(Run("[Main]\r\nSET Y=" + y + "\r\nSET A=%%Y%%%%Y%%\r\nSET B=old\r\nSET B=%%A%%\r\n"),
            kResultNowhereToGetValue);
  EXPECT_EQ(Var("B"), "old");
}

TEST_F(Engine, CallStoresTheReturnedValueOrTheOutcome) {
  const std::string sections = "[Check]\r\nRETURN %%X%%\r\n[Plain]\r\nSET Y=1\r\n";
  EXPECT_EQ(Run("[Main]\r\nSET X=5\r\nCALL R=Check\r\nCALL P = Plain\r\nCALL Plain\r\n" + sections), kResultOk);
  EXPECT_EQ(Var("R"), "5");
  EXPECT_EQ(Var("P"), "TRUE");
  EXPECT_TRUE(Logged("Running Section: Check\r\n"));
  EXPECT_TRUE(Logged("Executing line 7: RETURN 5\r\n"));
}

TEST_F(Engine, ReturnOfAnUndefinedVariableGivesTheTextAsWritten) {
  EXPECT_EQ(Run("[Main]\r\nCALL R=Check\r\n[Check]\r\nRETURN   %%X%%  \r\nSET Never=1\r\n"), kResultOk);
  EXPECT_EQ(Var("R"), "%%X%%");
  EXPECT_EQ(Var("Never"), "<undefined>");
}

// The host learns of it only at the end of the run; the log names the line, once, however
// deep the call that met it.
TEST_F(Engine, CallOfAMissingSectionEndsTheScriptWith4Unreported) {
  EXPECT_EQ(Run("[Main]\r\nCALL R=Missing\r\nSET After=1\r\n"), kResultSectionNotFound);
  EXPECT_EQ(Var("R"), "FALSE");
  EXPECT_EQ(Var("After"), "<undefined>");
  EXPECT_TRUE(Logged("Error: Unable to find the specified section.\n>>Line 2: CALL R=Missing\r\n"));
  EXPECT_FALSE(Logged("Running Section"));
  EXPECT_EQ(FinalStatusCode(), 0);
  ScriptClose(context_);
  context_ = nullptr;

  EXPECT_EQ(Execute("[Main]\r\nCALL Outer\r\n[Outer]\r\nSET A=1\r\nCALLIF %%A%%=1,Inner\r\n"),
            kResultSectionNotFound);
  EXPECT_TRUE(Logged(">>Line 5: CALLIF %%A%%=1,Inner\r\n"));
  EXPECT_FALSE(Logged(">>Line 2: CALL Outer"));
}

TEST_F(Engine, SectionNamesInCallsAreExact) {
  EXPECT_EQ(Run("[Main]\r\nCALL sub\r\n[Sub]\r\n"), kResultSectionNotFound);
}

TEST_F(Engine, CallIfRunsTheSectionOnlyWhenTheConditionHolds) {
  const std::string setup = "[Setup]\r\nSET Ran=%%Ran%%+\r\nRETURN done\r\n";
  EXPECT_EQ(Run("[Main]\r\nSET Ran=\r\nSET A=2\r\nCALLIF %%A%%=1,Setup\r\nSET A=1\r\n"
                "CALLIF %%A%%=1 , R = Setup\r\nCALLIF %%A%%=1,Setup\r\n" + setup),
            kResultOk);
  EXPECT_EQ(Var("Ran"), "++");
  EXPECT_EQ(Var("R"), "done");
}

TEST_F(Engine, CallIfWithoutCommaReports51) {
  EXPECT_EQ(Execute("[Main]\r\nCALLIF %%A%%=1\r\n"), kResultBadSwitch);
  EXPECT_TRUE(Logged("Error: Invalid switch or value supplied in command line parameters.\n>>Line 2: CALLIF %%A%%=1\r\n"));
}

TEST_F(Engine, GotoIfEndsTheSectionWhetherOrNotItsConditionHolds) {
  EXPECT_EQ(Run("[Main]\r\nSET A=2\r\nGOTOIF %%A%%=1,Next\r\nSET After=1\r\n[Next]\r\nSET InNext=1\r\n"), kResultOk);
  EXPECT_EQ(Var("After"), "<undefined>");
  EXPECT_EQ(Var("InNext"), "<undefined>");
  ScriptClose(context_);
  context_ = nullptr;

  EXPECT_EQ(Run("[Main]\r\nCALL R=Sub\r\nSET After=1\r\n[Sub]\r\nGOTOIF 1=1,Next\r\nSET InSub=1\r\n"
                "[Next]\r\nRETURN ignored\r\n"),
            kResultOk);
  EXPECT_EQ(Var("R"), "TRUE");  // the GOTOIF, not a RETURN, ended Sub
  EXPECT_EQ(Var("InSub"), "<undefined>");
  EXPECT_EQ(Var("After"), "1");
}

TEST_F(Engine, GotoIfWithoutCommaEndsWith51Unreported) {
  EXPECT_EQ(Execute("[Main]\r\nGOTOIF %%A%%=1\r\nSET After=1\r\n"), kResultBadSwitch);
  EXPECT_FALSE(Logged("Error:"));
  EXPECT_EQ(FinalStatusCode(), 0);
}

TEST_F(Engine, GotoIfSubstitutesItsWholeConditionFirstAndCallIfOnlyEachOperand) {
  // A holds the text %%B%%: GOTOIF's first pass inserts it, and the evaluator then reads B.
  EXPECT_EQ(Run("[Main]\r\nSET P=%\r\nSET B=1\r\nSET A=%%P%%%%P%%B%%P%%%%P%%\r\nSET M=\r\n"
                "CALLIF %%A%%=1,Mark\r\nSET AfterCallIf=%%M%%\r\nGOTOIF %%A%%=1,Mark\r\n"
                "[Mark]\r\nSET M=%%M%%+\r\n"),
            kResultOk);
  EXPECT_EQ(Var("A"), "%%B%%");
  EXPECT_EQ(Var("AfterCallIf"), "");  // CALLIF compared the text %%B%% with 1
  EXPECT_EQ(Var("M"), "+");           // GOTOIF compared 1 with 1
  ScriptClose(context_);
  context_ = nullptr;

  // An undefined variable cuts GOTOIF's condition to nothing; CALLIF compares it as written.
  EXPECT_EQ(Run("[Main]\r\nSET M=\r\nCALLIF %%U%%=%%U%%,Mark\r\nGOTOIF %%U%%=%%U%%,Mark\r\n"
                "[Mark]\r\nSET M=%%M%%+\r\n"),
            kResultOk);
  EXPECT_EQ(Var("M"), "+");
}

TEST_F(Engine, ReturnIfGivesItsValueWhenTheConditionHoldsAndGoesOnOtherwise) {
  const std::string check = "[Check]\r\nRETURNIF %%A%%=1, yes \r\nRETURN no\r\n";
  EXPECT_EQ(Run("[Main]\r\nSET A=1\r\nCALL R1=Check\r\nSET A=2\r\nCALL R2=Check\r\n" + check), kResultOk);
  EXPECT_EQ(Var("R1"), "yes");
  EXPECT_EQ(Var("R2"), "no");
}

TEST_F(Engine, AFalseReturnIfAsTheLastLineLeavesTheOutcomeTrue) {
  EXPECT_EQ(Run("[Main]\r\nCALL R=Check\r\n[Check]\r\nRETURNIF 1=2,x\r\n"), kResultOk);
  EXPECT_EQ(Var("R"), "TRUE");
}

TEST_F(Engine, ReturnIfReportsAMissingCommaAndAnUndefinedValue) {
  EXPECT_EQ(Execute("[Main]\r\nCALL Check\r\n[Check]\r\nRETURNIF 1=1\r\n"), kResultBadSwitch);
  EXPECT_TRUE(Logged(">>Line 4: RETURNIF 1=1\r\n"));
  EXPECT_EQ(Execute("[Main]\r\nCALL R=Check\r\n[Check]\r\nRETURNIF 1=1,%%U%%\r\n"), kResultSymbolNotFound);
  EXPECT_TRUE(Logged("Error: Specified symbol was not found.\n>>Line 4: RETURNIF 1=1,%%U%%\r\n"));
}

TEST_F(Engine, AFalseContinueIfDeepDownEndsTheScriptAsASuccess) {
  const std::string script =
      "[Main]\r\nSET FOUND=FALSE\r\nCALL A\r\nSET After=1\r\n"
      "[A]\r\nCALL B\r\n[B]\r\nCALL C\r\n[C]\r\nCONTINUEIF %%FOUND%%=TRUE\r\nSET InC=1\r\n";
  EXPECT_EQ(Execute(script), kResultOk);
  EXPECT_TRUE(Logged("Script: " + path_ + "  finished on a conditional stop: %%FOUND%%=TRUE. Line:10\r\n"));
  EXPECT_FALSE(Logged("Script finished successfully!!"));
  EXPECT_FALSE(Logged("SET After"));
  EXPECT_TRUE(Logged("Script: " + path_ + " closed.\r\n"));
  EXPECT_EQ(FinalStatusCode(), 0);

  EXPECT_EQ(Run("[Main]\r\nSET F=TRUE\r\nCONTINUEIF %%F%%=TRUE\r\nSET After=1\r\n"), kResultOk);
  EXPECT_EQ(Var("After"), "1");
}

TEST_F(Engine, ALaterReportReplacesTheFinalStatus) {
  EXPECT_EQ(Execute("[Main]\r\nSET X\r\n"), kResultNowhereToPutValue);
  EXPECT_EQ(Execute("[Main]\r\nNOPE\r\n"), kResultUnrecognizedCommand);
  EXPECT_EQ(StatusText(), "Kivrun Script: Unrecognized command in script file.<br>NOPE ");
}

TEST_F(Engine, ACodeWithoutARowIsReportedAsUnknownError) {
  ReportError(56, 9, "WHAT now");
  EXPECT_TRUE(Logged("Error: Unknown error\n>>Line 9: WHAT now\r\n"));
  EXPECT_EQ(StatusText(), "Kivrun Script: Unknown error<br>WHAT now");
  ReportError(53, 1, "x");
  EXPECT_TRUE(Logged("Error: Unknown error\n>>Line 1: x\r\n"));
  ReportError(41, 1, "y");
  EXPECT_TRUE(Logged("Error: Product verification error.\n>>Line 1: y\r\n"));
}

TEST_F(Engine, StatusMessagesComeFromTheMessageTable) {
  StatusMessage(kStringStoppingService, "McShield");
  StatusMessage(kStringClosingApplication, "scan.exe");
  EXPECT_TRUE(Logged(" Stopping service...McShield.\r\n"));
  EXPECT_TRUE(Logged(" Closing application...scan.exe.\r\n"));
}

// The stack the nesting tests run on. On Windows it is the one Kivrun.exe runs its script on:
// the main thread's reserve its header asks for, read from the program beside this one, so the
// bound is proven against what ships, on 32 bits as on 64. Natively the sanitizers' frames are
// several times the product's: a generous stack. 0 when the header cannot be read.
static size_t ScriptStack() {
#if defined(_WIN32)
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string program(path);
  program = program.substr(0, program.rfind('\\') + 1) + "Kivrun.exe";
  const std::string image = ReadWholeFile(program);
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS nt;
  if (image.size() < sizeof(dos)) return 0;
  std::memcpy(&dos, image.data(), sizeof(dos));
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) return 0;
  const size_t at = static_cast<size_t>(dos.e_lfanew);
  if (at > image.size() || image.size() - at < sizeof(nt)) return 0;
  std::memcpy(&nt, image.data() + at, sizeof(nt));
  if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return 0;
  return static_cast<size_t>(nt.OptionalHeader.SizeOfStackReserve);
#else
  return 512u << 20;
#endif
}

// GOTOIF loops nest one level per pass; the stack must hold them, and a runaway
// recursion must end with a result, not a crash.
TEST_F(Engine, AGotoIfLoopOf5000PassesRuns) {
  // A four-digit counter: Inc gives the next digit, the Carry sections ripple the carry.
  std::string script =
      "[Main]\r\nSET D1=0\r\nSET D2=0\r\nSET D3=0\r\nSET D4=0\r\nCALL Loop\r\n"
      "[Loop]\r\nSET D=%%D1%%\r\nCALL D1=Inc\r\nCALLIF %%D1%%=0,Carry2\r\n"
      "GOTOIF %%D4%%%%D3%%%%D2%%%%D1%%!=5000,Loop\r\n"
      "[Carry2]\r\nSET D=%%D2%%\r\nCALL D2=Inc\r\nCALLIF %%D2%%=0,Carry3\r\n"
      "[Carry3]\r\nSET D=%%D3%%\r\nCALL D3=Inc\r\nCALLIF %%D3%%=0,Carry4\r\n"
      "[Carry4]\r\nSET D=%%D4%%\r\nCALL D4=Inc\r\n"
      "[Inc]\r\n";
  for (int digit = 0; digit < 9; ++digit) {
    script += "RETURNIF %%D%%=" + std::to_string(digit) + "," + std::to_string(digit + 1) + "\r\n";
  }
  script += "RETURN 0\r\n";

  SetLogFile(kLogLevelStatus, "");  // some 50,000 lines: the log is not what this test is about
  const size_t stack = ScriptStack();
  ASSERT_NE(stack, 0u) << "the stack reserve is read from Kivrun.exe beside the tests";
  int result = -1;
  RunOnLargeStack(stack, [&] { result = Run(script); });
  EXPECT_EQ(result, kResultOk);
  EXPECT_EQ(Var("D4") + Var("D3") + Var("D2") + Var("D1"), "5000");
}

TEST_F(Engine, ARunawayRecursionEndsWith1AtTheNestingBound) {
  const size_t stack = ScriptStack();
  ASSERT_NE(stack, 0u) << "the stack reserve is read from Kivrun.exe beside the tests";
  int result = -1;
  RunOnLargeStack(stack, [&] { result = Execute("[Main]\r\nCALL Again\r\n[Again]\r\nCALL Again\r\n"); });
  EXPECT_EQ(result, kResultNoMemory);
  EXPECT_TRUE(Logged("Section nesting deeper than 10000 at line 4\r\n"));
  EXPECT_TRUE(Logged("Error: Memory allocation failed.\n>>Line 4: CALL Again\r\n"));
}
