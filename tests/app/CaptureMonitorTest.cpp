#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "app/CaptureMonitor.h"
#include "fsutil/PathText.h"
#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"
#include "watch/QueueDispatcher.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;
using Row = std::pair<std::string, std::string>;  // name, type

std::string JpegHead() {
  std::string head("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
  head.resize(64, '\x01');
  return head;
}

const std::string kText(60, 't');

class CaptureMonitorTest : public testing::Test {
 protected:
  // Identifies as the database would here: a JPEG head is ".jpg", a WebP
  // head ".webp", a PDF ".pdf", anything else goes by the name.
  std::string Identify(const std::string& path) {
    ++identified;
    if (failing.count(path)) throw TypeDbIoError("类型数据库无法读取");
    std::string head = test::ReadFile(path);
    std::string type = head.starts_with("\xFF\xD8\xFF")        ? ".jpg"
                       : head.starts_with("RIFF....WEBP")       ? ".webp"
                       : head.starts_with("%PDF")               ? ".pdf"
                                                                : ExtOf(path);
    if (afterIdentify) std::exchange(afterIdentify, nullptr)();
    return type;
  }

  std::string Report(TFileOperation op, const std::string& name, const std::string& newName = {}) {
    return monitor.OnChange(op, dir / name, newName.empty() ? "" : dir / newName);
  }

  std::vector<Row> Rows() const {
    std::vector<Row> rows;
    for (int r = 1; r <= list.CapturedCount(); ++r) {
      EXPECT_EQ(grid.Cell(CaptureList::kNameCol, r), NameOf(*list.PathOfRow(r)));
      rows.emplace_back(NameOf(*list.PathOfRow(r)), grid.Cell(CaptureList::kTypeCol, r));
    }
    return rows;
  }

  test::TempDir dir;
  StringGrid grid{3, 1};
  CaptureList list{grid};
  CategorySelection ticked;
  int identified = 0;
  std::set<std::string> failing;
  std::function<void()> afterIdentify;  // runs once, right after an identification
  CaptureMonitor::Clock::time_point now{};
  CaptureMonitor monitor{list, [this] { return ticked; },
                         [this](const std::string& path) { return Identify(path); },
                         [this] { return now; }};
};

struct ReportCase {
  const char* name;
  std::string content;
  CategorySelection ticked;
  std::optional<std::string> listedAs;
  bool amber = false;
};

void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }

class ReportTest : public CaptureMonitorTest, public testing::WithParamInterface<ReportCase> {};

TEST_P(ReportTest, AReportedFileIsListedWhenItsRealTypeIsTicked) {
  const ReportCase& c = GetParam();
  ticked = c.ticked;
  test::WriteFile(dir / c.name, c.content);
  EXPECT_EQ(Report(foAdded, c.name), "");
  EXPECT_EQ(identified, 1);
  if (!c.listedAs) {
    EXPECT_TRUE(Rows().empty());
    return;
  }
  EXPECT_EQ(Rows(), (std::vector<Row>{{c.name, *c.listedAs}}));
  EXPECT_EQ(list.CellColour(CaptureList::kTypeCol, 1).has_value(), c.amber);
}

constexpr CategorySelection kAll{};
constexpr CategorySelection kNone{false, false, false, false, false};
constexpr CategorySelection kVideoOnly{false, true, false, false, false};
constexpr CategorySelection kPicturesOnly{false, false, false, true, false};

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportTest,
    testing::Values(ReportCase{"photo.dat", JpegHead(), kAll, ".jpg", true},
                    ReportCase{"song.mp3", kText, kAll, ".mp3"},
                    ReportCase{"clip.rm", kText, kVideoOnly, ".rm"},
                    ReportCase{"clip.mpeg", kText, kAll, std::nullopt},
                    ReportCase{"photo.dat", JpegHead(), kNone, std::nullopt},
                    ReportCase{"song.mp3", kText, kPicturesOnly, std::nullopt},
                    // The browser engine's files still being written are never listed.
                    ReportCase{".org.chromium.Chromium.a1B2c3", JpegHead(), kAll, std::nullopt},
                    ReportCase{"clip.mp4.crdownload", kText, kAll, std::nullopt}));

