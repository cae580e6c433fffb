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

# The public headers: the folders filecrawler/ and host/ as they stand but
# for their private/ folders, and the generated export macros beside them.
foreach(_folder filecrawler host)
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/${_folder}/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${_folder}
    FILES_MATCHING PATTERN "*.h" PATTERN "private" EXCLUDE)
endforeach()
install(DIRECTORY "${BRIM_FILECRAWLER_GENERATED_INCLUDE_DIR}/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

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
