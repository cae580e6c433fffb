# Every header of the library, the host (private ones too) and support/ compiles on its own: one
# generated translation unit per header includes it first, and twice, so a
# missing include or include guard breaks the build. The target is part of
# the default build whenever the tests are built.
file(GLOB brim_checked_headers CONFIGURE_DEPENDS
  RELATIVE ${PROJECT_SOURCE_DIR}
  ${PROJECT_SOURCE_DIR}/filecrawler/*.h
  ${PROJECT_SOURCE_DIR}/filecrawler/private/*.h
  ${PROJECT_SOURCE_DIR}/host/*.h
  ${PROJECT_SOURCE_DIR}/host/private/*.h
  ${PROJECT_SOURCE_DIR}/support/*.h)

set(brim_header_units)
foreach(header IN LISTS brim_checked_headers)
  string(MAKE_C_IDENTIFIER ${header} unit)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/header_check/${unit}.cpp)
  file(GENERATE OUTPUT ${source}
    CONTENT "#include \"${header}\"\n#include \"${header}\"\n")
  list(APPEND brim_header_units ${source})
endforeach()

add_library(header_self_containment OBJECT ${brim_header_units})
target_link_libraries(header_self_containment PRIVATE brim_importers_filecrawler_internals)
brim_filecrawler_warnings(header_self_containment)