TEST_F(CaptureMonitorTest, ARemovedFileIsNotListedAndItsEarlierRowStays) {
  test::WriteFile(dir / "kept.mp3", kText);
  Report(foAdded, "kept.mp3");
  fs::remove(dir / "kept.mp3");
  EXPECT_EQ(Report(foRemoved, "kept.mp3"), "");
  EXPECT_EQ(Report(foRemoved, "never.mp3"), "");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"kept.mp3", ".mp3"}}));
  list.RefreshSizes();
  EXPECT_EQ(grid.Cell(CaptureList::kSizeCol, 1), "0");
}

struct RenameCase {
  const char* what;
  std::string oldName;
  std::string content;
  std::string newName;
  std::vector<Row> rows;
};

void PrintTo(const RenameCase& c, std::ostream* out) { *out << c.what; }

class RenameTest : public CaptureMonitorTest, public testing::WithParamInterface<RenameCase> {};

TEST_P(RenameTest, ARenameFollowsTheFileAndNeverListsTheOldName) {
  const RenameCase& c = GetParam();
  test::WriteFile(dir / c.oldName, c.content);
  Report(foAdded, c.oldName);
  fs::rename(dir / c.oldName, dir / c.newName);
  EXPECT_EQ(Report(foRenamed, c.oldName, c.newName), "");
  EXPECT_EQ(Rows(), c.rows) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenameTest,
    testing::Values(
        RenameCase{"captured row moves", "a.mp3", kText, "b.mp3", {{"b.mp3", ".mp3"}}},
        RenameCase{"finished download", "pic.jpg.crdownload", JpegHead(), "pic.jpg",
                   {{"pic.jpg", ".jpg"}}},
        RenameCase{"new type not ticked: the row goes", "a.mp3", kText, "a.txt", {}},
        RenameCase{"not captured before: captured now", "dl.part", kText, "song.mp3",
                   {{"song.mp3", ".mp3"}}},
        RenameCase{"the engine's download done", ".org.chromium.Chromium.Xy12Zq", JpegHead(),
                   "photo.dat", {{"photo.dat", ".jpg"}}},
        RenameCase{"a pane's download done", "clip.mp4.download", kText, "clip.mp4",
                   {{"clip.mp4", ".mp4"}}}));

// A download that made its final name as an empty place-holder and renames
// its finished file over it leaves one row.
TEST_F(CaptureMonitorTest, AFileRenamedOverAListedOneTakesItsRow) {
  test::WriteFile(dir / "film.webm", "");
  Report(foAdded, "film.webm");
  test::WriteFile(dir / "film.webm.download", JpegHead());
  Report(foAdded, "film.webm.download");
  fs::rename(dir / "film.webm.download", dir / "film.webm");
  Report(foRenamed, "film.webm.download", "film.webm");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"film.webm", ".jpg"}}));
}

TEST_F(CaptureMonitorTest, FilesCapturedInARenamedFolderAreFollowedThere) {
  test::WriteFile(dir / "dl/a.mp3", kText);
  Report(foAdded, "dl/a.mp3");
  fs::rename(dir / "dl", dir / "music");
  EXPECT_EQ(Report(foRenamed, "dl", "music"), "");
  ASSERT_EQ(list.CapturedCount(), 1);
  EXPECT_EQ(list.PathOfRow(1), dir / "music/a.mp3");
}

TEST_F(CaptureMonitorTest, AFileWaitedForInARenamedFolderIsStillCaptured) {
  test::WriteFile(dir / "dl/photo.dat", "");
  Report(foAdded, "dl/photo.dat");
  ASSERT_EQ(monitor.WaitingCount(), 1u);
  fs::rename(dir / "dl", dir / "pictures");
  Report(foRenamed, "dl", "pictures");
  test::WriteFile(dir / "pictures/photo.dat", JpegHead());
  monitor.Tick();
  ASSERT_EQ(list.CapturedCount(), 1);
  EXPECT_EQ(list.PathOfRow(1), dir / "pictures/photo.dat");
}

