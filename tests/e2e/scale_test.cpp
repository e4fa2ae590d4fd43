// Scripts far larger than any real update, and scripts saved in the wrong encoding.
#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(Scale, AMillionLineScriptLoadsAndRunsToItsEnd) {
  constexpr int kVariables = 20000, kSections = 3000, kLinesPerSection = 333;  // 1,005,002 lines
  constexpr DWORD kRunMs = 300000;  // about 30 s under Wine, the log's writes most of it
  // Main calls every section; each sets variables in turn, first to texts of their own, then
  // to the values of others. The values are followed here to know the last line's text.
  std::vector<std::string> values(kVariables);
  std::string main = "[Main]\r\n", sections;
  for (int s = 0, n = 0; s < kSections; ++s) {
    main += "CALL S" + std::to_string(s) + "\r\n";
    sections += "[S" + std::to_string(s) + "]\r\n";
    for (int i = 0; i < kLinesPerSection; ++i, ++n) {
      const int k = n % kVariables, from = static_cast<int>(n * 7919LL % kVariables);
      const std::string value = n < kVariables ? "v" + std::to_string(n) : "%%V" + std::to_string(from) + "%%";
      values[k] = n < kVariables ? value : values[from];
      sections += "SET V" + std::to_string(k) + "=" + value + "\r\n";
    }
  }
  const int last = kVariables - 1;
  main += "SET Last=%%V0%%,%%V" + std::to_string(last) + "%%\r\n";
  std::string script = WriteScript("scale.kiv", main + sections);
  std::string log = FreshLog("scale");
  EXPECT_EQ(RunProgram(BinFolder() + "Kivrun.exe", {"/Script=" + script, "/Section=Main", "/Log=" + log}, kRunMs), 0u);
  Remove(script);
  // The log is emptied whenever it passes 512 KiB; its last lines are still there.
  std::string text = ReadText(log);
  EXPECT_TRUE(Contains(text, "Executing line " + std::to_string(kSections + 2) + ": SET Last=" + values[0] + "," +
                                 values[last] + "\r\n"));
  EXPECT_TRUE(Contains(text, "Script finished successfully!!")) << text.substr(text.size() > 500 ? text.size() - 500 : 0);
}

TEST(Scale, AUtf16ScriptExits11AndTheHostHearsOfItWhileAUtf8MarkIsSkipped) {
  const std::string ansi = "[Main]\r\nSET A=1\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : ansi) utf16 += std::string{c, '\0'};
  std::string log = FreshLog("utf16");
  EXPECT_EQ(RunUnderHost({}, {"/Script=" + WriteScript("utf16.kiv", utf16), "/Section=Main", "/Log=" + log}),
            (std::vector<std::string>{"OnComplete(0x80004005, \"Kivrun Script: There is error occured, while "
                                      "reading the file.<br>Script is UTF-16 text: save it as ANSI\")",
                                      "exit 11"}));
  EXPECT_TRUE(Contains(ReadText(log), ">>Line 1: Script is UTF-16 text: save it as ANSI\r\n"));

  std::string marked = WriteScript("utf8.kiv", "\xEF\xBB\xBF" + ansi);
  EXPECT_EQ(RunKivrun({"/Script=" + marked, "/Section=Main", "/Log=" + FreshLog("utf8")}), 0u);
}
