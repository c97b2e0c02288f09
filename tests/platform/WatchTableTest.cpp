// The table of watched folders: paths made from names, watches found again
// after renames, subtrees that move and go in one step, folders queued for
// the set-up that outlive a removal, and what a large tree costs.
#include "platform/posix/WatchTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace ravo::platform {
namespace {

using Node = WatchTable::Node;

TEST(WatchTableTest, PathsAreMadeFromNamesAndFoundAgain) {
  WatchTable table;
  Node deep = table.Make("a/b/c");
  EXPECT_EQ(table.PathOf(deep), "a/b/c");
  EXPECT_EQ(table.PathOf(WatchTable::kRoot), "");
  EXPECT_EQ(table.Find("a/b/c"), deep);
  EXPECT_EQ(table.Find(""), WatchTable::kRoot);
  EXPECT_EQ(table.Find("a/b/x"), WatchTable::kNone);
  EXPECT_EQ(table.Child(table.Find("a/b"), "c"), deep);
  Node other = table.Child(table.Find("a"), "b2");
  EXPECT_EQ(table.PathOf(other), "a/b2");
}

TEST(WatchTableTest, WatchesMoveWithRenamesAndGoWithTheirSubtree) {
  WatchTable table;
  table.SetWatch(WatchTable::kRoot, 1);
  Node a = table.Make("a");
  Node b = table.Make("a/b");
  table.SetWatch(a, 2);
  table.SetWatch(b, 3);
  EXPECT_EQ(table.WatchCount(), 3u);
  EXPECT_EQ(table.OfWatch(3), b);

  // A rename takes what is below along.
  table.Move(a, WatchTable::kRoot, "renamed", {});
  EXPECT_EQ(table.PathOf(table.OfWatch(3)), "renamed/b");
  EXPECT_EQ(table.Find("a"), WatchTable::kNone);

  // The same folder watched again under a name the table did not know yet
  // (renamed before the event was read): its watch and what is below move.
  Node fresh = table.Make("moved");
  table.SetWatch(fresh, 2);
  EXPECT_EQ(table.OfWatch(2), fresh);
  EXPECT_EQ(table.PathOf(table.OfWatch(3)), "moved/b");
  EXPECT_EQ(table.WatchCount(), 3u);

  // A move onto a folder that is there replaces it.
  Node target = table.Make("target");
  table.SetWatch(target, 4);
  std::set<int> dropped;
  table.Move(fresh, WatchTable::kRoot, "target", [&](int wd) { dropped.insert(wd); });
  EXPECT_EQ(dropped, std::set<int>{4});
  EXPECT_EQ(table.PathOf(table.OfWatch(3)), "target/b");

  dropped.clear();
  table.Remove(table.Find("target"), [&](int wd) { dropped.insert(wd); });
  EXPECT_EQ(dropped, (std::set<int>{2, 3}));
  EXPECT_EQ(table.WatchCount(), 1u);
  EXPECT_EQ(table.OfWatch(3), WatchTable::kNone);
}

TEST(WatchTableTest, QueuedFoldersOutliveARemovalUntilTheirTurnAndEmptyFoldersArePruned) {
  WatchTable table;
  Node a = table.Make("a");
  table.SetWatch(a, 1);
  Node queued = table.Child(a, "q");
  table.SetQueued(queued);
  table.Remove(a, {});
  EXPECT_FALSE(table.TakeQueued(queued));  // gone meanwhile: not visited
  Node kept = table.Make("b/c");
  table.SetQueued(kept);
  EXPECT_TRUE(table.TakeQueued(kept));
  // Unwatched and without anything below: it goes, and so does b.
  table.Prune(kept);
  EXPECT_EQ(table.Find("b"), WatchTable::kNone);
  table.DropWatch(1);
  EXPECT_EQ(table.WatchCount(), 0u);
}

TEST(WatchTableTest, ATreeOfAHundredThousandFoldersTakesUnderSixtyFourBytesAFolder) {
  WatchTable table;
  int wd = 1;
  table.SetWatch(WatchTable::kRoot, wd++);
  for (int a = 0; a < 100; ++a) {
    Node top = table.Child(WatchTable::kRoot, "a" + std::to_string(a));
    table.SetWatch(top, wd++);
    for (int b = 0; b < 100; ++b) {
      Node middle = table.Child(top, "b" + std::to_string(b));
      table.SetWatch(middle, wd++);
      for (int c = 0; c < 10; ++c) table.SetWatch(table.Child(middle, "c" + std::to_string(c)), wd++);
    }
  }
  table.Shrink();
  const std::size_t folders = table.WatchCount();
  EXPECT_EQ(folders, 110101u);
  EXPECT_LT(table.BytesUsed() / folders, 64u) << table.BytesUsed() << " bytes";
  EXPECT_EQ(table.PathOf(table.OfWatch(wd - 1)), "a99/b99/c9");

  // Renaming folders over and over leaves no growing heap of old names.
  std::size_t before = table.BytesUsed();
  Node top = table.Find("a0");
  for (int i = 0; i < 200000; ++i) table.Move(top, WatchTable::kRoot, "renamed" + std::to_string(i), {});
  table.Shrink();
  EXPECT_LT(table.BytesUsed(), before + 1024);
  EXPECT_EQ(table.PathOf(table.Find("renamed199999/b5/c3")), "renamed199999/b5/c3");
}

}  // namespace
}  // namespace ravo::platform
