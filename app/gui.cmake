# The window: Qt Widgets on top of the capture engine.
add_library(ravo_gui STATIC
  AdvStringGrid.cpp
  DownloadBar.cpp
  ErrorReport.cpp
  JpegImage.cpp
  QtDispatcher.cpp
  StreamCaptureHost.cpp
  ThumbnailLoader.cpp
  Unit_main.cpp
  ${PROJECT_SOURCE_DIR}/fsutil/velDialogs.cpp
)
qt_add_resources(ravo_gui scripts
  PREFIX /scripts
  BASE resources
  FILES resources/stream-capture.js
)
qt_add_resources(ravo_gui pictures
  PREFIX /pictures
  BASE resources
  FILES resources/start.jpg resources/capture.png resources/browse.png
)
qt_add_resources(ravo_gui icons
  PREFIX /icons
  BASE ${PROJECT_SOURCE_DIR}/dist/linux/icons
  FILES ${PROJECT_SOURCE_DIR}/dist/linux/icons/ravo-32.png
        ${PROJECT_SOURCE_DIR}/dist/linux/icons/ravo-64.png
        ${PROJECT_SOURCE_DIR}/dist/linux/icons/ravo-256.png
)
target_link_libraries(ravo_gui PUBLIC ravo_capture ravo_browser ravo_widgets ravo_streamcapture
  Qt6::Widgets Qt6::WebChannel JPEG::JPEG)

add_executable(ravo main.cpp)
target_link_libraries(ravo PRIVATE ravo_gui)
# A window program: no console window with it on Windows.
set_target_properties(ravo PROPERTIES WIN32_EXECUTABLE ON)

# Benchmark: the window's search against ravo-scan (not a test).
add_executable(ravo-bench-window-search ${PROJECT_SOURCE_DIR}/bench/window/WindowSearchBench.cpp)
target_link_libraries(ravo-bench-window-search PRIVATE ravo_gui)
