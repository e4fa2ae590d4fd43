#include <gtest/gtest.h>

#include <string>

#include "engine/loader.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "platform/heap.h"

namespace {

// A context with just a symbol table, as ScriptOpen would make it.
class Variables : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.symbols = SymbolTableCreate();
    ASSERT_NE(context_.symbols, nullptr);
  }
  void TearDown() override { SymbolTableFree(context_.symbols); }

  void Set(const char* name, const std::string& value) {
    ASSERT_EQ(SymbolSet(context_.symbols, name, value.c_str()), kResultOk);
  }
  std::string Get(const char* name, size_t size = 260) {
    std::string dest(size, '?');
    last_ = SymbolGet(context_.symbols, name, &dest[0], size);
    return last_ == kResultOk ? std::string(dest.c_str()) : std::string("<missing>");
  }
  std::string Substitute(const std::string& text, size_t size = 2000) {
    std::string dest(size + 1, '?');
    last_ = SubstituteVariables(&context_, text.c_str(), &dest[0], size);
    EXPECT_EQ(dest[size], '?') << "wrote past the destination";
    return std::string(dest.c_str());
  }

  ScriptContext context_ = {};
  int last_ = -1;
};

}  // namespace

TEST_F(Variables, NamesAreExactAndCaseSensitive) {
  Set("A", "1");
  Set("a", "2");
  Set(" A", "3");
  Set("", "empty name");
  EXPECT_EQ(Get("A"), "1");
  EXPECT_EQ(Get("a"), "2");
  EXPECT_EQ(Get(" A"), "3");
  EXPECT_EQ(Get(""), "empty name");
  EXPECT_EQ(Get("B"), "<missing>");
  EXPECT_EQ(last_, kResultSymbolNotFound);
  EXPECT_EQ(RecordListCount(context_.symbols), 4u);
}

TEST_F(Variables, SettingAgainReplacesTheValueInPlace) {
  Set("A", "first");
  Set("B", "other");
  Set("A", "");
  EXPECT_EQ(Get("A"), "");
  EXPECT_EQ(RecordListCount(context_.symbols), 2u);
  EXPECT_EQ(Substitute("[%%A%%]"), "[]");
  EXPECT_EQ(last_, kResultOk);
}

TEST_F(Variables, GetCutsTheValueToTheDestination) {
  Set("A", "abcdef");
  EXPECT_EQ(Get("A", 4), "abc");
  EXPECT_EQ(Get("A", 1), "");
}

TEST_F(Variables, AFailedCopyKeepsTheOldValueAndCreatesNothingNew) {
  Set("A", "old");
  HeapBlockFailAfter(0);
  EXPECT_EQ(SymbolSet(context_.symbols, "A", "new"), kResultNoMemory);
  EXPECT_EQ(SymbolSet(context_.symbols, "B", "new"), kResultNoMemory);
  HeapBlockFailAfter(2);  // the record and the name, not the value
  EXPECT_EQ(SymbolSet(context_.symbols, "C", "new"), kResultNoMemory);
  HeapBlockFailAfter(-1);
  EXPECT_EQ(Get("A"), "old");
  EXPECT_EQ(Get("B"), "<missing>");
  EXPECT_EQ(Get("C"), "<missing>");
  EXPECT_EQ(RecordListCount(context_.symbols), 1u);
}

TEST_F(Variables, SubstitutionReplacesReferencesLeftToRight) {
  Set("A", "1");
  Set("Path", "C:\\Program Files\\Vorna");
  EXPECT_EQ(Substitute("x%%A%%y"), "x1y");
  EXPECT_EQ(Substitute("%%Path%%\\bin,%%A%%%%A%%"), "C:\\Program Files\\Vorna\\bin,11");
  EXPECT_EQ(last_, kResultOk);
}

TEST_F(Variables, AnUndefinedNameCutsTheOutputWhereItStoodAndGives28) {
  Set("A", "1");
  EXPECT_EQ(Substitute("x%%B%%y%%A%%"), "x");
  EXPECT_EQ(last_, kResultSymbolNotFound);
}

TEST_F(Variables, SinglePercentSignsAreTextAndUnclosedReferencesAreDropped) {
  Set("A", "1");
  EXPECT_EQ(Substitute("50%"), "50%");
  EXPECT_EQ(Substitute("5% of %%A%%%"), "5% of 1%");
  EXPECT_EQ(Substitute("x%%A"), "x");
  EXPECT_EQ(last_, kResultOk);
  EXPECT_EQ(Substitute("x%%"), "x");
  EXPECT_EQ(last_, kResultOk);
}

TEST_F(Variables, FourPercentSignsNameTheEmptyVariable) {
  EXPECT_EQ(Substitute("a%%%%b"), "a");
  EXPECT_EQ(last_, kResultSymbolNotFound);
  Set("", "E");
  EXPECT_EQ(Substitute("a%%%%b"), "aEb");
}

TEST_F(Variables, InsertedValuesAreNotSubstitutedAgain) {
  Set("A", "%%B%%");
  Set("B", "no");
  EXPECT_EQ(Substitute("<%%A%%>"), "<%%B%%>");
}

TEST_F(Variables, AtMost259CharactersOfAValueOrNameAreUsed) {
  Set("Long", std::string(300, 'v'));
  EXPECT_EQ(Substitute("%%Long%%!"), std::string(259, 'v') + "!");

  std::string name(300, 'n');
  Set(name.substr(0, 259).c_str(), "cut");
  EXPECT_EQ(Substitute("(%%" + name + "%%)"), "(cut)");
}

TEST_F(Variables, TheDestinationReceivesAtMostSizeMinusOneCharacters) {
  Set("A", "123456");
  EXPECT_EQ(Substitute("ab%%A%%cd", 5), "ab12");
  EXPECT_EQ(last_, kResultOk);
  EXPECT_EQ(Substitute("abcdef", 1), "");
  // Once the output is full, later references are not looked up.
  EXPECT_EQ(Substitute("abcd%%Missing%%", 5), "abcd");
  EXPECT_EQ(last_, kResultOk);
}

TEST_F(Variables, SubstitutionLeavesItsInputAlone) {
  Set("A", "1");
  const std::string input = "%%A%%";
  std::string copy = input;
  Substitute(copy);
  EXPECT_EQ(copy, input);
}

TEST_F(Variables, ThousandsOfNamesAreFoundAndAnIndexThatCannotGrowCreatesNothing) {
  int refused = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "V" + std::to_string(i);
    HeapBlockFailAfter(3);  // the record, the name and the value; not a larger index
    const int result = SymbolSet(context_.symbols, name.c_str(), name.c_str());
    HeapBlockFailAfter(-1);
    if (result == kResultOk) continue;
    ++refused;
    ASSERT_EQ(result, kResultNoMemory);
    ASSERT_EQ(Get(name.c_str()), "<missing>");
    Set(name.c_str(), name);
  }
  EXPECT_GT(refused, 0);
  EXPECT_EQ(RecordListCount(context_.symbols), 3000u);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(Get(("V" + std::to_string(i)).c_str()), "V" + std::to_string(i));
  EXPECT_EQ(Get("v1"), "<missing>");
}
