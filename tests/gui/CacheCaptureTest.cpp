// The whole way of a picture from a page in a browser pane to a saved copy:
// the pane's disk cache lies under a temporary home that drive C: points
// at, monitoring is on, and what the page loaded is listed by its real type
// and saved byte for byte as the server sent it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QPushButton>
#include <QTest>
#include <iostream>
#include <map>

#include "app/AdvStringGrid.h"
#include "app/Unit_main.h"
#include "platform/Drives.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

std::string Sample(const std::string& name) {
  return test::ReadFile(RAVO_SOURCE_DIR "/tests/typedb/samples/" + name);
}

TEST(CacheCaptureTest, WhatAPaneLoadsIsListedAndSavedAsServed) {
  // Outlives the browser profile, which writes until the application ends.
  static test::TempDir home;
  // Set before the first pane makes the browser profile.
  setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  platform::SetDriveTable({platform::Drive{'C', home.Path() + "/", platform::kDriveFixed}});

  const std::map<std::string, std::string> served = {
      {".png", Sample("picture.png")}, {".jpg", Sample("picture.jpg")}, {".mp4", Sample("video.mp4")}};
  test::LocalHttpServer server;
  const QByteArray cacheable = "Cache-Control: max-age=3600\r\n";
  server.Serve("/pic.png", {QByteArray::fromStdString(served.at(".png")), 200,
                            cacheable + "Content-Type: image/png\r\n"});
  server.Serve("/photo.jpg", {QByteArray::fromStdString(served.at(".jpg")), 200,
                              cacheable + "Content-Type: image/jpeg\r\n"});
  server.Serve("/clip.mp4", {QByteArray::fromStdString(served.at(".mp4")), 200,
                             cacheable + "Content-Type: video/mp4\r\n"});
  server.Serve("/page.html",
               QStringLiteral("<!doctype html><body><img src=pic.png><img src=photo.jpg>"
                              "<script>fetch('clip.mp4').then(r => r.arrayBuffer())</script>"));

  TForm_main window;
  std::vector<std::string> errors;
  window.reportError = [&](const std::string& message) { errors.push_back(message); };
  window.show();
  window.Button1->click();  // 开始监视
  ASSERT_TRUE(test::WaitForQt([&] { return window.StatusText().find("已开始监视") == 0; }));

  window.web->Navigate(server.Url("/page.html"));
  auto captured = [&] {
    std::map<std::string, std::string> pathOf;
    for (int row = 1; row <= window.Captured().CapturedCount(); ++row) {
      pathOf[window.Captured().Grid().Cell(1, row)] = *window.Captured().PathOfRow(row);
    }
    return pathOf;
  };
  ASSERT_TRUE(test::WaitForQt(
      [&] {
        auto pathOf = captured();
        return pathOf.count(".png") && pathOf.count(".jpg") && pathOf.count(".mp4");
      },
      std::chrono::seconds(60)))
      << "captured " << captured().size() << " rows";

  for (const auto& [type, path] : captured()) {
    if (!served.count(type)) continue;
    int row = window.Captured().RowOfPath(path);
    std::string target = home / ("saved" + type);
    window.askSaveName = [&](const std::string&) -> std::optional<std::string> { return target; };
    window.AdvStringGrid1->SelectRow(row);
    window.Button2->click();
    EXPECT_EQ(test::ReadFile(target), served.at(type)) << type << " from " << path;
    std::cout << type << " captured from " << path << "\n";
  }
  EXPECT_TRUE(errors.empty());
  window.Button1->click();
}

}  // namespace
}  // namespace ravo
