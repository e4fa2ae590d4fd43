#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/journal_records.h"

namespace {

JournalRecord Sample(UndoKind kind, uint32_t line, const std::string& path, const std::string& data) {
  JournalRecord record;
  record.kind = kind;
  record.line = line;
  record.command = "FILECIO";
  record.text[0] = path;
  record.text[1] = path + ".kept";
  record.number[0] = 0x21;
  record.number[2] = 0xFFFFFFFFu;
  record.data = data;
  return record;
}

std::string Journal(const std::vector<JournalRecord>& records) {
  std::string bytes(kJournalMagic, kJournalMagicBytes);
  for (const JournalRecord& record : records) bytes += EncodeRecord(record);
  return bytes;
}

}  // namespace

TEST(JournalRecords, RecordsComeBackWholeAndInOrder) {
  const std::vector<JournalRecord> written = {
      Sample(UndoKind::kFileBefore, 12, "C:\\Vorna\\vsengine.dll", std::string("\0\x01\xFF", 3)),
      Sample(UndoKind::kRegValueBefore, 13, "", ""),
      Sample(UndoKind::kAttributesBefore, 0, std::string(5000, 'x'), std::string(70000, '\0')),
  };
  std::vector<JournalRecord> read;
  ASSERT_TRUE(DecodeRecords(Journal(written), &read));
  ASSERT_EQ(read.size(), written.size());
  for (size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(read[i].kind, written[i].kind);
    EXPECT_EQ(read[i].line, written[i].line);
    EXPECT_EQ(read[i].command, written[i].command);
    EXPECT_EQ(read[i].text[0], written[i].text[0]);
    EXPECT_EQ(read[i].text[1], written[i].text[1]);
    EXPECT_EQ(read[i].number[0], written[i].number[0]);
    EXPECT_EQ(read[i].number[2], written[i].number[2]);
    EXPECT_EQ(read[i].data, written[i].data);
  }
}

// A crash while a record is appended leaves it torn; a bad sector or a stray write damages
// it. Either way that record and everything after it are ignored, every earlier one kept.
TEST(JournalRecords, ATornOrDamagedRecordEndsTheJournal) {
  const std::vector<JournalRecord> written = {Sample(UndoKind::kFolderCreated, 1, "C:\\a", ""),
                                              Sample(UndoKind::kFolderCreated, 2, "C:\\b", ""),
                                              Sample(UndoKind::kFolderCreated, 3, "C:\\c", "")};
  const std::string whole = Journal(written);
  const size_t third = whole.size() - EncodeRecord(written[2]).size();
  std::vector<JournalRecord> read;

  for (size_t cut = third; cut < whole.size(); ++cut) {  // every length of a torn last record
    ASSERT_TRUE(DecodeRecords(whole.substr(0, cut), &read));
    EXPECT_EQ(read.size(), 2u) << "cut at " << cut;
  }
  std::string damaged = whole;
  damaged[third - 3] ^= 0x40;  // inside the second record
  ASSERT_TRUE(DecodeRecords(damaged, &read));
  EXPECT_EQ(read.size(), 1u);
  std::string huge = whole.substr(0, third) + std::string("\xFF\xFF\xFF\x7F", 4) + whole.substr(third + 4);
  ASSERT_TRUE(DecodeRecords(huge, &read));  // a length past the end is a torn record
  EXPECT_EQ(read.size(), 2u);

  EXPECT_FALSE(DecodeRecords("", &read));
  EXPECT_FALSE(DecodeRecords(std::string("KIVJRN0"), &read));
  EXPECT_TRUE(DecodeRecords(std::string(kJournalMagic, kJournalMagicBytes), &read));
  EXPECT_TRUE(read.empty());
}

TEST(JournalRecords, ARegistryTreeComesBackAndDamageIsSeen) {
  std::vector<RegTreeEntry> tree(4);
  tree[0].name = "";
  tree[1].isKey = false;
  tree[1].name = "Version";
  tree[1].type = 1;
  tree[1].data = std::string("5.4\0", 4);
  tree[2].name = "Engine\\Old";
  tree[3].isKey = false;
  tree[3].name = "";
  tree[3].type = 4;
  tree[3].data = std::string("\x01\0\0\0", 4);
  const std::string bytes = EncodeRegTree(tree);
  std::vector<RegTreeEntry> read;
  ASSERT_TRUE(DecodeRegTree(bytes, &read));
  ASSERT_EQ(read.size(), tree.size());
  for (size_t i = 0; i < tree.size(); ++i) {
    EXPECT_EQ(read[i].isKey, tree[i].isKey);
    EXPECT_EQ(read[i].name, tree[i].name);
    EXPECT_EQ(read[i].type, tree[i].type);
    EXPECT_EQ(read[i].data, tree[i].data);
  }
  EXPECT_FALSE(DecodeRegTree(bytes.substr(0, bytes.size() - 1), &read));
  EXPECT_FALSE(DecodeRegTree("Q", &read));
}
