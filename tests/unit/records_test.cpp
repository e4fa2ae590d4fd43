#include <gtest/gtest.h>

#include "engine/records.h"
#include "platform/heap.h"

namespace {
struct Item {
  RecordLinks links;
  int value;
};

Item* NewItem(int value) {
  auto* item = static_cast<Item*>(HeapBlockAlloc(sizeof(Item)));
  item->value = value;
  return item;
}
}  // namespace

TEST(RecordList, AppendsIndexesAndRemovesInOrder) {
  RecordList* list = RecordListCreate();
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(RecordListAppend(list, &NewItem(i * 10)->links));

  EXPECT_EQ(RecordListCount(list), 3u);
  EXPECT_EQ(RecordFromLinks<Item>(RecordListAt(list, 0))->value, 0);
  EXPECT_EQ(RecordFromLinks<Item>(RecordListAt(list, 2))->value, 20);
  EXPECT_EQ(RecordListAt(list, 3), nullptr);
  EXPECT_EQ(list->last->previous->next, list->last);

  for (int i = 0; i < 3; ++i) {
    RecordLinks* first = RecordListRemoveFirst(list);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(RecordFromLinks<Item>(first)->value, i * 10);
    HeapBlockFree(first);
  }
  EXPECT_EQ(RecordListCount(list), 0u);
  EXPECT_EQ(list->first, nullptr);
  EXPECT_EQ(list->last, nullptr);
  EXPECT_EQ(RecordListRemoveFirst(list), nullptr);
  RecordListFree(list);
}

TEST(RecordList, AppendFailsOnlyWithoutListOrRecord) {
  RecordList* list = RecordListCreate();
  Item* item = NewItem(1);
  EXPECT_FALSE(RecordListAppend(nullptr, &item->links));
  EXPECT_FALSE(RecordListAppend(list, nullptr));
  EXPECT_EQ(RecordListCount(nullptr), 0u);
  EXPECT_EQ(RecordListAt(nullptr, 0), nullptr);
  HeapBlockFree(item);
  RecordListFree(list);
}
