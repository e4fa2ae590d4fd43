#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/host_text.h"

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

TEST(CommandLine, AValueEndsAtTheFirstDashOrSlashAndTheRestIsPassedOver) {
  StartupOptions o = Scan("k.exe /Script=C:\\Temp\\up-date.kiv -Section=Main");
  EXPECT_STREQ(o.script, "C:\\Temp\\up");
  EXPECT_STREQ(o.section, "Main");
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
  EXPECT_EQ(Param(params, "id"), "7");  // the tail of uid comes first
  EXPECT_EQ(Param(params, "Mode"), "");
  EXPECT_EQ(Param(params, "missing"), "");
  EXPECT_EQ(Param("a=\"open", "a"), "");
  EXPECT_EQ(Param("a=b a=\"c\"", "a"), "c");
  EXPECT_EQ(Param("k=\"abcdef\"", "k", 4), "abc");
}

TEST(HostText, AnEmptyKeyOrATruncatedEntryAtTheEndGivesAnEmptyValue) {
  EXPECT_EQ(Param("", ""), "");
  EXPECT_EQ(Param("a=\"1\" =\"2\"", ""), "");
  for (const char* params : {"a=\"1\" k", "a=\"1\" k=", "a=\"1\" k=\"", "a=\"1\" k=\"2"}) {
    EXPECT_EQ(Param(params, "k"), "") << params;
  }
}
