# What `cmake --install` puts under the prefix: the two tools, libpitchtrack.a with its public
# header, a CMake package (find_package(pitchtrack CONFIG) -> pitchtrack::audio), a pkg-config
# file and the manual pages.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PT_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pitchtrack)

install(TARGETS pitchtrack pitchplot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pt_public EXPORT pitchtrackTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
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

# The pkg-config file finds the prefix from its own place, so it stays right whatever prefix
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
if(PT_SANITIZE)
  set(PT_PC_EXTRA_LIBS " -fsanitize=address,undefined")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/pitchtrack.pc.in ${PROJECT_BINARY_DIR}/pitchtrack.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pitchtrack.pc DESTINATION ${PT_PC_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/man/pitchtrack.1 ${PROJECT_SOURCE_DIR}/man/pitchplot.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
