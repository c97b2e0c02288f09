#include "app/FullDiskSearch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "fsutil/PathText.h"
#include "platform/Drives.h"
#include "tests/support/TestSupport.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

const std::string kJpegHead = "\xFF\xD8\xFF\xE0" + std::string(12, '\0') + "JFIF";

using Rows = std::set<std::pair<std::string, std::string>>;  // path, type

// Stands in for DetectFileType: a JPEG head is ".jpg", "RM" is ".rm",
// "FAIL" cannot be identified; anything else is known by its name.
class FakeIdentify {
 public:
  std::string operator()(const std::string& path) {
    ++calls[path];
    std::string head = test::ReadFile(path).substr(0, 4);
    if (head == "FAIL") throw TypeDbIoError("type database unreadable");
    if (head == kJpegHead.substr(0, 4)) return ".jpg";
    if (head == "RM") return ".rm";
    return ExtOf(path);
  }
  std::map<std::string, int> calls;
};

class FullDiskSearchTest : public testing::Test {
 protected:
  void SetUp() override {
    using platform::Drive;
    platform::SetDriveTable({Drive{'C', root / "c/", platform::kDriveFixed},
                             Drive{'D', root / "d/", platform::kDriveFixed},
                             Drive{'E', root / "e/", platform::kDriveRemovable}});
    std::filesystem::create_directories(root / "c");
    std::filesystem::create_directories(root / "d");
  }
  void TearDown() override { platform::ResetDriveTable(); }

  Rows Listed() const {
    Rows rows;
    for (int row = 1; row <= list.CapturedCount(); ++row) {
      rows.emplace(*list.PathOfRow(row), grid.Cell(CaptureList::kTypeCol, row));
    }
    return rows;
  }

  test::TempDir root;
  StringGrid grid{3, 1};
  CaptureList list{grid};
  FakeIdentify identify;
  FullDiskSearch search{list, [this](const std::string& p) { return identify(p); }};
};

TEST_F(FullDiskSearchTest, ListsByExtensionAndDisguisedFilesOnlyWhenAsked) {
  const std::string c = root / "c", d = root / "d";
  test::WriteFile(c + "/movie.flv", "");
  test::WriteFile(c + "/sub/MOVIE.FLV", "");
  test::WriteFile(c + "/clip.rm", "");
  test::WriteFile(c + "/x.jpe", "");
  test::WriteFile(c + "/x.av", "");
  test::WriteFile(c + "/photo.dat", kJpegHead);
  test::WriteFile(c + "/real.dat", "RM");
  test::WriteFile(c + "/broken.dat", "FAIL");
  test::WriteFile(c + "/song.mp3", "just text");
  test::WriteFile(c + "/notes.txt", "just text");
  std::filesystem::create_directories(c + "/album.jpg");
  test::WriteFile(d + "/anim.swf", "");
  test::WriteFile(root / "e/removable.mp3", "");

  const Rows byExtension = {{c + "/movie.flv", ".flv"}, {c + "/sub/MOVIE.FLV", ".FLV"},
                            {c + "/x.jpe", ".jpe"},     {c + "/song.mp3", ".mp3"},
                            {d + "/anim.swf", ".swf"}};
  Rows withDisguised = byExtension;
  withDisguised.emplace(c + "/photo.dat", ".jpg");
  CategorySelection picturesOnly{false, false, false, true, false};
  struct Case {
    CategorySelection ticked;
    bool disguised;
    Rows listed;
  } cases[] = {
      {CategorySelection{}, false, byExtension},
      {CategorySelection{}, true, withDisguised},
      {picturesOnly, true, {{c + "/x.jpe", ".jpe"}, {c + "/photo.dat", ".jpg"}}},
  };
  for (const Case& k : cases) {
    identify.calls.clear();
    ASSERT_TRUE(search.Start(k.ticked, k.disguised, {}));
    EXPECT_EQ(Listed(), k.listed) << k.disguised;
    EXPECT_EQ(search.SearchExtList(), JoinTickedLists(k.ticked));
    // Files with a listed extension are never examined; a disguised one is
    // examined once.
    EXPECT_EQ(identify.calls.count(c + "/x.jpe"), 0u);
    EXPECT_EQ(identify.calls[c + "/photo.dat"], k.disguised ? 1 : 0);
  }
}

