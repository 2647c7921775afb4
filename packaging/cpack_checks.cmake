# Run by cpack before it packages (CPACK_PROJECT_CONFIG_FILE): the packaged programs
# look for the installed data set under the prefix the build was configured for, and
# the packages install into /usr, so a build for another prefix would look in the wrong
# place; and sunmarrow depends on a sunmarrow-data that holds the data set.
if(CPACK_GENERATOR STREQUAL "DEB")
  if(NOT CPACK_SUNMARROW_BUILD_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
    message(FATAL_ERROR "The Debian packages install into ${CPACK_PACKAGING_INSTALL_PREFIX}, but this build "
      "is configured for ${CPACK_SUNMARROW_BUILD_PREFIX}: configure a build for packaging with "
      "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX} (see the README's Installing section).")
  endif()
  if(NOT CPACK_SUNMARROW_HAS_DATA)
    message(FATAL_ERROR "This build makes no data set (SUNMARROW_DATA is OFF), so there is no sunmarrow-data to package.")
  endif()
endif()
