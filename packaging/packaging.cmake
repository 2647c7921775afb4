# Installing and packaging: the four programs, the data set the build generates, the
# desktop entry, its icon and the AppStream metadata; `cpack -G DEB` makes the Debian
# package from the same install rules. Included from the top-level CMakeLists.txt.

set(SUNMARROW_APP_ID org.tessaly.Sunmarrow)

install(TARGETS sunmarrow RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(tool sunmarrow-scene sunmarrow-capture sunmarrow-data)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
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
  install(FILES ${data_files} DESTINATION ${SUNMARROW_DATA_DESTINATION})
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

# The Debian package. Its dependencies come from the shared libraries the programs
# actually link (dpkg-shlibdeps); the programs are stripped, the debug info stays in
# the build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sunmarrow)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_CONTACT "Tessaly <sunmarrow@tessaly.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-running real-time show, repainted as brush strokes")
set(CPACK_PACKAGE_DESCRIPTION
  "Nine keyframe-animated 3D scenes play on a fixed 204-second timetable, each frame\n\
repainted in a painterly style, with captions and a soundtrack. Includes the\n\
headless renderer (frames, video), the scene inspector and the data generator.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL opens the GL and EGL libraries itself at run time, so no link names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
# ffmpeg for sunmarrow-capture video; DejaVu for sunmarrow-data's captions.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg, fonts-dejavu-core")
include(CPack)
