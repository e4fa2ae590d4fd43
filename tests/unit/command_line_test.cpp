#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "host/host_text.h"
#include "engine/report.h"
#include "log/log.h"
#include "platform/final_status.h"

namespace {

const char* StepOne(const char* text) { return text + 1; }

std::vector<std::string> g_actions;
void OnParams(const char* value) { g_actions.push_back(std::string("Params:") + value); }
void OnParent(const char* value) { g_actions.push_back(std::string("Parent:") + value); }

StartupOptions Scan(const std::string& line) {
  g_actions.clear();
  static StartupOptions options;
  ScanOptions(line.c_str(), StepOne, OptionActions{OnParams, OnParent}, &options);
  return options;
}

std::string LogValue(const std::string& line) {
  char value[kLogValueChars];
  FindLogOption(line.c_str(), value, sizeof(value));
  return value;
}

// The texts are heap copies of exactly their length, so a read past the end is seen.
std::vector<char> HeapText(const char* text) { return std::vector<char>(text, text + std::strlen(text) + 1); }

std::string Decode(const char* hex) {
  unsigned char bytes[64];
  size_t count = DecodeHexText(HeapText(hex).data(), bytes, sizeof(bytes));
  return std::string(reinterpret_cast<char*>(bytes), count);
}

std::string Param(const char* params, const char* key, size_t size = 64) {
  std::string value(size, '?');
  FindParamValue(HeapText(params).data(), HeapText(key).data(), &value[0], size);
  return value.c_str();
}

}  // namespace

TEST(CommandLine, OptionsMatchInAnyCaseAndValuesAreTrimmed) {
  StartupOptions o = Scan("C:\\Kivrun.exe /script= a.kiv  /SECTION=Main /callback=0A0B /AppUtil=FF");
  EXPECT_EQ(o.action, StartupAction::kRun);
  EXPECT_STREQ(o.script, "a.kiv");
  EXPECT_STREQ(o.section, "Main");
  EXPECT_STREQ(o.callBack, "0A0B");
  EXPECT_STREQ(o.appUtil, "FF");
}

TEST(CommandLine, AValueEndsAtADashOrSlashAfterABlankOrBeforeAnOptionName) {
  const struct {
    const char* line;
    const char* script;
    const char* section;
    const char* log;
  } cases[] = {
      {"k.exe /Script=C:\\Updates\\up-date.kiv -Section=Main", "C:\\Updates\\up-date.kiv", "Main", ""},
      {"k.exe /Script=C:\\a/b-c.kiv /Section=Pre-Install /Log=C:\\my-logs\\k.log", "C:\\a/b-c.kiv",
       "Pre-Install", "C:\\my-logs\\k.log"},
      {"k.exe /Script=a.kiv/Section=Main-Log=x.log", "a.kiv", "Main", "x.log"},
      {"k.exe /Script=a.kiv-SECTION=Main/regserverx", "a.kiv", "Main", ""},
      {"k.exe /Script=a.kiv\t-x.kiv /Section=Main -date", "a.kiv", "Main", ""},
      {"k.exe /Script=C:\\x-log=y.log", "C:\\x", "", ""},
      {"k.exe /Script=C:\\x-Log=y.log", "C:\\x", "", "y.log"},
      {"k.exe /Script=-a-/-b-", "-a-/-b-", "", ""},
  };
  for (const auto& c : cases) {
    StartupOptions o = Scan(c.line);
    EXPECT_STREQ(o.script, c.script) << c.line;
    EXPECT_STREQ(o.section, c.section) << c.line;
    EXPECT_EQ(LogValue(c.line), c.log) << c.line;
  }
  EXPECT_EQ(Scan("k.exe /Script=C:\\x-RegServer").action, StartupAction::kRegServer);
}

TEST(CommandLine, ARepeatedOptionOverwritesAndUnknownWordsArePassedOver) {
  StartupOptions o = Scan("k.exe /Section=A /Bogus=1 /Section=B /junk /Script=s.kiv");
  EXPECT_STREQ(o.section, "B");
  EXPECT_STREQ(o.script, "s.kiv");
}

