# What `cmake --install` puts where, and the Debian package CPack makes of it.
# Included by the top-level CMakeLists.txt after the game's targets.
#
# Games are laid out as Debian lays them out: the executable in <prefix>/games,
# the data in <prefix>/share/games/tarvik3d. Both are relative to the prefix,
# and the executable finds its data from its own place, so an installation
# still runs after its prefix has been moved.
include(GNUInstallDirs)

set(TARVIK_INSTALL_GAMESDIR "games" CACHE STRING
    "Folder of the executable, relative to the install prefix")
set(TARVIK_INSTALL_GAMEDATADIR "${CMAKE_INSTALL_DATADIR}/games/tarvik3d" CACHE STRING
    "Folder of the game's data, relative to the install prefix")
foreach(folder IN ITEMS TARVIK_INSTALL_GAMESDIR TARVIK_INSTALL_GAMEDATADIR)
  if(IS_ABSOLUTE "${${folder}}")
    message(FATAL_ERROR "${folder} must be relative to the install prefix: the game finds its data from its own place")
  endif()
endforeach()
file(RELATIVE_PATH data_from_executable "/${TARVIK_INSTALL_GAMESDIR}" "/${TARVIK_INSTALL_GAMEDATADIR}")

# The component id of the metainfo, and where the screenshots of docs/screenshots
# are published for software centres (metainfo images must be web addresses).
set(TARVIK_APP_ID "io.github.tarvik3d.tarvik3d")
set(TARVIK_HOMEPAGE "https://tarvik3d.github.io/" CACHE STRING "The game's home page; docs/screenshots/ is published below it")
set(TARVIK_RELEASE_DATE "2026-12-10")
# The size of the frames the screenshot tests draw (the window's client area
# without the menu bar); scripts/check_screenshots.sh holds the copies to it.
set(TARVIK_SHOT_WIDTH 1024)
set(TARVIK_SHOT_HEIGHT 749)

target_compile_definitions(t3d_app PRIVATE
  TARVIK_VERSION="${PROJECT_VERSION}"
  TARVIK_DATA_FROM_EXECUTABLE="${data_from_executable}")
# The whole offset table read-only once the game runs, as Debian hardens programs.
target_link_options(tarvik3d PRIVATE "LINKER:-z,relro,-z,now")

# An install builds nothing itself: ./package.sh builds the few targets it
# needs instead of every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Manual page and Debian changelog, compressed without a time stamp so that the
# package is the same for the same sources.
set(dist_made "${CMAKE_BINARY_DIR}/dist")
file(MAKE_DIRECTORY "${dist_made}")
add_custom_command(OUTPUT "${dist_made}/tarvik3d.6.gz"
  COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/dist/tarvik3d.6' > '${dist_made}/tarvik3d.6.gz'"
  DEPENDS "${CMAKE_SOURCE_DIR}/dist/tarvik3d.6" VERBATIM)
add_custom_command(OUTPUT "${dist_made}/changelog.gz"
  COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/dist/changelog' > '${dist_made}/changelog.gz'"
  DEPENDS "${CMAKE_SOURCE_DIR}/dist/changelog" VERBATIM)
add_custom_target(tarvik3d_dist ALL DEPENDS "${dist_made}/tarvik3d.6.gz" "${dist_made}/changelog.gz")
configure_file("${CMAKE_SOURCE_DIR}/dist/tarvik3d.metainfo.xml.in" "${dist_made}/${TARVIK_APP_ID}.metainfo.xml" @ONLY)

install(TARGETS tarvik3d RUNTIME DESTINATION "${TARVIK_INSTALL_GAMESDIR}")
# A high.dat of the source tree holds its developer's laps, not the game's.
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/" DESTINATION "${TARVIK_INSTALL_GAMEDATADIR}"
  PATTERN "high.dat" EXCLUDE PATTERN "high.dat.tmp*" EXCLUDE)
# The desktop entry starts the executable by its full path, taken when it is
# installed (the prefix of `cmake --install --prefix`, /usr in the package):
# the menu then finds the game also where the games folder is not on PATH
# (root's PATH on Debian, any other prefix).
install(CODE "
  file(READ \"${CMAKE_SOURCE_DIR}/dist/tarvik3d.desktop\" entry)
  string(REPLACE \"@EXECUTABLE@\" \"\${CMAKE_INSTALL_PREFIX}/${TARVIK_INSTALL_GAMESDIR}/tarvik3d\" entry \"\${entry}\")
  file(WRITE \"${dist_made}/applications/tarvik3d.desktop\" \"\${entry}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\" TYPE FILE
       FILES \"${dist_made}/applications/tarvik3d.desktop\")
")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/resources/hicolor/" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor")
install(FILES "${dist_made}/${TARVIK_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${dist_made}/tarvik3d.6.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${CMAKE_SOURCE_DIR}/dist/copyright" "${dist_made}/changelog.gz"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tarvik3d")
install(FILES "${CMAKE_SOURCE_DIR}/dist/lintian-overrides" DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
  RENAME tarvik3d)

# The Debian package: tarvik3d_<version>_amd64.deb with /usr as its prefix, its
# library dependencies found in the executable by dpkg-shlibdeps.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarvik3d")
set(CPACK_PACKAGE_VENDOR "Tarvik 3D")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small 3D arcade racer with a formula car")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Drive a formula car over a tiled course of wooden planks, grass, stone\nwalls, water and a metal bridge, against the clock. A camera flight\nshows the title; laps are timed between gates, and the five best laps\ngo into a highscore table kept for each player. The game speaks German.")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(TARVIK_PACKAGE_MAINTAINER "Tarvik 3D developers <tarvik3d@example.org>" CACHE STRING
    "Name and address of the package's maintainer, for the package's control file")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVIK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARVIK_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries do not say: the OpenGL driver libepoxy opens at run time,
# the font the game asks for by the name Arial, the opener of the info page,
# and libdecor's plugin that draws the window's title bar on Wayland (SDL
# opens libdecor at run time; without a plugin the window has no frame).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libdecor-0-plugin-1-cairo | libdecor-0-plugin-1")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
