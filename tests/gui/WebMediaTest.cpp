// Today's web in the real window, offscreen, against a server on 127.0.0.1:
// new formats loaded by a pane are listed by their real types, downloads a
// page starts land in the download folder, and a Chinese page that does not
// say its encoding reads right. The browser profile is made once per
// process: its cache lies under a temporary home that drive C: points at.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <map>

#include "app/CaptureList.h"
#include "app/Unit_main.h"
#include "platform/Drives.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

std::string Sample(const std::string& name) {
  return test::ReadFile(RAVO_SOURCE_DIR "/tests/typedb/samples/" + name);
}

class WebMediaTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new test::TempDir();
    // Set before the first pane makes the browser profile.
    setenv("HOME", home_->Path().c_str(), 1);
    setenv("XDG_CACHE_HOME", (*home_ / "cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (*home_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (*home_ / "config").c_str(), 1);
    test::WriteFile(*home_ / "config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n");
    platform::SetDriveTable({platform::Drive{'C', home_->Path() + "/", platform::kDriveFixed}});
  }
  // The profile writes until the application ends: the home stays.

  void SetUp() override {
    window.reportError = [this](const std::string& message) { errors.push_back(message); };
    window.show();
  }
  void TearDown() override { EXPECT_TRUE(errors.empty()) << errors.front(); }

  // Type → path of every captured row.
  std::map<std::string, std::string> Captured() {
    std::map<std::string, std::string> pathOf;
    for (int row = 1; row <= window.Captured().CapturedCount(); ++row) {
      pathOf[window.Captured().Grid().Cell(CaptureList::kTypeCol, row)] =
          *window.Captured().PathOfRow(row);
    }
    return pathOf;
  }

  void StartMonitoring() {
    window.Button1->click();
    ASSERT_TRUE(test::WaitForQt([&] { return window.StatusText().find("已开始监视") == 0; }));
  }

  static inline test::TempDir* home_ = nullptr;
  test::LocalHttpServer server;
  TForm_main window;
  std::vector<std::string> errors;
};

const QByteArray kCacheable = "Cache-Control: max-age=3600\r\n";

// Serves the four samples under the folder and a page that fetches them.
void ServeNewFormats(test::LocalHttpServer& server, const QByteArray& folder) {
  const std::pair<const char*, const char*> files[] = {{"other.webp", "image/webp"},
                                                       {"modern.avif", "image/avif"},
                                                       {"other.webm", "video/webm"},
                                                       {"other.ogg", "audio/ogg"}};
  QString fetches;
  for (const auto& [name, type] : files) {
    server.Serve(folder + name, {QByteArray::fromStdString(Sample(name)), 200,
                                 kCacheable + "Content-Type: " + type + "\r\n"});
    fetches += QStringLiteral("fetch('%1').then(r => r.arrayBuffer());").arg(name);
  }
  server.Serve(folder + "page.html",
               QStringLiteral("<!doctype html><body><script>%1</script>").arg(fetches));
}

TEST_F(WebMediaTest, TodaysFormatsArePickedUpWhileTheirBoxIsTicked) {
  ServeNewFormats(server, "/first/");
  ServeNewFormats(server, "/second/");
  StartMonitoring();
  window.web->Navigate(server.Url("/first/page.html"));
  ASSERT_TRUE(test::WaitForQt(
      [&] {
        auto pathOf = Captured();
        return pathOf.count(".webp") && pathOf.count(".avif") && pathOf.count(".webm") &&
               pathOf.count(".ogg");
      },
      std::chrono::seconds(60)))
      << Captured().size() << " rows";
  EXPECT_EQ(test::ReadFile(window.Captured().PathOfRow(1).value_or("")).empty(), false);

  // Cleared, the box takes none of them; the others take none either.
  window.CheckBox5->setChecked(false);
  int rows = window.Captured().CapturedCount();
  window.web->Navigate(server.Url("/second/page.html"));
  ASSERT_TRUE(test::WaitForQt([&] { return server.Hits("/second/other.ogg") == 1; }));
  test::RunEventsFor(std::chrono::seconds(2));
  EXPECT_EQ(window.Captured().CapturedCount(), rows);

  // A WebP copied in under a picture's name: first known by its name, then
  // by its content.
  window.CheckBox5->setChecked(true);
  std::string copy = *home_ / "photo.jpg";
  test::WriteFile(copy, "");
  ASSERT_TRUE(test::WaitForQt([&] { return window.Captured().RowOfPath(copy) != 0; }));
  test::WriteFile(copy, Sample("other.webp"));
  ASSERT_TRUE(test::WaitForQt([&] {
    int row = window.Captured().RowOfPath(copy);
    return row != 0 && window.Captured().Grid().Cell(CaptureList::kTypeCol, row) == ".webp";
  }));
  EXPECT_TRUE(window.Captured().CellColour(CaptureList::kTypeCol, window.Captured().RowOfPath(copy)));
  window.Button1->click();
}

