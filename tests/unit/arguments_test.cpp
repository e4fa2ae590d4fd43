#include <gtest/gtest.h>

#include <string>

#include "engine/arguments.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"

namespace {

std::string Trimmed(std::string text) {
  TrimText(&text[0]);
  return text.c_str();
}

struct Assignment {
  int result;
  std::string name, value;
};

Assignment Split(const char* text, size_t nameSize = 260, size_t valueSize = 1024) {
  std::string name(nameSize, '?'), value(valueSize, '?');
  int result = SplitAssignment(text, &name[0], nameSize, &value[0], valueSize);
  return {result, name.c_str(), value.c_str()};
}

class Conditions : public ::testing::Test {
 protected:
  void SetUp() override { context_.symbols = SymbolTableCreate(); }
  void TearDown() override { SymbolTableFree(context_.symbols); }
  void Set(const char* name, const char* value) { SymbolSet(context_.symbols, name, value); }
  bool Holds(const char* condition) { return EvaluateCondition(&context_, condition) == 1; }
  ScriptContext context_ = {};
};

}  // namespace

TEST(TrimText, RemovesBlanksAndTabsInFrontAndLineEndsBehind) {
  EXPECT_EQ(Trimmed(" \t a b \t\r\n"), "a b");
  EXPECT_EQ(Trimmed("\r\na"), "\r\na");  // line ends are only removed at the end
  EXPECT_EQ(Trimmed(""), "");
  EXPECT_EQ(Trimmed(" \t "), "");
}

TEST(SplitAssignment, SplitsAtTheFirstEqualsSignAndTrimsBothSides) {
  Assignment a = Split(" A = x y ");
  EXPECT_EQ(a.result, kResultOk);
  EXPECT_EQ(a.name, "A");
  EXPECT_EQ(a.value, "x y");
  EXPECT_EQ(Split("A=B=C").value, "B=C");
  EXPECT_EQ(Split("NAME=").value, "");
  Assignment empty = Split("=VALUE");
  EXPECT_EQ(empty.result, kResultOk);
  EXPECT_EQ(empty.name, "");
  EXPECT_EQ(empty.value, "VALUE");
}

TEST(SplitAssignment, GivesNowhereToPutWithoutEqualsOrWithALongNameAndNoValueWhenTheValueIsTooLong) {
  EXPECT_EQ(Split("NAME").result, kResultNowhereToPutValue);
  EXPECT_EQ(Split("").result, kResultNowhereToPutValue);
  EXPECT_EQ(Split("ABCD=1", 4).result, kResultNowhereToPutValue);
  EXPECT_EQ(Split("ABC=1", 4).result, kResultOk);
  EXPECT_EQ(Split("A=1234", 260, 4).result, kResultNoValueToSet);
  EXPECT_EQ(Split("A=123", 260, 4).result, kResultOk);
}

TEST(NextField, ReadsTrimmedFieldsUpToTheSeparator) {
  char field[8];
  const char* p = NextField(" a ,, b,", field, sizeof(field), ',');
  EXPECT_STREQ(field, "a");
  p = NextField(p, field, sizeof(field), ',');
  EXPECT_STREQ(field, "");
  p = NextField(p, field, sizeof(field), ',');
  EXPECT_STREQ(field, "b");
  EXPECT_EQ(NextField(p, field, sizeof(field), ','), nullptr);
  EXPECT_EQ(NextField("", field, sizeof(field), ','), nullptr);
}

TEST(NextField, AFieldTooLongEndsWhereItWasCutAndTheNextBeginsThere) {
  char field[4];
  const char* p = NextField("abcdef,g", field, sizeof(field), ',');
  EXPECT_STREQ(field, "abc");
  p = NextField(p, field, sizeof(field), ',');
  EXPECT_STREQ(field, "def");
  NextField(p, field, sizeof(field), ',');
  EXPECT_STREQ(field, "g");
}

TEST(ParseClause, FindsTheOperatorAtTheFirstOperatorCharacter) {
  char left[260], op[3], right[260];
  ASSERT_EQ(ParseClause(" a b >= 4.1 ", left, op, right), kResultOk);
  EXPECT_STREQ(left, "a b");
  EXPECT_STREQ(op, ">=");
  EXPECT_STREQ(right, "4.1");
  ASSERT_EQ(ParseClause("A=>B", left, op, right), kResultOk);
  EXPECT_STREQ(op, "=");
  EXPECT_STREQ(right, ">B");
  ASSERT_EQ(ParseClause("A=", left, op, right), kResultOk);
  EXPECT_STREQ(right, "");
  EXPECT_EQ(ParseClause("", left, op, right), kResultInvalidReturn);
  EXPECT_EQ(ParseClause("=1", left, op, right), kResultInvalidReturn);
  EXPECT_EQ(ParseClause("plain", left, op, right), kResultInvalidReturn);
  EXPECT_EQ(ParseClause((std::string(259, 'l') + "=1").c_str(), left, op, right), kResultOk);
  EXPECT_EQ(ParseClause((std::string(260, 'l') + "=1").c_str(), left, op, right), kResultInvalidReturn);
  EXPECT_EQ(ParseClause(("1=" + std::string(259, 'r')).c_str(), left, op, right), kResultOk);
  EXPECT_EQ(ParseClause(("1=" + std::string(260, 'r')).c_str(), left, op, right), kResultInvalidReturn);
}

