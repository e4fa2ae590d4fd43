#include <gtest/gtest.h>

#include "platform/heap.h"
#include "platform/text_holders.h"

TEST(PathText, AppendsWithExactlyOneSeparator) {
  PathText path;
  path.Assign("C:\\a");
  path.AppendComponent("b.txt");
  EXPECT_STREQ(path.c_str(), "C:\\a\\b.txt");
  path.Assign("C:\\a\\");
  path.AppendComponent("\\b");
  EXPECT_STREQ(path.c_str(), "C:\\a\\b");
  path.Assign("C:\\a\\");
  path.AppendComponent("b");
  EXPECT_STREQ(path.c_str(), "C:\\a\\b");
  PathText empty;
  EXPECT_FALSE(empty.AppendComponent("b"));
  EXPECT_TRUE(empty.Empty());
}

TEST(PathText, APathWithForwardSlashesUsesThemAsSeparator) {
  PathText path;
  path.Assign("C:/dir/sub\\file.txt");
  EXPECT_EQ(path.Separator(), '/');
  GlobalText last;
  path.LastComponent(&last);
  EXPECT_STREQ(last.c_str(), "sub\\file.txt");
  path.CutAtLastSeparator();
  EXPECT_STREQ(path.c_str(), "C:/dir");
  path.AppendComponent("x");
  EXPECT_STREQ(path.c_str(), "C:/dir/x");
}

TEST(PathText, FindsWildcardsAndComponents) {
  PathText path;
  path.Assign("C:\\dir\\*.tmp");
  EXPECT_TRUE(path.HasWildcard());
  GlobalText last;
  path.LastComponent(&last);
  EXPECT_STREQ(last.c_str(), "*.tmp");
  path.Assign("name");
  EXPECT_FALSE(path.HasWildcard());
  path.LastComponent(&last);
  EXPECT_STREQ(last.c_str(), "");
  path.CutAtLastSeparator();
  EXPECT_STREQ(path.c_str(), "name");
  path.Assign("");
  EXPECT_TRUE(path.Empty());
}

TEST(GlobalText, UpperCasesAndFinds) {
  GlobalText text;
  EXPECT_EQ(text.Find("x"), nullptr);
  text.Assign("C:\\WINNT\\notepad.exe");
  text.Upper();
  EXPECT_STREQ(text.c_str(), "C:\\WINNT\\NOTEPAD.EXE");
  EXPECT_NE(text.Find("PAD.E"), nullptr);
  EXPECT_EQ(text.Find(nullptr), nullptr);
  EXPECT_EQ(text.Length(), 20u);
  text.Assign("");
  EXPECT_FALSE(text.Empty());
  EXPECT_EQ(text.Length(), 0u);
}

TEST(TextHolders, FreeTheirTextWhenTheyGo) {
  const size_t before = HeapBlockUsage().liveBlocks;
  {
    PathText path;
    path.Assign("C:\\a");
    path.AppendComponent("b");
    GlobalText text;
    text.Assign("x");
  }
  EXPECT_EQ(HeapBlockUsage().liveBlocks, before);
}
