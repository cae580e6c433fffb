# Installs the build into a fresh prefix, builds examples/consumer against the
# installed package, and runs it and the installed program on the installed
# sample study.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=...
#         -DCXX_COMPILER=... [-DCXX_FLAGS=...] -P InstalledConsumerTest.cmake
foreach(variable BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
run_step("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# The internal headers stay out of the installed copy; the export macros are in.
foreach(folder filecrawler/private host/private support)
  if(EXISTS "${prefix}/include/${folder}")
    message(FATAL_ERROR "the internal headers of ${folder} were installed")
  endif()
endforeach()
foreach(header filecrawler/Export.h host/Export.h filecrawler/MetadataFileCrawler.h host/LocalFileInfo.h)
  if(NOT EXISTS "${prefix}/include/${header}")
    message(FATAL_ERROR "the public header ${header} was not installed")
  endif()
endforeach()

run_step("configure the consumer" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}/examples/consumer"
  -B "${WORK_DIR}/consumer" -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
  "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
run_step("build the consumer" "${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer")

file(GLOB sample LIST_DIRECTORIES true "${prefix}/share/brim_importers_filecrawler/sample-study")
if(NOT IS_DIRECTORY "${sample}")
  message(FATAL_ERROR "the sample study was not installed")
endif()
run_step("run the consumer" "${WORK_DIR}/consumer/consumer" "${sample}")
if(NOT step_output MATCHES "^7 cases\n" OR NOT step_output MATCHES "Re=400 Mach=0.8 Re=400/Mach=0.8/model=SpalartAllmaras/mesh.msh")
  message(FATAL_ERROR "unexpected consumer output:\n${step_output}")
endif()

# The installed program, with no ROOT, crawls the installed sample.
run_step("run the installed program" "${prefix}/bin/filecrawler" --format json --quiet)
string(FIND "${step_output}" "\"root\": \"${sample}\"" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the installed program did not crawl ${sample}:\n${step_output}")
endif()
