# Install rules: both libraries with their public headers and a CMake package
# (find_package(brim_importers_filecrawler) -> brim::importers_filecrawler,
# brim::host), the filecrawler program and the sample study it runs on.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(_package brim_importers_filecrawler)
set(_package_dir "${CMAKE_INSTALL_LIBDIR}/cmake/${_package}")

# The libraries find each other next to themselves once installed.
set_target_properties(brim_importers_filecrawler brim_host PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS brim_importers_filecrawler brim_host
  EXPORT ${_package}Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Every header but the library's internal ones.
file(GLOB _library_headers RELATIVE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/filecrawler/*.h")
list(REMOVE_ITEM _library_headers
  filecrawler/CaseMetadataTable.h
  filecrawler/CrawlerFilePath.h
  filecrawler/PathValueScanner.h
  filecrawler/SyntaxNameSelection.h)
list(TRANSFORM _library_headers PREPEND "${PROJECT_SOURCE_DIR}/")
file(GLOB _host_headers RELATIVE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/host/*.h")
list(REMOVE_ITEM _host_headers
  host/DirectoryListing.h
  host/DirectoryReader.h
  host/WalkState.h)
list(TRANSFORM _host_headers PREPEND "${PROJECT_SOURCE_DIR}/")
install(FILES ${_library_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/filecrawler)
install(FILES ${_host_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/host)

install(EXPORT ${_package}Targets NAMESPACE brim:: DESTINATION ${_package_dir})
configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/${_package}Config.cmake.in"
  "${CMAKE_CURRENT_BINARY_DIR}/${_package}Config.cmake"
  INSTALL_DESTINATION ${_package_dir})
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/${_package}ConfigVersion.cmake"
  COMPATIBILITY SameMinorVersion)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${_package}Config.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/${_package}ConfigVersion.cmake"
  DESTINATION ${_package_dir})

if(TARGET filecrawler)
  file(RELATIVE_PATH _libdir_from_bindir "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
  set_target_properties(filecrawler PROPERTIES INSTALL_RPATH "$ORIGIN/${_libdir_from_bindir}")
  install(TARGETS filecrawler RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Where the installed program looks for it (app/SampleStudy.h).
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/sample-study"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/${_package}")
endif()
