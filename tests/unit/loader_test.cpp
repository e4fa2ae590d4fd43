#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/command_forms.h"
#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/result_codes.h"
#include "platform/final_status.h"
#include "platform/heap.h"
#include "test_support.h"

namespace {

// A parsed script, closed again when the test ends.
struct Loaded {
  int result = -1;
  ScriptContext* context = nullptr;
  ~Loaded() { ScriptClose(context); }

  ScriptSection* Section(uint32_t index) const {
    return RecordFromLinks<ScriptSection>(RecordListAt(context->sections, index));
  }
  ScriptLine* Line(uint32_t section, uint32_t index) const {
    return RecordFromLinks<ScriptLine>(RecordListAt(Section(section)->lines, index));
  }
  uint32_t Sections() const { return RecordListCount(context->sections); }
  uint32_t Lines(uint32_t section) const { return RecordListCount(Section(section)->lines); }
};

void Load(Loaded& loaded, const std::string& text, const char* start = "Main") {
  std::string path = WriteTempFile("loader.kiv", text);
  loaded.result = ScriptOpen(path.c_str(), start, "C:\\scripts", &loaded.context);
}

}  // namespace

TEST(Loader, ReadsSectionsAndLinesWithTheirNumbersWordsAndArguments) {
  Loaded s;
  Load(s, "; update script\r\n\r\n[Main]\r\n  SET A=1\r\n\tcall Sub\r\n[Sub]\r\nRETURN  x y  \r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Sections(), 2u);
  EXPECT_STREQ(s.Section(0)->name, "Main");
  EXPECT_STREQ(s.Section(1)->name, "Sub");
  ASSERT_EQ(s.Lines(0), 2u);
  EXPECT_EQ(s.Line(0, 0)->lineNumber, 4u);
  EXPECT_EQ(s.Line(0, 0)->opcode, kOpSet);
  EXPECT_STREQ(s.Line(0, 0)->commandWord, "SET");
  EXPECT_STREQ(s.Line(0, 0)->argumentText, "A=1");
  EXPECT_EQ(s.Line(0, 1)->lineNumber, 5u);
  EXPECT_EQ(s.Line(0, 1)->opcode, kOpCall);
  EXPECT_STREQ(s.Line(0, 1)->commandWord, "call");
  EXPECT_STREQ(s.Line(1, 0)->argumentText, "x y");
  EXPECT_EQ(s.Line(1, 0)->lineNumber, 7u);
  EXPECT_STREQ(s.context->scriptDir, "C:\\scripts");
  EXPECT_EQ(s.context->currentSection, s.Section(1));  // the last section parsed
}

TEST(Loader, CommentsAreRecognisedOnlyWhereALineCanBegin) {
  Loaded s;
  Load(s, "[Main] ; the start\r\nSET A=1 ; note\r\n  ; SET B=2\r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Lines(0), 1u);
  EXPECT_STREQ(s.Line(0, 0)->argumentText, "A=1 ; note");
}

TEST(Loader, ACommandAfterTheHeaderOnTheSameLineBelongsToTheNewSection) {
  Loaded s;
  Load(s, "[Main] SET A=1\r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Lines(0), 1u);
  EXPECT_EQ(s.Line(0, 0)->opcode, kOpSet);
  EXPECT_STREQ(s.Line(0, 0)->argumentText, "A=1");
}

TEST(Loader, SectionNamesKeepTheirBlanksAndTheFirstOfTwoEqualNamesIsFound) {
  Loaded s;
  Load(s, "[ Main ]\r\nSET A=1\r\n[Main]\r\nSET B=1\r\n[Main]\r\nSET C=1\r\n");
  ASSERT_EQ(s.result, kResultOk);
  EXPECT_STREQ(s.Section(0)->name, " Main ");
  EXPECT_EQ(FindSection(s.context->sections, "Main"), s.Section(1));
  EXPECT_EQ(FindSection(s.context->sections, "main"), nullptr);
  EXPECT_STREQ(s.Line(2, 0)->argumentText, "C=1");  // parsed, though never reachable

  // Among many sections, each name twice, the first of each is still the one found.
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "[S" + std::to_string(i % 500) + "]\r\n";
  Loaded many;
  Load(many, text, "S0");
  ASSERT_EQ(many.result, kResultOk);
  for (uint32_t i = 0; i < 500; ++i) ASSERT_EQ(FindSection(many.context->sections, many.Section(i)->name), many.Section(i));
}

TEST(Loader, AUtf8MarkIsSkippedAndUtf16TextIsRefusedWith11) {
  const std::string ansi = "[Main]\r\nSET A=1\r\n";
  std::string littleEndian, bigEndian;
  for (char c : ansi) {
    littleEndian += std::string{c, '\0'};
    bigEndian += std::string{'\0', c};
  }
  const struct {
    const char* name;
    std::string bytes;
    bool refused;
  } cases[] = {{"plain", ansi, false},
               {"UTF-8 mark", "\xEF\xBB\xBF" + ansi, false},
               {"UTF-16LE mark", "\xFF\xFE" + littleEndian, true},
               {"UTF-16BE mark", "\xFE\xFF" + bigEndian, true},
               {"UTF-16LE without mark", littleEndian, true},
               {"UTF-16BE without mark", bigEndian, true}};
  for (const auto& c : cases) {
    ResetFinalStatus();
    LogRecorder log;
    Loaded s;
    Load(s, c.bytes);
    ASSERT_EQ(s.result, c.refused ? kResultReadFailed : kResultOk) << c.name;
    EXPECT_EQ(log.Contains(">>Line 1: Script is UTF-16 text: save it as ANSI\r\n"), c.refused) << c.name;
    EXPECT_EQ(FinalStatusCode(), c.refused ? kStatusFailed : 0) << c.name;
    if (!c.refused) {
      EXPECT_EQ(s.Line(0, 0)->lineNumber, 2u) << c.name;
    }
  }
  ResetFinalStatus();
}

TEST(Loader, KeywordsAreCaseInsensitiveAndOtherWordsGetOpcodeZero) {
  Loaded s;
  Load(s, "[Main]\r\ncopyfiles A\r\nCopyFiles B\r\nFOO a b\r\n=A=1\r\n%%X%%\r\nSET=A=1\r\nSETX 1\r\n");
  ASSERT_EQ(s.result, kResultOk);
  EXPECT_EQ(s.Line(0, 0)->opcode, kOpCopyFiles);
  EXPECT_STREQ(s.Line(0, 0)->commandWord, "copyfiles");
  EXPECT_EQ(s.Line(0, 1)->opcode, kOpCopyFiles);
  EXPECT_STREQ(s.Line(0, 1)->commandWord, "CopyFiles");
  EXPECT_EQ(s.Line(0, 2)->opcode, kOpNone);
  EXPECT_STREQ(s.Line(0, 2)->argumentText, "a b");
  EXPECT_EQ(s.Line(0, 3)->opcode, kOpNone);
  EXPECT_STREQ(s.Line(0, 3)->commandWord, "");
  EXPECT_STREQ(s.Line(0, 3)->argumentText, "=A=1");
  EXPECT_STREQ(s.Line(0, 4)->argumentText, "%%X%%");
  EXPECT_EQ(s.Line(0, 5)->opcode, kOpSet);
  EXPECT_STREQ(s.Line(0, 5)->argumentText, "=A=1");
  EXPECT_EQ(s.Line(0, 6)->opcode, kOpNone);
}

TEST(Loader, AnArgumentTextIsCutAt260AndTheRestOfTheLineReadsAsANewLine) {
  // The separator blank and 259 "x" make the 260 bytes read; the 261st byte ("#") is
  // skipped and the rest of the physical line is read as a line of its own.
  std::string argument(259, 'x');
  Loaded s;
  Load(s, "[Main]\r\nSET " + argument + "#RUN tail\r\nSET B=1\r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Lines(0), 3u);
  EXPECT_EQ(std::string(s.Line(0, 0)->argumentText), argument);
  EXPECT_EQ(s.Line(0, 1)->opcode, kOpRun);
  EXPECT_STREQ(s.Line(0, 1)->argumentText, "tail");
  EXPECT_EQ(s.Line(0, 1)->lineNumber, 2u);
  EXPECT_EQ(s.Line(0, 2)->lineNumber, 3u);
}

TEST(Loader, AHeaderWithoutBracketTakes200BytesAndSkipsTheNext) {
  std::string body = "Main\r\nSET A=1\r\n" + std::string(300, 'n');
  Loaded s;
  Load(s, "[" + body + "\r\n[Main]\r\nSET B=1\r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Sections(), 2u);
  EXPECT_EQ(std::string(s.Section(0)->name), body.substr(0, 200));
  // The 201st byte is skipped; the rest of the run is a command line of that section.
  ASSERT_EQ(s.Lines(0), 1u);
  EXPECT_EQ(std::string(s.Line(0, 0)->commandWord), std::string(64, 'n'));
  EXPECT_EQ(s.Line(0, 0)->lineNumber, 1u);  // the line feeds inside the name were not counted
  EXPECT_EQ(s.Line(1, 0)->lineNumber, 3u);
}

TEST(Loader, BareLineFeedsDoNotEndAnArgumentText) {
  Loaded s;
  Load(s, "[Main]\nSET A=1\nSET B=2\r\nSET C=3\r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Lines(0), 2u);
  EXPECT_STREQ(s.Line(0, 0)->argumentText, "A=1\nSET B=2");
  EXPECT_EQ(s.Line(0, 0)->lineNumber, 2u);
  EXPECT_EQ(s.Line(0, 1)->lineNumber, 3u);  // only the LF after the CR was counted
}

TEST(Loader, ALastLineWithoutCarriageReturnAndANulByteEndTheText) {
  Loaded last;
  Load(last, "[Main]\r\nSET A=1");
  ASSERT_EQ(last.result, kResultOk);
  EXPECT_STREQ(last.Line(0, 0)->argumentText, "A=1");

  Loaded nul;
  Load(nul, std::string("[Main]\r\nSET A=1\r\n") + '\0' + "SET B=2\r\n");
  ASSERT_EQ(nul.result, kResultOk);
  EXPECT_EQ(nul.Lines(0), 1u);

  Loaded header;
  Load(header, "[Main]\r\nSET A=1\r\n[");
  ASSERT_EQ(header.result, kResultOk);
  EXPECT_EQ(header.Sections(), 2u);
}

TEST(Loader, AWordLongerThanTheWordBufferIsStoredCutWithOpcodeZero) {
  Loaded s;
  Load(s, "[Main]\r\n" + std::string(400, 'S') + " rest\r\n");
  ASSERT_EQ(s.result, kResultOk);
  ASSERT_EQ(s.Lines(0), 1u);
  EXPECT_EQ(s.Line(0, 0)->opcode, kOpNone);
  EXPECT_EQ(std::string(s.Line(0, 0)->commandWord).size(), 64u);
  EXPECT_STREQ(s.Line(0, 0)->argumentText, "rest");
}

TEST(Loader, ACommandBeforeTheFirstSectionIsRejected) {
  LogRecorder log;
  Loaded s;
  Load(s, "; header\r\nSET A=1\r\n[Main]\r\n");
  EXPECT_EQ(s.result, kResultNoMemory);
  EXPECT_EQ(s.context, nullptr);
  EXPECT_TRUE(log.Contains("Command outside of any section at line 2\r\n"));
}

TEST(Loader, AMissingStartSectionGives7AndNoStartSectionRunsNothing) {
  Loaded comments;
  Load(comments, "; only comments\r\n\r\n   \r\n");
  EXPECT_EQ(comments.result, kResultStartSectionNotFound);
  EXPECT_EQ(comments.context, nullptr);

  Loaded other;
  Load(other, "[Main]\r\nSET A=1\r\n", "DefaultInstall");
  EXPECT_EQ(other.result, kResultStartSectionNotFound);

  Loaded unnamed;
  Load(unnamed, "[Main]\r\nSET A=1\r\n", nullptr);
  EXPECT_EQ(unnamed.result, kResultOk);
  EXPECT_EQ(unnamed.context, nullptr);
}

TEST(Loader, LogsItsStepsAndTheLoadFailures) {
  LogRecorder log;
  std::string path = WriteTempFile("steps.kiv", "[Main]\r\n");
  ScriptContext* context = nullptr;
  ASSERT_EQ(ScriptOpen(path.c_str(), "Main", "", &context), kResultOk);
  ScriptClose(context);
  std::string text = log.Text();
  size_t open = text.find("Executing ScriptOpen()\r\n");
  size_t loading = text.find("Loading and parsing script file : " + path + "\r\n");
  size_t load = text.find("Executing LoadScript()\r\n");
  size_t parse = text.find("Executing ParseScript()\r\n");
  ASSERT_NE(parse, std::string::npos);
  EXPECT_LT(open, loading);
  EXPECT_LT(loading, load);
  EXPECT_LT(load, parse);

  std::string missing = TempPath("no-such-script.kiv");
  EXPECT_EQ(ScriptOpen(missing.c_str(), "Main", "", &context), kResultCannotOpenFile);
  EXPECT_TRUE(log.Contains("Error Loading Script File: " + missing + "\r\n"));

  std::string empty = WriteTempFile("empty.kiv", "");
  EXPECT_EQ(ScriptOpen(empty.c_str(), "Main", "", &context), kResultEmptyFile);
  EXPECT_TRUE(log.Contains("Error Loading Script File: " + empty + "\r\n"));
  EXPECT_EQ(context, nullptr);
}

TEST(Loader, EveryAllocationFailureGives1AndLeavesNothingBehind) {
  std::string path = WriteTempFile("alloc.kiv", "[Main]\r\nSET A=1\r\n[Sub]\r\nRETURN 1\r\n");
  const size_t baseline = HeapBlockUsage().liveBlocks;
  bool succeeded = false;
  std::set<std::string> reported;  // the lines whose record could not be allocated
  for (long allowed = 0; allowed < 40 && !succeeded; ++allowed) {
    ResetFinalStatus();
    LogRecorder log;
    HeapBlockFailAfter(allowed);
    ScriptContext* context = nullptr;
    int result = ScriptOpen(path.c_str(), "Main", "", &context);
    HeapBlockFailAfter(-1);
    if (result == kResultOk) {
      succeeded = true;
      ASSERT_NE(context, nullptr);
      ScriptClose(context);
    } else {
      EXPECT_EQ(result, kResultNoMemory) << "after " << allowed << " allocations";
      EXPECT_EQ(context, nullptr);
      const std::string text = log.Text(), error = "Error: Memory allocation failed.\n>>";
      const size_t at = text.find(error);
      if (at != std::string::npos) {
        const size_t from = at + error.size();
        reported.insert(text.substr(from, text.find("\r\n", from) - from));
        EXPECT_EQ(FinalStatusCode(), kStatusFailed) << "after " << allowed << " allocations";
      }
    }
    EXPECT_EQ(HeapBlockUsage().liveBlocks, baseline) << "after " << allowed << " allocations";
  }
  EXPECT_TRUE(succeeded);
  // A record that cannot be had is reported with the line it was for.
  EXPECT_EQ(reported, (std::set<std::string>{"Line 1: [Main]", "Line 2: SET A=1", "Line 3: [Sub]", "Line 4: RETURN 1"}));
  ResetFinalStatus();
}

TEST(KeywordTable, Holds79KeywordsWithEveryOpcodeOnce) {
  std::vector<int> seen(80, 0);
  for (const CommandRow& row : CommandTable) {
    ASSERT_GE(row.opcode, 1);
    ASSERT_LE(row.opcode, 79);
    seen[row.opcode] += 1;
    EXPECT_EQ(LookupKeyword(row.keyword), row.opcode) << row.keyword;
    EXPECT_EQ(CommandRowOf(row.opcode), &row) << row.keyword;
  }
  for (int opcode = 1; opcode <= 79; ++opcode) EXPECT_EQ(seen[opcode], 1) << opcode;
  EXPECT_EQ(LookupKeyword("SETINIFILEVALUE"), kOpSetIniFileValue);
  EXPECT_EQ(LookupKeyword("SETWORKDIR"), kOpSetWorkDir);
  EXPECT_EQ(LookupKeyword(""), kOpNone);
  EXPECT_EQ(LookupKeyword("set"), kOpNone);  // the parser upper-cases before the lookup
}

#if !defined(_WIN32)
// A kernel attribute file claims 4096 bytes and delivers a few: the read falls short.
TEST(Loader, AFileThatDeliversFewerBytesThanItsSizeGives11) {
  const char* path = "/sys/devices/system/cpu/online";
  if (ReadWholeFile(path).empty()) GTEST_SKIP() << "no sysfs here";
  LogRecorder log;
  ScriptContext* context = nullptr;
  EXPECT_EQ(ScriptOpen(path, "Main", "", &context), kResultReadFailed);
  EXPECT_TRUE(log.Contains(std::string("Error Loading Script File: ") + path + "\r\n"));
}
#endif
