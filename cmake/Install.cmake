# Installing on Linux: the program, the command-line tools and the type
# database in a folder of their own (each finds ext.dll beside its own
# executable, through the link), links to them in bin/, the desktop entry,
# the icons, the AppStream metadata and manual pages made from the tools'
# help texts. `cpack -G DEB` (scripts/package) packages the same tree.
set(RAVO_INSTALL_DIR lib/ravo)
set(RAVO_TOOLS ravo-identify ravo-scan ravo-watch)
set(RAVO_PROGRAMS ${RAVO_TOOLS})
if(RAVO_BUILD_GUI)
  list(PREPEND RAVO_PROGRAMS ravo)
endif()

install(TARGETS ${RAVO_PROGRAMS} RUNTIME DESTINATION ${RAVO_INSTALL_DIR})
install(FILES ${RAVO_BIN_DIR}/ext.dll DESTINATION ${RAVO_INSTALL_DIR})

# Relative links, so that the tree works wherever it is unpacked.
set(link_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${link_dir})
foreach(program ${RAVO_PROGRAMS})
  file(CREATE_LINK ../${RAVO_INSTALL_DIR}/${program} ${link_dir}/${program} SYMBOLIC)
  install(FILES ${link_dir}/${program} DESTINATION bin)
endforeach()

set(dist ${PROJECT_SOURCE_DIR}/dist/linux)
install(FILES ${dist}/ravo.desktop DESTINATION share/applications)
install(FILES ${dist}/ravo.metainfo.xml DESTINATION share/metainfo)
install(FILES ${dist}/icons/ravo.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${dist}/icons/ravo-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME ravo.png)
endforeach()

# Manual pages of the tools, from their --help texts.
set(RAVO_SUMMARY_ravo-identify "按文件内容识别真实类型")
set(RAVO_SUMMARY_ravo-scan "按类别遍历目录，列出其中的媒体文件")
set(RAVO_SUMMARY_ravo-watch "监视目录中文件的变化，列出捕获的媒体文件")
set(man_pages)
foreach(tool ${RAVO_TOOLS})
  set(page ${CMAKE_BINARY_DIR}/man/${tool}.1)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/help-to-man $<TARGET_FILE:${tool}> ${tool}
            ${RAVO_SUMMARY_${tool}} ${PROJECT_VERSION} ${page}
    DEPENDS ${tool} ${PROJECT_SOURCE_DIR}/scripts/help-to-man
    COMMENT "Manual page ${tool}.1"
    VERBATIM)
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(ravo_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION share/man/man1)

# The Debian package: its dependencies on shared libraries are read off the
# programs by dpkg-shlibdeps; what they load at run time without linking it
# (Qt's platform and image plugins, the translations, the fonts, the opener
# of files) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ravo <support@ravo-soft.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps the media that reaches the disk while you browse")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "A desktop tool with a Chinese interface (Ravo上网自动下载工具) with a two-pane web\n"
  "browser of its own. While monitoring is on, every file that appears on the drives\n"
  "is identified by its first 51 bytes, and the pictures, music, video and\n"
  "animations among them are listed; a full-disk search finds them by extension\n"
  "and by content. Also the command-line tools ravo-identify, ravo-scan and\n"
  "ravo-watch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(RAVO_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
      "qt6-image-formats-plugins, qt6-translations-l10n, fonts-noto-cjk")
endif()
include(CPack)