TEST_F(CaptureMonitorTest, AFileReportedEmptyIsCapturedOnceItsHeadArrives) {
  test::WriteFile(dir / "photo.dat", "");
  Report(foAdded, "photo.dat");
  EXPECT_TRUE(Rows().empty());
  monitor.Tick();
  EXPECT_TRUE(Rows().empty());

  test::WriteFile(dir / "photo.dat", JpegHead().substr(0, 20));
  now += std::chrono::seconds(59);
  monitor.Tick();
  test::WriteFile(dir / "photo.dat", JpegHead() + "more");
  monitor.Tick();
  EXPECT_EQ(Rows(), (std::vector<Row>{{"photo.dat", ".jpg"}}));
  EXPECT_EQ(monitor.WaitingCount(), 0u);
}

// A file created empty and then written (a copy, a download) is first known
// by its name only: its row then follows what its head says it is.
TEST_F(CaptureMonitorTest, AFileCapturedByItsNameShowsTheTypeOfItsContentOnceWritten) {
  test::WriteFile(dir / "photo.jpg", "");
  test::WriteFile(dir / "fake.jpg", "");
  test::WriteFile(dir / "real.jpg", "");
  for (const char* name : {"photo.jpg", "fake.jpg", "real.jpg"}) Report(foAdded, name);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"photo.jpg", ".jpg"}, {"fake.jpg", ".jpg"},
                                      {"real.jpg", ".jpg"}}));
  test::WriteFile(dir / "photo.jpg", "RIFF....WEBP" + kText);  // a WebP by its head
  test::WriteFile(dir / "fake.jpg", "%PDF-1.7" + kText);       // no wanted type
  test::WriteFile(dir / "real.jpg", JpegHead());
  monitor.Tick();
  EXPECT_EQ(Rows(), (std::vector<Row>{{"photo.jpg", ".webp"}, {"real.jpg", ".jpg"}}));
  EXPECT_TRUE(list.CellColour(CaptureList::kTypeCol, 1).has_value());  // the name hides it
  EXPECT_EQ(monitor.WaitingCount(), 0u);
}

TEST_F(CaptureMonitorTest, AHeadWrittenWhileTheReportIsIdentifiedIsNotMissed) {
  test::WriteFile(dir / "race.dat", "");
  afterIdentify = [&] { test::WriteFile(dir / "race.dat", JpegHead()); };
  Report(foAdded, "race.dat");
  EXPECT_TRUE(Rows().empty());
  monitor.Tick();
  EXPECT_EQ(Rows(), (std::vector<Row>{{"race.dat", ".jpg"}}));
}

TEST_F(CaptureMonitorTest, WaitingEndsAfterAMinuteWhenTheHeadIsCompleteOrTheFileIsGone) {
  for (const char* name : {"late.dat", "text.dat", "gone.dat", "removed.dat"}) {
    test::WriteFile(dir / name, "");
    Report(foAdded, name);
  }
  EXPECT_EQ(monitor.WaitingCount(), 4u);
  test::WriteFile(dir / "text.dat", kText);  // a full head of no wanted type
  fs::remove(dir / "gone.dat");
  Report(foRemoved, "removed.dat");
  monitor.Tick();
  EXPECT_EQ(monitor.WaitingCount(), 1u);

  now += CaptureMonitor::kRecheckPeriod + std::chrono::seconds(1);
  test::WriteFile(dir / "late.dat", JpegHead());
  monitor.Tick();
  EXPECT_EQ(monitor.WaitingCount(), 0u);
  EXPECT_TRUE(Rows().empty());
}

TEST_F(CaptureMonitorTest, AnIdentificationErrorDropsThatReportOnly) {
  test::WriteFile(dir / "bad.mp3", kText);
  test::WriteFile(dir / "good.mp3", kText);
  failing.insert(dir / "bad.mp3");
  std::string status = Report(foAdded, "bad.mp3");
  EXPECT_NE(status.find(dir / "bad.mp3"), std::string::npos) << status;
  EXPECT_NE(status.find("类型数据库无法读取"), std::string::npos) << status;
  EXPECT_EQ(Report(foAdded, "good.mp3"), "");

  // The same in a re-check: the waiting file is dropped, the others go on.
  test::WriteFile(dir / "bad.dat", "");
  test::WriteFile(dir / "fine.dat", "");
  Report(foAdded, "bad.dat");
  Report(foAdded, "fine.dat");
  failing.insert(dir / "bad.dat");
  test::WriteFile(dir / "bad.dat", JpegHead());
  test::WriteFile(dir / "fine.dat", JpegHead());
  EXPECT_NE(monitor.Tick(), "");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"good.mp3", ".mp3"}, {"fine.dat", ".jpg"}}));
  EXPECT_EQ(monitor.WaitingCount(), 0u);
}

