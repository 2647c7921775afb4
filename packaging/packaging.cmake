# Installing and packaging: the four programs and their manual pages, the data set the
# build generates, the desktop entry, its icon, the AppStream metadata, the copyright
# and the changelog; `cpack -G DEB` makes the Debian packages from the same install
# rules, one per component: `program` (package sunmarrow) and `data` (package
# sunmarrow-data, architecture all). Included from the top-level CMakeLists.txt.

set(SUNMARROW_APP_ID org.tessaly.Sunmarrow)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME program)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The packages are native (made where the program is made), so their version is the
# project's, and the changelog's newest entry must say so.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^sunmarrow \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: the newest entry is not version ${PROJECT_VERSION}: "
    "add an entry for this version at its top")
endif()

# Manual pages, made from each program's own --help and --version, so they say what
# the program says. The player's help lists the data folders it would look in, which
# depend on where it is: help2man asks a copy of each program set up in a stage as if
# installed, through packaging/man_help.sh, which names the stage by the configured
# prefix (so no build path shows) and puts the help in the shape help2man reads.
find_program(HELP2MAN help2man REQUIRED)
set(man_stage ${CMAKE_BINARY_DIR}/man/stage)
set(man_names_sunmarrow "self-running real-time show, repainted as brush strokes")
set(man_names_sunmarrow-capture "render the show headless: frames, video, stroke and field dumps, benchmarks")
set(man_names_sunmarrow-scene "inspect a scene file: structure and evaluated values as JSON")
set(man_names_sunmarrow-data "generate the show's default data set")
set(man_pages)
foreach(program sunmarrow sunmarrow-scene sunmarrow-capture sunmarrow-data)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    set(asked ${CMAKE_BINARY_DIR}/man/ask/${program})
    file(WRITE ${asked} "#!/bin/sh\nexec sh '${CMAKE_SOURCE_DIR}/packaging/man_help.sh' "
      "'${man_stage}/${CMAKE_INSTALL_BINDIR}/${program}' '${man_stage}' '${CMAKE_INSTALL_PREFIX}' \"$@\"\n")
    file(CHMOD ${asked} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${man_stage}/${CMAKE_INSTALL_BINDIR}/${program}
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
        ${HELP2MAN} --no-info --section=1 --name=${man_names_${program}} --output=${page} ${asked}
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${CMAKE_SOURCE_DIR}/packaging/man_help.sh
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
add_custom_target(sunmarrow-man ALL DEPENDS ${man_pages})

# Each package's doc folder: the machine-readable copyright and the changelog (a native
# package's is changelog.gz).
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/changelog ${changelog}
  COMMAND gzip -9nf ${changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(sunmarrow-changelog ALL DEPENDS ${changelog}.gz)
foreach(component program data)
  set(package sunmarrow)
  if(component STREQUAL data)
    set(package sunmarrow-data)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# The data set: written by sunmarrow-data into the build folder's data/, again whenever
# the generator changes. The player and the capture tool built here find it there.
if(SUNMARROW_DATA AND TARGET sunmarrow-data)
  set(data_names
    intro1.csi intro2.csi intro3.csi intro4.csi trees.csi clouds.csi bird2.csi flowers.csi moon.csi
    texture.raw texture_flowers.raw texter4.raw stroke4_A_32_128.raw sunmarrow.mp3)
  list(TRANSFORM data_names PREPEND ${CMAKE_BINARY_DIR}/data/ OUTPUT_VARIABLE data_files)
  add_custom_command(OUTPUT ${data_files}
    COMMAND sunmarrow-data --out ${CMAKE_BINARY_DIR}/data
    DEPENDS sunmarrow-data
    COMMENT "Generating the data set in data/"
    VERBATIM)
  add_custom_target(sunmarrow-dataset ALL DEPENDS ${data_files})
  install(FILES ${data_files} DESTINATION ${SUNMARROW_DATA_DESTINATION} COMPONENT data)
endif()

# The icon: the settings form's picture, cut square around its sun, at the usual sizes.
set(icon_sizes 16 22 24 32 48 64 128 256)
add_executable(sunmarrow-icon ${CMAKE_SOURCE_DIR}/packaging/make_icon.cpp ${CMAKE_SOURCE_DIR}/src/platform/form/settings_picture.cpp)
target_include_directories(sunmarrow-icon PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(sunmarrow-icon PRIVATE sunmarrow_png)
set(icon_files)
foreach(size ${icon_sizes})
  list(APPEND icon_files ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps/${SUNMARROW_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
  COMMAND sunmarrow-icon ${CMAKE_BINARY_DIR}/icons ${SUNMARROW_APP_ID} ${icon_sizes}
  DEPENDS sunmarrow-icon
  COMMENT "Painting the icon"
  VERBATIM)
add_custom_target(sunmarrow-icons ALL DEPENDS ${icon_files})
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
  FILES_MATCHING PATTERN "${SUNMARROW_APP_ID}.png")

install(FILES ${CMAKE_SOURCE_DIR}/packaging/${SUNMARROW_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${SUNMARROW_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The Debian packages. sunmarrow's dependencies come from the shared libraries the
# programs actually link (dpkg-shlibdeps); the programs are stripped, the debug info
# stays in the build. The programs carry the data folder of the prefix the build was
# configured for, so a package is made only from a build configured for /usr (the
# check is packaging/cpack_checks.cmake, run by cpack).
set(CPACK_GENERATOR DEB)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/packaging/cpack_checks.cmake)
set(CPACK_SUNMARROW_BUILD_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_SUNMARROW_HAS_DATA ${SUNMARROW_DATA})
set(CPACK_PACKAGE_NAME sunmarrow)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_CONTACT "Tessaly <sunmarrow@tessaly.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program data)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE sunmarrow)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(package_version ${PROJECT_VERSION})

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME sunmarrow)
# Each description's first line is the package's summary.
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
  "self-running real-time show, repainted as brush strokes
Nine keyframe-animated 3D scenes play on a fixed 204-second timetable,
each frame repainted in a painterly style, with captions and a soundtrack.
Includes the headless renderer (frames, video), the scene inspector and
the data generator.")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SHLIBDEPS ON)
# SDL opens the GL and EGL libraries itself at run time, so no link names them; the
# data generator draws the captions with the DejaVu fonts.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS
  "libgl1, libegl1, sunmarrow-data (= ${package_version}), fonts-dejavu-core, fonts-dejavu-extra")
# ffmpeg for sunmarrow-capture video.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS ffmpeg)

set(CPACK_DEBIAN_DATA_PACKAGE_NAME sunmarrow-data)
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_DATA_DESCRIPTION
  "data set of the self-running real-time show sunmarrow
The data set the show plays: nine scenes, two texture atlases, the caption
texture, the brush and 204 seconds of music, generated from fixed seeds by
sunmarrow-data. The programs are in the package sunmarrow.")
include(CPack)