TEST_F(FullDiskSearchTest, IsDisguisedMediaTellsFilesWhoseNameHidesAListedType) {
  const std::string c = root / "c";
  test::WriteFile(c + "/photo.dat", kJpegHead);
  test::WriteFile(c + "/notes.dat", "just text");
  test::WriteFile(c + "/photo.jpg", kJpegHead);
  std::filesystem::create_directories(c + "/folder.dat");
  SearchRules yes(JoinTickedLists({}), true, std::ref(identify), {});
  SearchRules no(JoinTickedLists({}), false, std::ref(identify), {});
  struct Case {
    const SearchRules& rules;
    std::string path;
    bool disguised;
    bool identified;
  } cases[] = {
      {yes, c + "/photo.dat", true, true},  {no, c + "/photo.dat", false, false},
      {yes, c + "/notes.dat", false, true}, {yes, c + "/photo.jpg", false, false},
      {yes, c + "/folder.dat", false, false}, {yes, c + "/missing.dat", false, false},
  };
  for (const Case& k : cases) {
    identify.calls.clear();
    EXPECT_EQ(k.rules.IsDisguisedMedia(k.path), k.disguised) << k.path;
    EXPECT_EQ(identify.calls.count(k.path), k.identified ? 1u : 0u) << k.path;
  }
}

TEST_F(FullDiskSearchTest, AStopEndsEveryLevelAndSkipsTheRemainingDrives) {
  const std::string c = root / "c";
  std::string dir = c;
  for (const char* level : {"", "/one", "/two"}) {
    dir += level;
    for (int i = 0; i < 20; ++i) test::WriteFile(dir + "/f" + std::to_string(i) + ".mp3", "");
  }
  const std::string stopper = dir + "/stopper.mp3";
  test::WriteFile(stopper, "");
  test::WriteFile(root / "d/later.mp3", "");

  std::vector<std::string> shown;
  std::size_t stoppedAt = 0;
  SearchHooks hooks;
  hooks.pumpInterval = std::chrono::milliseconds(0);
  hooks.status = [&](const std::string& path) { shown.push_back(path); };
  hooks.pump = [&] {
    if (shown.back() == stopper && stoppedAt == 0) {
      stoppedAt = shown.size();
      search.RequestStop();
    }
  };
  ASSERT_TRUE(search.Start({}, false, hooks));

  ASSERT_GT(stoppedAt, 0u);
  EXPECT_EQ(shown.back(), "");
  // After the stop only the stopping file's kind-0 call and each level's
  // last report of its directory come; nothing more is examined.
  std::vector<std::string> after(shown.begin() + stoppedAt, shown.end() - 1);
  EXPECT_EQ(after, (std::vector<std::string>{stopper, c + "/one", c}));
  // The rows found so far stay, the file whose kind-2 call met the stop
  // included; the next drive is not walked.
  std::set<std::string> seen;
  for (std::size_t i = 0; i < stoppedAt; ++i) {
    if (ExtOf(shown[i]) == ".mp3") seen.insert(shown[i]);
  }
  Rows expected;
  for (const std::string& path : seen) expected.emplace(path, ".mp3");
  EXPECT_EQ(Listed(), expected);
  EXPECT_EQ(seen.count(root / "d/later.mp3"), 0u);
  EXPECT_FALSE(search.IsRunning());
}

TEST_F(FullDiskSearchTest, AStartWhileAStoppedWalkUnwindsIsRefused) {
  test::WriteFile(root / "c/a.mp3", "");
  test::WriteFile(root / "c/b.mp3", "");
  int pumps = 0;
  bool nestedStarted = true;
  SearchHooks hooks;
  hooks.pump = [&] {
    if (++pumps > 1) return;
    search.RequestStop();
    EXPECT_TRUE(search.IsRunning());
    nestedStarted = search.Start({}, true, hooks);
  };
  ASSERT_TRUE(search.Start({}, false, hooks));
  EXPECT_FALSE(nestedStarted);
  EXPECT_EQ(pumps, 1);
  EXPECT_FALSE(search.IsRunning());
  // Once it has returned, the next search runs.
  ASSERT_TRUE(search.Start({}, false, {}));
  EXPECT_EQ(list.CapturedCount(), 2);
}