TEST(CommandLine, ValuesAreCutToTheirBuffers) {
  StartupOptions o = Scan("k.exe /Parent=" + std::string(40, '7') + " /Script=" + std::string(300, 's'));
  EXPECT_EQ(std::string(o.parent), std::string(31, '7'));
  EXPECT_EQ(std::string(o.script), std::string(259, 's'));
}

TEST(CommandLine, RegServerAndUnregServerCountOnlyAsTheLastWord) {
  EXPECT_EQ(Scan("k.exe /RegServer").action, StartupAction::kRegServer);
  EXPECT_EQ(Scan("k.exe -unregserver").action, StartupAction::kUnregServer);
  EXPECT_EQ(Scan("k.exe /RegServer ").action, StartupAction::kRun);
  EXPECT_EQ(Scan("k.exe /RegServer /Log=x.log").action, StartupAction::kRun);
  // Options before it are read; the scan ends there.
  StartupOptions o = Scan("k.exe /Section=Main /UnregServer");
  EXPECT_EQ(o.action, StartupAction::kUnregServer);
  EXPECT_STREQ(o.section, "Main");
}

TEST(CommandLine, ParamsAndParentAreActedOnAsTheScanMeetsThem) {
  Scan("k.exe /Parent=42 /Params=6162 /Script=x /Params=63");
  EXPECT_EQ(g_actions, (std::vector<std::string>{"Parent:42", "Params:6162", "Params:63"}));
}

TEST(CommandLine, LogIsFoundWithItsCaseAnywhereInTheLine) {
  EXPECT_EQ(LogValue("k.exe /Script=a /Log=C:\\x.log /Section=M"), "C:\\x.log");
  EXPECT_EQ(LogValue("k.exe /log=C:\\x.log"), "");
  EXPECT_EQ(LogValue("k.exe /Script=MyLog=y.log"), "y.log");  // anywhere, even inside another value
  EXPECT_EQ(LogValue("k.exe"), "");
  StartupOptions o = Scan("k.exe /Log=x.log");
  EXPECT_STREQ(o.script, "");  // the loop passes it over
}

TEST(HostText, HexPairsDecodeToBytesAndAnOddDigitIsDropped) {
  EXPECT_EQ(Decode("414243"), "ABC");
  EXPECT_EQ(Decode("6162a"), "ab");
  EXPECT_EQ(Decode("4g"), "\x04");    // a pair's leading digit
  EXPECT_EQ(Decode("g4"), std::string(1, '\0'));
  EXPECT_EQ(Decode(""), "");
  EXPECT_EQ(Decode("a"), "");
}

TEST(HostText, ParamLookupTakesTheFirstKeyWithEqualsAndQuote) {
  const char* params = "lang=\"en\" mode=\"silent\" uid=\"7\" id=\"8\"";
  EXPECT_EQ(Param(params, "mode"), "silent");
  EXPECT_EQ(Param(params, "Mode"), "");
  EXPECT_EQ(Param(params, "missing"), "");
  EXPECT_EQ(Param("a=\"open", "a"), "");
  EXPECT_EQ(Param("a=b a=\"c\"", "a"), "c");
  EXPECT_EQ(Param("k=\"abcdef\"", "k", 4), "abc");
}

TEST(HostText, ParamLookupMatchesOnlyWholeKeys) {
  const char* params = "uid=\"7\" id=\"8\" a.b=\"1\" x-y=\"2\" my_z=\"3\",z=\"4\"\ttab=\"5\" \xE9t=\"6\"";
  const struct {
    const char* key;
    const char* value;
  } cases[] = {{"uid", "7"}, {"id", "8"}, {"b", ""}, {"a.b", "1"}, {"y", ""},
               {"x-y", "2"}, {"z", "4"}, {"tab", "5"}, {"t", ""}};
  for (const auto& c : cases) EXPECT_EQ(Param(params, c.key), c.value) << c.key;
}

