// Saving many captured files into one folder: free names, cache entries'
// bodies, failures listed with the rest saved, and a stop that leaves
// nothing half-written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

#include "app/BatchSave.h"
#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"
#include "watch/QueueDispatcher.h"

namespace ravo {
namespace {

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class BatchSaveTest : public testing::Test {
 protected:
  BatchSaveTest() { std::filesystem::create_directory(target_); }

  // Runs a batch to its end, pumping the dispatcher as the main thread.
  BatchSaveResult Run(std::vector<SaveItem> items, bool stopAtOnce = false) {
    std::optional<BatchSaveResult> result;
    int doneCalls = 0;
    {
      BatchSave batch(dispatcher_, std::move(items), target_,
                      [this](const BatchSaveProgress& p) { progress_.push_back(p); },
                      [&](const BatchSaveResult& r) {
                        result = r;
                        ++doneCalls;
                      });
      if (stopAtOnce) batch.RequestStop();
      EXPECT_TRUE(test::WaitFor([&] { return result.has_value(); }, std::chrono::seconds(30),
                                [this] { dispatcher_.RunPending(); }));
    }
    dispatcher_.RunPending();
    EXPECT_EQ(doneCalls, 1);
    return result.value_or(BatchSaveResult{});
  }

  test::TempDir dir_;
  std::string target_ = dir_ / "saved";
  QueueDispatcher dispatcher_;
  std::vector<BatchSaveProgress> progress_;
};

TEST_F(BatchSaveTest, SavesEveryFileUnderAFreeNameAndNothingIsOverwritten) {
  test::WriteFile(target_ + "/photo.jpg", "was there");
  std::vector<SaveItem> items;
  for (int i = 0; i < 200; ++i) {
    std::string name = i % 2 ? "photo.jpg" : "clip" + std::to_string(i) + ".mp4";
    items.push_back({dir_.Write("src/" + std::to_string(i), "content " + std::to_string(i)), name});
  }
  BatchSaveResult result = Run(items);
  EXPECT_EQ(result.saved, 200u);
  EXPECT_TRUE(result.failures.empty());
  EXPECT_EQ(result.notReached, 0u);
  EXPECT_EQ(test::ReadFile(target_ + "/photo.jpg"), "was there");
  EXPECT_EQ(test::ReadFile(target_ + "/photo (1).jpg"), "content 1");
  EXPECT_EQ(test::ReadFile(target_ + "/photo (2).jpg"), "content 3");
  EXPECT_EQ(test::ReadFile(target_ + "/photo (100).jpg"), "content 199");
  EXPECT_EQ(test::ReadFile(target_ + "/clip198.mp4"), "content 198");
  EXPECT_EQ(NamesIn(target_).size(), 201u);
  // Progress names each file in turn.
  ASSERT_EQ(progress_.size(), 200u);
  for (std::size_t i = 0; i < progress_.size(); ++i) {
    EXPECT_EQ(progress_[i].done, i);
    EXPECT_EQ(progress_[i].total, 200u);
  }
}

TEST_F(BatchSaveTest, CacheEntriesGiveTheirBodyAndFailuresLeaveTheRestSaved) {
  std::vector<SaveItem> items = {
      {dir_.Write("cache/0123456789abcdef_0", test::SimpleCacheEntry(test::kPngBody)), "entry.png"},
      {dir_ / "gone.mp3", "gone.mp3"},
      {dir_.Path(), "folder.mp3"},
      {dir_.Write("song.mp3", "ID3 song"), "song.mp3"},
  };
  BatchSaveResult result = Run(items);
  EXPECT_EQ(result.saved, 2u);
  ASSERT_EQ(result.failures.size(), 2u);
  EXPECT_EQ(result.failures[0].name, "gone.mp3");
  EXPECT_EQ(result.failures[1].name, "folder.mp3");
  EXPECT_FALSE(result.failures[0].reason.empty());
  EXPECT_EQ(test::ReadFile(target_ + "/entry.png"), test::kPngBody);
  EXPECT_EQ(test::ReadFile(target_ + "/song.mp3"), "ID3 song");
  EXPECT_EQ(NamesIn(target_), (std::set<std::string>{"entry.png", "song.mp3"}));
}

TEST_F(BatchSaveTest, AFolderThatCannotBeWrittenFailsEveryFileWithItsReason) {
  target_ = dir_ / "no/such/folder";
  BatchSaveResult result = Run({{dir_.Write("a.jpg", "a"), "a.jpg"}, {dir_.Write("b.jpg", "b"), "b.jpg"}});
  EXPECT_EQ(result.saved, 0u);
  EXPECT_EQ(result.failures.size(), 2u);
}

TEST_F(BatchSaveTest, AStopLeavesOnlyWholeFiles) {
  std::vector<SaveItem> items;
  for (int i = 0; i < 20; ++i) {
    items.push_back({dir_.Write("big" + std::to_string(i), std::string(2 << 20, 'x')),
                     "big" + std::to_string(i) + ".mp4"});
  }
  BatchSaveResult result = Run(items, /*stopAtOnce=*/true);
  EXPECT_GT(result.notReached, 0u);
  EXPECT_EQ(result.saved + result.failures.size() + result.notReached, 20u);
  EXPECT_TRUE(result.failures.empty());
  std::set<std::string> names = NamesIn(target_);
  EXPECT_EQ(names.size(), result.saved);
  for (const std::string& name : names) {
    EXPECT_EQ(std::filesystem::file_size(target_ + "/" + name), std::uintmax_t{2} << 20) << name;
  }
}

TEST(BatchSaveSummaryTest, SaysWhatWasSavedStoppedAndWhatFailed) {
  BatchSaveResult all{3, {}, 0};
  EXPECT_EQ(BatchSaveSummary(all, "/home/ann/图片"), "已保存 3 个文件到 /home/ann/图片");
  BatchSaveResult stopped{1, {}, 4};
  EXPECT_EQ(BatchSaveSummary(stopped, "/d"), "已停止保存：已保存 1 个文件到 /d，4 个未保存");
  BatchSaveResult failed{1, {{"a.jpg", "无法打开源文件：No such file or directory"}}, 0};
  EXPECT_EQ(BatchSaveSummary(failed, "/d"),
            "已保存 1 个文件到 /d；1 个未能保存：\na.jpg：无法打开源文件：No such file or directory");
  BatchSaveResult many{0, std::vector<SaveFailure>(25, {"x.mp3", "r"}), 0};
  std::string text = BatchSaveSummary(many, "/d");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);
  EXPECT_NE(text.find("……另有 5 个"), std::string::npos);
}

}  // namespace
}  // namespace ravo
