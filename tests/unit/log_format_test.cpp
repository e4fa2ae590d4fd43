#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log/log.h"
#include "test_support.h"

namespace {
LogStamp Stamp(const char* module, unsigned long pid) {
  LogStamp stamp = {};
  stamp.month = 3;
  stamp.day = 7;
  stamp.hour = 9;
  stamp.minute = 5;
  stamp.processId = pid;
  std::strcpy(stamp.module, module);
  return stamp;
}

std::string Line(const LogStamp& stamp, const char* text) {
  char line[kLogLineBytes + 1];
  size_t length = FormatLogLine(line, stamp, text);
  return std::string(line, length);
}
}  // namespace

TEST(LogLineFormat, PrefixFieldsAreZeroPaddedAndTheModuleRightAligned) {
  EXPECT_EQ(Line(Stamp("Kivrun", 420), "hello"), "03-07 09:05   Kivrun:1a4 hello\r\n");
  EXPECT_EQ(Line(Stamp("a", 44), "x"), "03-07 09:05        a:02c x\r\n");
  EXPECT_EQ(Line(Stamp("Kivrun", 0x12345), "x"), "03-07 09:05   Kivrun:12345 x\r\n");
}

TEST(LogLineFormat, ALongModuleNameIsWrittenWholeAndShiftsTheLine) {
  EXPECT_EQ(Line(Stamp("averylongname", 1), "x"), "03-07 09:05 averylongname:001 x\r\n");
}

TEST(LogLineFormat, ALineFeedInsideTheMessageIsKeptBare) {
  EXPECT_EQ(Line(Stamp("k", 1), "Error: a\n>>Line 5: SET X"),
            "03-07 09:05        k:001 Error: a\n>>Line 5: SET X\r\n");
}

TEST(LogLineFormat, ALineLongerThan3072BytesHasItsTextCutAndKeepsItsLineEnd) {
  const size_t room = kLogLineBytes - Line(Stamp("Kivrun", 1), "").size();  // the text that just fits
  for (size_t length : {room, room + 1, size_t{3071}}) {
    std::string line = Line(Stamp("Kivrun", 1), std::string(length, 'm').c_str());
    EXPECT_EQ(line.size(), kLogLineBytes) << length;
    EXPECT_EQ(line.substr(line.size() - 3), "m\r\n") << length;
  }
}

TEST(LogModuleName, IsTheFileNameCutAtItsFirstDot) {
  char name[260];
  ModuleNameFromPath("C:\\Program Files\\x.y\\a.b.exe", name, sizeof(name));
  EXPECT_STREQ(name, "a");
  ModuleNameFromPath("Kivrun.exe", name, sizeof(name));
  EXPECT_STREQ(name, "Kivrun");
  ModuleNameFromPath("C:\\dir\\noext", name, sizeof(name));
  EXPECT_STREQ(name, "noext");
}

TEST(LogWriter, WritesNothingForAnEmptyMessageABelowThresholdLevelOrAnEmptyPath) {
  LogRecorder recorder;
  LogStatus("%s", "");
  EXPECT_EQ(recorder.Text(), "");

  std::string path = TempPath("threshold.log");
  RemoveFile(path);
  SetLogFile(kLogLevelError, path.c_str());
  LogStatus("status below the error threshold");
  SetLogFile(kLogLevelStatus, "");
  LogError("no path at all");
  EXPECT_EQ(recorder.Text(), "");
  EXPECT_EQ(ReadWholeFile(path), "");
}

TEST(LogWriter, BothLevelsAreWrittenAtThresholdOneWithoutALevelMarker) {
  LogRecorder recorder;
  LogStatus("status %d", 1);
  LogError("error %s", "two");
  std::string text = recorder.Text();
  EXPECT_NE(text.find(" status 1\r\n"), std::string::npos);
  EXPECT_NE(text.find(" error two\r\n"), std::string::npos);
}

TEST(LogWriter, AMessageOf5000CharactersIsCutToFitTheLineAndItsLineEnd) {
  LogRecorder recorder;
  std::string message(4990, 'a');
  message += "0123456789";
  LogStatus("%s", message.c_str());
  LogStatus("next");
  std::string text = recorder.Text();
  size_t end = text.find("\r\n");
  ASSERT_EQ(end + 2, kLogLineBytes);
  size_t start = text.find(' ', text.find(':', 12)) + 1;  // after the process id
  EXPECT_EQ(text.substr(start, end - start), std::string(end - start, 'a'));
  EXPECT_EQ(text.substr(text.size() - 6), "next\r\n");
  EXPECT_EQ(text[kLogLineBytes + 2], '-');  // the next line starts afresh: "MM-DD"
}

TEST(LogWriter, KeepsTheFirstLineOfTheLastErrorEvenWithoutALogFile) {
  SetLogFile(kLogLevelStatus, "");
  LogError("Error: %s\n>>Line %u: %s", "Nowhere to put value.", 5u, "SET X");
  LogStatus("status lines leave it");
  EXPECT_STREQ(LastLogError(), "Error: Nowhere to put value.");
  LogError("%s", std::string(kLogLastErrorChars + 10, 'e').c_str());
  EXPECT_EQ(std::string(LastLogError()), std::string(kLogLastErrorChars - 1, 'e'));
  SetLogFile(kLogLevelStatus, "");
  EXPECT_STREQ(LastLogError(), "");
}
