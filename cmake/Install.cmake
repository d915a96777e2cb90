# Installation under a normal prefix layout, and the Debian package made from it:
#   bin/                     reelmaker, reelmaker-cli
#   share/reelmaker/         the program folder's data (profiles, themes, templates, pictures, ...)
#   share/applications/      the desktop entry
#   share/icons/hicolor/     the icon: the scalable SVG and the PNG sizes drawn by the build
#   share/metainfo/          the AppStream metadata
# Installed, the executables find share/reelmaker/ from bin/; run from the build's program folder
# they read the data beside themselves.
include(GNUInstallDirs)
set(RM_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/reelmaker)
file(RELATIVE_PATH RM_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/reelmaker)
target_compile_definitions(rm_model PRIVATE RM_DATA_FROM_BIN="${RM_DATA_FROM_BIN}")

set(RM_DESKTOP_ID com.orvane.Reelmaker)
set(RM_DESKTOP_SRC ${CMAKE_SOURCE_DIR}/resources/desktop)
set(RM_METAINFO ${CMAKE_BINARY_DIR}/desktop/${RM_DESKTOP_ID}.metainfo.xml CACHE INTERNAL "configured AppStream file")
configure_file(${RM_DESKTOP_SRC}/${RM_DESKTOP_ID}.metainfo.xml.in ${RM_METAINFO} @ONLY)

install(TARGETS reelmaker reelmaker-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The executables go to bin/; "temp" holds per-run files and is never shipped.
string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" rm_app_dir_regex "${RM_APP_DIR}")
install(DIRECTORY ${RM_APP_DIR}/ DESTINATION ${RM_INSTALL_DATA_DIR} USE_SOURCE_PERMISSIONS
  REGEX "^${rm_app_dir_regex}/(reelmaker|reelmaker-cli|temp)$" EXCLUDE)
install(FILES ${RM_DESKTOP_SRC}/${RM_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${RM_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${RM_DESKTOP_SRC}/${RM_DESKTOP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(TARGET app_icon_run)
  install(DIRECTORY ${RM_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

# `cpack -G DEB` in the build folder: the package installs under /usr; its dependencies are the
# shared libraries' packages as dpkg-shlibdeps finds them.
set(CPACK_PACKAGE_NAME reelmaker)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvane <support@orvane.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.orvane.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video converter that designs Flash players around its videos")
set(CPACK_PACKAGE_DESCRIPTION "Reelmaker collects videos in a task list, trims, crops and colours them
with a live preview and converts them to FLV and other formats, writing a
Flash (SWF) player, an HTML page and a thumbnail around each.
reelmaker-cli does the same without windows.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows need a Qt platform plugin, which no library links to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