TEST_F(CaptureMonitorTest, StartingEmptiesTheListAndStoppingKeepsIt) {
  monitor.Start();
  for (const char* name : {"a.mp3", "b.mp3"}) {
    test::WriteFile(dir / name, kText);
    Report(foAdded, name);
  }
  monitor.Stop();
  EXPECT_EQ(Rows().size(), 2u);
  int rowCount = grid.RowCount();
  monitor.Start();
  EXPECT_EQ(list.CapturedCount(), 0);
  EXPECT_EQ(grid.RowCount(), rowCount);
  EXPECT_EQ(grid.Cell(CaptureList::kNameCol, 1), "");
  EXPECT_EQ(grid.Cell(CaptureList::kNameCol, 0), "文件名");
}

// The watcher, the monitoring rules and the real type database together.
class MonitoringEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    watcher.SetWatchedDir(dir.Path());
    watcher.SetOnStatus([this](const std::string& text) { notices.push_back(text); });
    watcher.SetOnChange([this](TFileOperation op, const std::string& a, const std::string& b) {
      monitor.OnChange(op, a, b);
    });
    monitor.Start();
    watcher.SetActived(true);
    ASSERT_TRUE(Pumped([&] { return !notices.empty(); }));
  }

  bool Pumped(const std::function<bool()>& condition) {
    return test::WaitFor(condition, std::chrono::seconds(10), [this] {
      dispatcher.RunPending();
      monitor.Tick();
    });
  }

  test::TempDir dir;
  StringGrid grid{3, 1};
  CaptureList list{grid};
  CaptureMonitor monitor{list, [] { return CategorySelection{}; }};
  QueueDispatcher dispatcher;
  std::vector<std::string> notices;
  TFileSystemWatcher watcher{dispatcher};
};

TEST_F(MonitoringEndToEndTest, APictureWrittenIntoAFileCreatedEmptyIsListedByItsHead) {
  test::WriteFile(dir / "photo.dat", "");
  ASSERT_TRUE(Pumped([&] { return monitor.WaitingCount() == 1; }));
  test::WriteFile(dir / "photo.dat", JpegHead());
  ASSERT_TRUE(Pumped([&] { return list.CapturedCount() == 1; }));
  EXPECT_EQ(grid.Cell(CaptureList::kTypeCol, 1), ".jpg");
  EXPECT_EQ(list.CellColour(CaptureList::kTypeCol, 1), kHiddenTypeColour);
}

TEST_F(MonitoringEndToEndTest, AGrowingFileRenamedWhenDoneLeavesOneRowForItsNewName) {
  test::WriteFile(dir / "a.mp3", kText);
  ASSERT_TRUE(Pumped([&] { return list.CapturedCount() == 1; }));
  test::WriteFile(dir / "a.mp3", kText + kText);
  fs::rename(dir / "a.mp3", dir / "b.mp3");
  ASSERT_TRUE(Pumped([&] { return list.PathOfRow(1) == dir / "b.mp3"; }));
  EXPECT_EQ(list.CapturedCount(), 1);
  EXPECT_EQ(grid.Cell(CaptureList::kNameCol, 1), "b.mp3");
}

TEST_F(MonitoringEndToEndTest, ABrowserCacheEntryIsListedByItsBodyOnceComplete) {
  std::string entry = test::SimpleCacheEntry(test::kPngBody);
  std::string start = test::SimpleCacheEntryStart(test::SimpleEntryParts{}.key);
  test::WriteFile(dir / "Cache_Data/0123456789abcdef_0", start + test::kPngBody);
  ASSERT_TRUE(Pumped([&] { return monitor.WaitingCount() == 1; }));
  EXPECT_EQ(list.CapturedCount(), 0);
  test::WriteFile(dir / "Cache_Data/0123456789abcdef_0", entry);
  ASSERT_TRUE(Pumped([&] { return list.CapturedCount() == 1; }));
  EXPECT_EQ(grid.Cell(CaptureList::kTypeCol, 1), ".png");
}

}  // namespace
}  // namespace ravo
