#include <gtest/gtest.h>

#include <string>

#include "platform/change_line.h"
#include "platform/plan_state.h"
#include "platform/what_if_plan.h"

namespace {

PlanOrigin At(uint32_t line) {
  PlanOrigin origin;
  origin.line = line;
  origin.command = "TEST";
  return origin;
}

}  // namespace

TEST(PlanState, AKeyDeletedTakesItsPlannedKeysAndValuesAlong) {
  ClearPlannedState();
  PlanRegKey(1, "Software\\Vorna\\Scan", true, At(1));
  PlannedRegValue value;
  value.exists = true;
  value.data = "5.4";
  PlanRegValue(1, "Software\\Vorna\\Scan", "Engine", value);
  ASSERT_NE(PlannedRegKeyAt(1, "SOFTWARE\\vorna\\scan"), nullptr);  // without regard to case
  EXPECT_EQ(PlannedRegValueAt(1, "software\\vorna\\scan", "ENGINE")->data, "5.4");
  EXPECT_EQ(PlannedChildrenOf(1, "Software\\Vorna").size(), 1u);

  PlanRegKey(1, "Software\\Vorna", false, At(2));
  for (const char* key : {"Software\\Vorna", "Software\\Vorna\\Scan", "Software\\Vorna\\Scan\\Deeper"}) {
    ASSERT_NE(PlannedRegKeyAt(1, key), nullptr) << key;
    EXPECT_FALSE(PlannedRegKeyAt(1, key)->exists) << key;
    EXPECT_EQ(PlannedRegKeyAt(1, key)->origin.line, 2u) << key;
  }
  EXPECT_FALSE(PlannedRegValueAt(1, "Software\\Vorna\\Scan", "Engine")->exists);
  EXPECT_EQ(PlannedRegKeyAt(1, "Software\\VornaOther"), nullptr);  // a sibling that only begins alike
  EXPECT_EQ(PlannedRegKeyAt(2, "Software\\Vorna"), nullptr);       // another root

  PlanRegKey(1, "Software\\Vorna\\Scan", true, At(3));
  EXPECT_TRUE(PlannedRegKeyAt(1, "Software\\Vorna\\Scan")->exists);
  EXPECT_EQ(PlannedRegValueAt(1, "Software\\Vorna\\Scan", "Engine"), nullptr);  // untouched since: the machine's
}

TEST(PlanState, IniTextIsReadAndWrittenAsTheProfileFunctionsDo) {
  const std::string text = "[Main]\r\nVersion = 5.4 \r\nQuoted=\"a b\"\r\n\r\n[Other]\r\nVersion=1";
  struct Read {
    const char* section;
    const char* key;
    bool found;
    const char* value;
  };
  for (const Read& read : {Read{"main", "VERSION", true, "5.4"}, Read{"Main", "Quoted", true, "a b"},
                           Read{"Other", "Version", true, "1"}, Read{"Main", "Missing", false, ""},
                           Read{"Missing", "Version", false, ""}}) {
    std::string value;
    EXPECT_EQ(IniTextValue(text, read.section, read.key, &value), read.found) << read.section << " " << read.key;
    EXPECT_EQ(value, read.value) << read.section << " " << read.key;
  }
  struct Write {
    const char* section;
    const char* key;
    const char* expected;
  };
  for (const Write& write : {
           Write{"MAIN", "version", "[Main]\r\nversion=6\r\nQuoted=\"a b\"\r\n\r\n[Other]\r\nVersion=1"},
           Write{"Other", "Added", "[Main]\r\nVersion = 5.4 \r\nQuoted=\"a b\"\r\n\r\n[Other]\r\nVersion=1\r\nAdded=6\r\n"},
           Write{"New", "Key", "[Main]\r\nVersion = 5.4 \r\nQuoted=\"a b\"\r\n\r\n[Other]\r\nVersion=1\r\n[New]\r\nKey=6\r\n"},
       }) {
    EXPECT_EQ(WithIniValue(text, write.section, write.key, "6"), write.expected) << write.section << " " << write.key;
  }
  EXPECT_EQ(WithIniValue("", "S", "K", "v"), "[S]\r\nK=v\r\n");
}

TEST(WhatIfPlan, EntriesAfterAnAssumptionAreForecastsAndTheJsonCountsChanges) {
  StartPlan();
  SetChangeLine(2, "SETREGVALUE");
  AddPlanEntry(PlanKind::kRegistryValue, "HKLM\\Software\\Vorna,Engine", "", "'5.4'", "Would set it");
  SetChangeLine(3, "GETREGVALUE", true);
  AssumeFromNextLine(2, "SETREGVALUE");
  AddPlanEntry(PlanKind::kRegistryValue, "same line", "", "", "Would set it again");
  SetChangeLine(4, "YESNO");
  AddPlanEntry(PlanKind::kQuestion, "Vorna", "", "Yes", "Would ask 'Go on?'");
  SetChangeLine(5, "COPYONEFILE");
  AddPlanEntry(PlanKind::kFile, "C:\\a \"b\".dll", "", "", "Would copy it");
  SetChangeLine(6, "RUNWAIT");
  AssumeFromNextLine(6, "RUNWAIT");  // its own line still rests on the earlier assumption
  AddPlanEntry(PlanKind::kProgram, "setup.exe", "", "", "Would start setup.exe");

  const auto& entries = PlanEntries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[1].assumes, "");  // the line that read the planned value is itself certain
  EXPECT_EQ(entries[3].assumes, "SETREGVALUE of line 2");
  EXPECT_EQ(PlanLogLine(entries[3]), "Line 5 COPYONEFILE: Would copy it [then: assumes SETREGVALUE of line 2 took effect]");
  EXPECT_EQ(entries[4].assumes, "SETREGVALUE of line 2");
  EXPECT_EQ(PlannedChangeCount(), 4u);  // a question changes nothing
  EXPECT_EQ(ForecastChangeCount(), 2u);
  const std::string json = PlanJson("C:\\up.kiv", "Main", 0);
  EXPECT_NE(json.find("\"changes\": 4,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"target\": \"C:\\\\a \\\"b\\\".dll\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"kind\": \"question\", \"change\": false"), std::string::npos) << json;
  EXPECT_NE(json.find("\"certainty\": \"forecast\", \"assumes\": \"SETREGVALUE of line 2\""), std::string::npos) << json;
}