TEST_F(WebMediaTest, DownloadsLandInTheDownloadFolderUnderFreeNames) {
  const std::string served = Sample("other.webm");
  const QByteArray attachment = "Content-Disposition: attachment; filename=\"film.webm\"\r\n";
  server.Serve("/film.webm", {QByteArray::fromStdString(served), 200,
                              "Content-Type: video/webm\r\n" + attachment});
  server.Serve("/stalls.webm", {QByteArray(200000, 'x'), 200,
                                "Content-Type: application/octet-stream\r\n"
                                "Content-Disposition: attachment; filename=\"stalls.webm\"\r\n",
                                1000});
  server.Serve("/page.html", QStringLiteral("<!doctype html><title>下载</title>"
                                            "<a id=a href=film.webm download>片</a>"
                                            "<a id=s href=stalls.webm download>慢</a>"));
  StartMonitoring();
  window.web->Navigate(server.Url("/page.html"));
  ASSERT_TRUE(test::WaitForQt([&] { return window.web->title() == QStringLiteral("下载"); }));
  const std::string folder = *home_ / "下载";
  auto click = [&](const char* id) {
    window.web->page()->runJavaScript(QStringLiteral("document.getElementById('%1').click()").arg(id));
  };
  auto lines = [&] { return window.DownloadBar1->Lines().join('\n').toStdString(); };

  click("a");
  ASSERT_TRUE(test::WaitForQt([&] { return lines().find("已下载 film.webm") != std::string::npos; }))
      << lines();
  EXPECT_EQ(test::ReadFile(folder + "/film.webm"), served);
  click("a");
  ASSERT_TRUE(test::WaitForQt([&] {
    return lines().find("已下载 film (1).webm") != std::string::npos;
  })) << lines();
  EXPECT_EQ(test::ReadFile(folder + "/film (1).webm"), served);
  EXPECT_FALSE(window.DownloadBar1->isHidden());

  // A download that stalls is cancelled: nothing is left of it.
  click("s");
  ASSERT_TRUE(test::WaitForQt([&] { return lines().find("正在下载 stalls.webm") != std::string::npos; }))
      << lines();
  window.DownloadBar1->CancelAll();
  ASSERT_TRUE(test::WaitForQt([&] { return lines().find("已取消下载 stalls.webm") != std::string::npos; }))
      << lines();
  EXPECT_FALSE(platform::QueryFile(folder + "/stalls.webm").exists);

  // The finished downloads are captured under their names; no name of the
  // engine's own is ever listed.
  ASSERT_TRUE(test::WaitForQt([&] { return window.Captured().RowOfPath(folder + "/film (1).webm"); }));
  EXPECT_NE(window.Captured().RowOfPath(folder + "/film.webm"), 0);
  std::map<std::string, int> rowsOf;
  for (int row = 1; row <= window.Captured().CapturedCount(); ++row) {
    ++rowsOf[*window.Captured().PathOfRow(row)];
  }
  EXPECT_EQ(rowsOf[folder + "/film.webm"], 1);
  EXPECT_EQ(rowsOf[folder + "/film (1).webm"], 1);
  for (int row = 1; row <= window.Captured().CapturedCount(); ++row) {
    std::string name = window.Captured().Grid().Cell(CaptureList::kNameCol, row);
    EXPECT_FALSE(name.starts_with(".org.chromium") || name.ends_with("download")) << name;
    EXPECT_NE(name, "") << "row " << row;
  }
  window.Button1->click();
}

