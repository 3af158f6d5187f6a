# What `cmake --install` puts under the prefix: the two tools, libpitchtrack.a and
# libpitchtrack.so with the public headers, a CMake package (find_package(pitchtrack CONFIG) ->
# pitchtrack::pitchtrack, pitchtrack::shared, and pitchtrack::audio for consumers of the first
# version), pkg-config files for shared and static use, and the manual pages.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PT_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pitchtrack)

if(PT_BUILD_TOOLS)
  install(TARGETS pitchtrack_tool pitchplot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS pitchtrack pitchtrack_shared EXPORT pitchtrackTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pitchtrack
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT pitchtrackTargets NAMESPACE pitchtrack:: DESTINATION ${PT_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pitchtrackConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/pitchtrackConfig.cmake
                              INSTALL_DESTINATION ${PT_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pitchtrackConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pitchtrackConfig.cmake
              ${PROJECT_BINARY_DIR}/pitchtrackConfigVersion.cmake
        DESTINATION ${PT_PACKAGE_DIR})

# The pkg-config files find the prefix from their own place, so they stay right whatever prefix
# `cmake --install --prefix` is given.
set(PT_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(PT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(PT_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(PT_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH PT_PC_UP /prefix/${PT_PC_DIR} /prefix)
  string(REGEX REPLACE "/$" "" PT_PC_UP "${PT_PC_UP}")
  set(PT_PC_PREFIX "\${pcfiledir}/${PT_PC_UP}")
  set(PT_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(PT_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
set(PT_PC_EXTRA_LIBS "")
if(PT_CHECK_FLAGS)
  list(JOIN PT_CHECK_FLAGS " " PT_PC_EXTRA_LIBS)
  set(PT_PC_EXTRA_LIBS " ${PT_PC_EXTRA_LIBS}")
endif()
# libsndfile, when the library uses it, is linked by the library itself (shared) or by its
# users (static).
set(PT_PC_SNDFILE "")
set(PT_PC_REQUIRES "")
if(PT_HAVE_SNDFILE)
  set(PT_PC_SNDFILE " -lsndfile")
  set(PT_PC_REQUIRES "Requires.private: sndfile")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/pitchtrack.pc.in ${PROJECT_BINARY_DIR}/pitchtrack.pc @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pitchtrack-static.pc.in
               ${PROJECT_BINARY_DIR}/pitchtrack-static.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pitchtrack.pc ${PROJECT_BINARY_DIR}/pitchtrack-static.pc
        DESTINATION ${PT_PC_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/man/pitchtrack.1 ${PROJECT_SOURCE_DIR}/man/pitchplot.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