TEST_F(FullDiskSearchTest, PumpsAtTheFirstPathAndThenOnlyWhenTheIntervalHasPassed) {
  for (int i = 0; i < 50; ++i) test::WriteFile(root / "c/f" + std::to_string(i), "");
  // 50 files and two drives: 52 calls.
  struct Case {
    std::chrono::milliseconds interval;
    int pumps;
  } cases[] = {{std::chrono::hours(1), 1}, {std::chrono::milliseconds(0), 52}};
  for (const Case& k : cases) {
    int pumps = 0;
    std::vector<std::string> shown;
    SearchHooks hooks;
    hooks.pumpInterval = k.interval;
    hooks.pump = [&] { ++pumps; };
    hooks.status = [&](const std::string& path) { shown.push_back(path); };
    ASSERT_TRUE(search.Start({}, false, hooks));
    EXPECT_EQ(pumps, k.pumps);
    EXPECT_EQ(shown.front(), root / "c");
    EXPECT_EQ(shown.back(), "");
  }
}

TEST_F(FullDiskSearchTest, ResetsTheListButLeavesTheGridToTheAppends) {
  list.AddCapturedRow("/old/one.mp3", ".mp3");
  list.AddCapturedRow("/old/two.mp3", ".mp3");
  ASSERT_TRUE(search.Start({}, false, {}));
  EXPECT_EQ(list.CapturedCount(), 0);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cell(CaptureList::kNameCol, 2), "two.mp3");

  test::WriteFile(root / "d/new.swf", "");
  ASSERT_TRUE(search.Start({}, false, {}));
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cell(CaptureList::kNameCol, 1), "new.swf");
}

// With the real identification and the type database beside the test. A
// pipe in the tree must not hold the search up.
TEST(FullDiskSearchWithTypeDatabaseTest, FindsDisguisedPicturesByTheirContent) {
  test::TempDir root;
  platform::SetDriveTable({platform::Drive{'C', root.Path() + "/", platform::kDriveFixed}});
  test::WriteFile(root / "photo.dat", kJpegHead + std::string(64, 'x'));
  test::WriteFile(root / "anim.bin", "GIF89a" + std::string(64, '\0'));
  test::WriteFile(root / "song.mp3", "just text");
  test::WriteFile(root / "notes.dat", "just text");
  ASSERT_EQ(mkfifo((root / "pipe.jpg.dat").c_str(), 0644), 0);
  StringGrid grid{3, 1};
  CaptureList list{grid};
  FullDiskSearch search(list);
  ASSERT_TRUE(search.Start({}, true, {}));
  platform::ResetDriveTable();
  Rows listed;
  for (int row = 1; row <= list.CapturedCount(); ++row) {
    listed.emplace(*list.PathOfRow(row), grid.Cell(CaptureList::kTypeCol, row));
  }
  EXPECT_EQ(listed, (Rows{{root / "photo.dat", ".jpg"},
                          {root / "anim.bin", ".gif"},
                          {root / "song.mp3", ".mp3"}}));
}

// Reading heads ahead of the walk gives the same list as identifying each
// file when the walk reaches it, row for row, on the samples of every type
// under names that hide them.
TEST(FullDiskSearchWithTypeDatabaseTest, ReadingAheadListsExactlyWhatIdentifyingInTurnDoes) {
  test::TempDir root;
  for (const auto& sample : std::filesystem::recursive_directory_iterator(RAVO_TYPEDB_SAMPLES)) {
    if (!sample.is_regular_file()) continue;
    std::string name = sample.path().filename().string();
    std::string content = test::ReadFile(sample.path().string());
    test::WriteFile(root / ("named/" + name), content);
    test::WriteFile(root / ("hidden/" + name + ".dat"), content);
    test::WriteFile(root / ("bare/" + std::to_string(content.size()) + "_" + name), content);
  }
  platform::SetDriveTable({platform::Drive{'C', root.Path() + "/", platform::kDriveFixed}});
  auto rows = [](FullDiskSearch& search, StringGrid& grid, CaptureList& list) {
    EXPECT_TRUE(search.Start({}, true, {}));
    std::vector<std::pair<std::string, std::string>> listed;
    for (int row = 1; row <= list.CapturedCount(); ++row) {
      listed.emplace_back(*list.PathOfRow(row), grid.Cell(CaptureList::kTypeCol, row));
    }
    return listed;
  };
  StringGrid aheadGrid{3, 1}, inTurnGrid{3, 1};
  CaptureList ahead{aheadGrid}, inTurn{inTurnGrid};
  FullDiskSearch readingAhead(ahead);
  FullDiskSearch identifyingInTurn(inTurn, [](const std::string& p) { return DetectFileType(p); });
  auto expected = rows(identifyingInTurn, inTurnGrid, inTurn);
  EXPECT_EQ(rows(readingAhead, aheadGrid, ahead), expected);
  EXPECT_GT(expected.size(), 40u);
  platform::ResetDriveTable();
}

}  // namespace
}  // namespace ravo