TEST(ParseVersionKey, ReadsPlainNumbersAndDottedVersions) {
  auto key = [](const char* text) {
    VersionKey k = ParseVersionKey(text);
    return std::make_pair(k.major, k.minor);
  };
  EXPECT_EQ(key(""), std::make_pair(0u, 0u));
  EXPECT_EQ(key("  42abc"), std::make_pair(42u, 0u));
  EXPECT_EQ(key("-1"), std::make_pair(0xFFFFFFFFu, 0u));
  EXPECT_EQ(key("x"), std::make_pair(0u, 0u));
  EXPECT_EQ(key("4.10"), std::make_pair(4u * 65536 + 10, 0u));
  EXPECT_EQ(key("4.0.1.0"), std::make_pair(4u * 65536, 65536u));
  EXPECT_EQ(key("1.2.3.4.5"), std::make_pair(65536u + 2, 3u * 65536 + 4));
  EXPECT_EQ(key("65537.1"), std::make_pair(65536u + 1, 0u));  // components keep their low 16 bits
  EXPECT_EQ(key("99999999999"), std::make_pair(0x7FFFFFFFu, 0u));
  // Only the first 50 characters are read: the dot at 51 does not count.
  EXPECT_EQ(key((std::string(50, '0') + ".5").c_str()), std::make_pair(0u, 0u));
}

TEST_F(Conditions, EqualityIsByteExact) {
  Set("A", "1");
  EXPECT_TRUE(Holds("%%A%%=1"));
  EXPECT_TRUE(Holds("%%A%%==1"));
  EXPECT_FALSE(Holds("%%A%%=01"));
  EXPECT_FALSE(Holds("A=1"));  // literal texts
  EXPECT_TRUE(Holds("%%A%%!=2"));
  EXPECT_FALSE(Holds("a=A"));
  EXPECT_FALSE(Holds("A=>B"));  // "A" against ">B"
  EXPECT_FALSE(Holds(">B=>B"));  // an empty left operand ends the evaluation
  EXPECT_TRUE(Holds("x=>y|x=x"));
}

TEST_F(Conditions, AnUndefinedVariableComparesAsWritten) {
  EXPECT_FALSE(Holds("%%X%%=YES"));
  EXPECT_TRUE(Holds("%%X%%=%%X%%"));
  EXPECT_TRUE(Holds("%%X%%!=YES"));
}

TEST_F(Conditions, OrderedOperatorsCompareVersionKeys) {
  Set("V", "4.10.0.0");
  EXPECT_TRUE(Holds("%%V%%>=4.0.1.0"));
  Set("V", "4.0.0.5");
  EXPECT_FALSE(Holds("%%V%%>=4.0.1.0"));
  EXPECT_TRUE(Holds("5.0>4.1"));
  EXPECT_TRUE(Holds("1.0.0.5>1.0.0.3"));
  EXPECT_TRUE(Holds("4.00>=4.0"));
  EXPECT_TRUE(Holds("4.00<=4.0"));
  EXPECT_FALSE(Holds("4.00<4.0"));
  EXPECT_TRUE(Holds("10>9"));
  EXPECT_TRUE(Holds("-1>5"));  // a negative number reads as a large unsigned one
}

TEST_F(Conditions, ClausesAreJoinedByOrAndTheFirstBadClauseEndsTheEvaluation) {
  Set("A", "0");
  Set("B", "2");
  EXPECT_TRUE(Holds("%%A%%=1|%%B%%=2"));
  EXPECT_FALSE(Holds("%%A%%=1||%%B%%=2"));
  EXPECT_FALSE(Holds("A!B|%%B%%=2"));
  EXPECT_FALSE(Holds("junk|%%B%%=2"));
  EXPECT_TRUE(Holds("%%B%%=2|junk"));
  EXPECT_FALSE(Holds("%%A%%=1|"));
  EXPECT_FALSE(Holds(""));
  EXPECT_TRUE(Holds("  %%B%% = 2  "));
}