TEST(HostText, AnEmptyKeyOrATruncatedEntryAtTheEndGivesAnEmptyValue) {
  EXPECT_EQ(Param("", ""), "");
  EXPECT_EQ(Param("a=\"1\" =\"2\"", ""), "");
  for (const char* params : {"a=\"1\" k", "a=\"1\" k=", "a=\"1\" k=\"", "a=\"1\" k=\"2"}) {
    EXPECT_EQ(Param(params, "k"), "") << params;
  }
}

// The end of a run: an exit code that is not 0 reaches the host as a failure even when no
// line was reported, with the last error logged or else the exit code's message.
TEST(HostText, AFailedRunWithoutAReportEndsWithEFailAndItsCause) {
  const struct {
    int32_t status;
    const char* error;  // logged before the end, or nullptr
    int exitCode;
    int32_t hostStatus;
    const char* hostText;
  } cases[] = {
      {0, nullptr, 7, kStatusFailed, "Kivrun Script: Unable to find 'Main' section."},
      {3, "Error Loading Script File: C:\\x.kiv", 9, kStatusFailed, "Kivrun Script: Error Loading Script File: C:\\x.kiv"},
      {0, "Error: Nowhere to put value.\n>>Line 5: SET X", 4, kStatusFailed, "Kivrun Script: Nowhere to put value."},
      {-5, "Error Loading Script File: x", 9, -5, "Update failed"},
  };
  for (const auto& c : cases) {
    SetLogFile(kLogLevelStatus, "");  // no file, and no last error
    if (c.error != nullptr) LogError("%s", c.error);
    SetFinalStatus(c.status, c.status == 0 ? "" : "Update failed");
    ReportUnreportedFailure(c.exitCode);
    char text[kHostTextChars];
    FinalStatusText(text, sizeof(text));
    EXPECT_EQ(FinalStatusCode(), c.hostStatus) << c.exitCode;
    EXPECT_STREQ(text, c.hostText) << c.exitCode;
  }
  ResetFinalStatus();
}

TEST(CommandLine, JournalTakesAFolderAndRollbackIsAWordOfItsOwn) {
  StartupOptions o = Scan("Kivrun.exe /Journal=C:\\Agent\\journal /Script=up-date.kiv /rollback");
  EXPECT_STREQ(o.journal, "C:\\Agent\\journal");
  EXPECT_STREQ(o.script, "up-date.kiv");
  EXPECT_TRUE(o.rollback);
  // A value ends where /Rollback or /Journal= begins; a longer word is no Rollback.
  o = Scan("Kivrun.exe /Script=C:\\a/Journal=C:\\j/rollback-x /Rollbacks");
  EXPECT_STREQ(o.script, "C:\\a");
  EXPECT_STREQ(o.journal, "C:\\j");
  EXPECT_FALSE(o.rollback);
  o = Scan("Kivrun.exe /Script=a.kiv");
  EXPECT_STREQ(o.journal, "");
  EXPECT_FALSE(o.rollback);
}

TEST(CommandLine, WhatIfIsAWordAndItsAnswerAndPlanAreValues) {
  StartupOptions o = Scan("Kivrun.exe /Script=up-date.kiv /whatif /WhatIfAnswer=no /Plan=C:\\plan-1.json");
  EXPECT_TRUE(o.whatIf);
  EXPECT_STREQ(o.whatIfAnswer, "no");
  EXPECT_STREQ(o.plan, "C:\\plan-1.json");
  // A value ends where /WhatIf begins; a longer word is no WhatIf.
  o = Scan("Kivrun.exe /Script=C:\\a/WhatIf /WhatIfs");
  EXPECT_STREQ(o.script, "C:\\a");
  EXPECT_TRUE(o.whatIf);
  o = Scan("Kivrun.exe /Script=a.kiv /WhatIfs");
  EXPECT_FALSE(o.whatIf);
}