// A page's own player fed through Media Source Extensions, two buffers,
// one segment out of order and one twice: while monitoring is on the video
// is kept, listed as it grows, and ends up as one file with picture and
// sound; with monitoring off nothing is written.
TEST_F(WebMediaTest, AStreamedVideoIsKeptAsOneFileWhileMonitoring) {
  if (!media::test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is needed to make the stream";
  test::TempDir made;
  media::test::Dash dash = media::test::MakeDash(made / "dash", true);
  auto serve = [&](const QByteArray& name, const std::string& bytes) {
    server.Serve("/mse/" + name, {QByteArray::fromStdString(bytes), 200,
                                  "Content-Type: application/octet-stream\r\n"});
  };
  serve("v-init", dash.video.init);
  serve("a-init", dash.audio.init);
  for (std::size_t i = 0; i < dash.video.media.size(); ++i) serve("v" + QByteArray::number(int(i)), dash.video.media[i]);
  for (std::size_t i = 0; i < dash.audio.media.size(); ++i) serve("a" + QByteArray::number(int(i)), dash.audio.media[i]);
  QString audioNames;
  for (std::size_t i = 0; i < dash.audio.media.size(); ++i) audioNames += QStringLiteral(",'a%1'").arg(i);
  const QString player = QStringLiteral(
      "<!doctype html><title>loading</title><video id=v muted></video><script>"
      "const ms = new MediaSource(); v.src = URL.createObjectURL(ms);"
      "ms.addEventListener('sourceopen', async () => {"
      "  const vb = ms.addSourceBuffer('video/webm; codecs=\"vp9\"');"
      "  const ab = ms.addSourceBuffer('audio/webm; codecs=\"opus\"');"
      "  const get = async n => new Uint8Array(await (await fetch(n)).arrayBuffer());"
      "  const put = (b, d) => new Promise(r => { b.addEventListener('updateend', r, {once: true});"
      "                                          b.appendBuffer(d); });"
      "  for (const n of ['v-init','v0','v2','v1','v1','v3']) await put(vb, await get(n));"
      "  for (const n of ['a-init'%1]) await put(ab, await get(n));"
      "  ms.endOfStream(); document.title = 'done ' + location.pathname;"
      "});</script>").arg(audioNames);
  server.Serve("/mse/off.html", player);
  server.Serve("/mse/on.html", player);
  // The same player on a page that asks for protected media first.
  server.Serve("/mse/protected.html",
               QString(player).replace(QStringLiteral("const ms = new MediaSource();"),
                                       QStringLiteral("navigator.requestMediaKeySystemAccess("
                                                      "'org.w3.clearkey', [{}]).catch(() => {});"
                                                      "const ms = new MediaSource();")));

  const std::string folder = *home_ / "Videos/Ravo上网自动下载工具";
  auto files = [&] {
    std::vector<std::string> names;
    if (platform::QueryFile(folder).isDirectory) {
      for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path());
    }
    return names;
  };

  // Off: nothing is written.
  window.web->Navigate(server.Url("/mse/off.html"));
  ASSERT_TRUE(test::WaitForQt([&] { return window.web->title() == QStringLiteral("done /mse/off.html"); }));
  test::RunEventsFor(std::chrono::milliseconds(500));
  EXPECT_TRUE(files().empty());

  StartMonitoring();
  window.web->Navigate(server.Url("/mse/on.html"));
  ASSERT_TRUE(test::WaitForQt([&] { return window.web->title() == QStringLiteral("done /mse/on.html"); }));
  ASSERT_TRUE(test::WaitForQt(
      [&] {
        auto now = files();
        return now.size() == 1 && !now[0].ends_with(".download") &&
               media::test::DecodesCleanly(now[0]);
      },
      std::chrono::seconds(30)))
      << window.StatusText();
  std::string film = files()[0];
  EXPECT_TRUE(film.ends_with(".webm")) << film;
  std::string streams;
  media::test::Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + film + "'",
                     &streams);
  EXPECT_EQ(streams, "video\naudio\n");
  EXPECT_NEAR(media::test::DurationOf(film), 4.0, 0.5);
  EXPECT_TRUE(test::WaitForQt([&] { return window.Captured().RowOfPath(film) != 0; }));

  // Protected media is not kept, and the user is told.
  window.web->Navigate(server.Url("/mse/protected.html"));
  ASSERT_TRUE(test::WaitForQt(
      [&] { return window.web->title() == QStringLiteral("done /mse/protected.html"); }));
  EXPECT_TRUE(test::WaitForQt([&] { return window.StatusText() == "受保护的视频无法保存"; }))
      << window.StatusText();
  test::RunEventsFor(std::chrono::seconds(1));
  EXPECT_EQ(files(), std::vector<std::string>{film});
  window.Button1->click();
}

TEST_F(WebMediaTest, AChinesePageWithoutAnEncodingIsReadAsGbk) {
  // "中文网页" and "你好" in GBK.
  QByteArray gbk =
      "<html><head><title>\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3</title></head>"
      "<body>\xC4\xE3\xBA\xC3</body></html>";
  server.Serve("/gbk.html", {gbk, 200, "Content-Type: text/html\r\n"});
  server.Serve("/utf8.html", QStringLiteral("<title>声明了编码</title>"));
  window.web->Navigate(server.Url("/gbk.html"));
  EXPECT_TRUE(test::WaitForQt([&] { return window.web->title() == QStringLiteral("中文网页"); }))
      << window.web->title().toStdString();
  window.web->Navigate(server.Url("/utf8.html"));
  EXPECT_TRUE(test::WaitForQt([&] { return window.web->title() == QStringLiteral("声明了编码"); }))
      << window.web->title().toStdString();
}

}  // namespace
}  // namespace ravo
