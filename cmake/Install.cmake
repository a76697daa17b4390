# What `cmake --install` puts down: the libraries with their public headers and
# the Kestrum CMake package (component Development), Velmora with its desktop
# entry, icons, metainfo and man page (component Runtime), and the Debian
# package CPack builds from the Runtime component.
include(CMakePackageConfigHelpers)
set(KESTRUM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrum)

get_property(kestrum_libraries GLOBAL PROPERTY KESTRUM_INSTALLED_LIBRARIES)
install(TARGETS ${kestrum_libraries} EXPORT KestrumTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestrum)

# Public headers only: the grid's private implementation, the generic
# containers in detail/ and the row-tree headers that include them stay out.
install(DIRECTORY common gui DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestrum COMPONENT Development
  FILES_MATCHING PATTERN "*.h"
  PATTERN "*Impl*" EXCLUDE
  PATTERN "detail" EXCLUDE
  PATTERN "GridItem.h" EXCLUDE
  PATTERN "GridRows.h" EXCLUDE
  PATTERN "ObjectRegistry.h" EXCLUDE)

install(EXPORT KestrumTargets NAMESPACE Kestrum:: DESTINATION ${KESTRUM_CMAKE_DIR}
  FILE KestrumTargets.cmake COMPONENT Development)
configure_package_config_file(cmake/KestrumConfig.cmake.in ${PROJECT_BINARY_DIR}/KestrumConfig.cmake
  INSTALL_DESTINATION ${KESTRUM_CMAKE_DIR})
# 0.x: a minor release may break the API, so only the same minor matches.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KestrumConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KestrumConfig.cmake ${PROJECT_BINARY_DIR}/KestrumConfigVersion.cmake
  DESTINATION ${KESTRUM_CMAKE_DIR} COMPONENT Development)

if(TARGET velmora)
  install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
  set(res ${PROJECT_SOURCE_DIR}/app/resources)
  install(FILES ${res}/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Runtime)
  install(FILES ${res}/org.kestrum.Velmora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    COMPONENT Runtime)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${res}/icons/velmora-${size}.png RENAME velmora.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT Runtime)
  endforeach()
  install(FILES ${res}/velmora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    COMPONENT Runtime)

  # Debian wants the man page and the changelog compressed, reproducibly (-n).
  set(gz ${PROJECT_BINARY_DIR}/gz)
  add_custom_command(OUTPUT ${gz}/velmora.1.gz ${gz}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gz}
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/app/velmora.1 > ${gz}/velmora.1.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${gz}/changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/app/velmora.1 ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
  add_custom_target(velmora_compressed_docs ALL DEPENDS ${gz}/velmora.1.gz ${gz}/changelog.gz)
  install(FILES ${gz}/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
  install(FILES ${gz}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/../velmora COMPONENT Runtime)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
# The package carries Velmora's own version (its --version and About box say
# 1.0); the libraries inside keep the project's 0.1.
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Kestrum developers <kestrum-dev@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read-only browser of folder sizes")
set(CPACK_PACKAGE_DESCRIPTION "Velmora shows folders, or every local disk, as a tree of folders and files
with their sizes, file counts and times, filled in while they are read.
It never changes what it shows.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps sees the Qt libraries; the platform plugin that puts windows
# on an X or Wayland desktop is loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# An ldconfig trigger instead of the ldconfig calls CPack would write into
# postinst and postrm (which Debian policy no longer allows).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/triggers ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
include(CPack)
