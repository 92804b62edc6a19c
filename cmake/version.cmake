# The programs' versions, read from the file VERSION at the top of the repository.
#
# For each program <P> (CORVALE, PENNOCK, FALCREST) it sets
#   VARNELL_<P>_VERSION          2.0.0.512           the four numbers
#   VARNELL_<P>_PRODUCT_VERSION  2.0.0               the three numbers operators see
#   VARNELL_<P>_FILE_VERSION     2.0.0 (build 512)   the version text of Corvale's file
# and writes the same, with VARNELL_<P>_VERSION_NUMBERS (2,0,0,512) for the resource
# compiler, into ${VARNELL_GENERATED_DIR}/varnell_version.h, which the resource scripts and the
# About box include (target varnell_version).
#
# varnell_program_resources(target program) lets the resource scripts of `target` include
# varnell_version.h and name "<program>.exe.manifest", made from
# <program>/win32/<program>.exe.manifest.in with the program's version.

set(VARNELL_VERSION_FILE ${CMAKE_SOURCE_DIR}/VERSION)
set(VARNELL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${VARNELL_VERSION_FILE})

file(STRINGS ${VARNELL_VERSION_FILE} version_lines REGEX "^[^#]")
foreach(line IN LISTS version_lines)
  if(NOT line MATCHES "^([a-z]+)[ \t]+([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)[ \t]*$")
    message(FATAL_ERROR "VERSION: \"${line}\" is not \"<program> <major>.<minor>.<patch>.<build>\"")
  endif()
  string(TOUPPER ${CMAKE_MATCH_1} program)
  set(VARNELL_${program}_PRODUCT_VERSION "${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
  set(VARNELL_${program}_VERSION "${VARNELL_${program}_PRODUCT_VERSION}.${CMAKE_MATCH_5}")
  set(VARNELL_${program}_FILE_VERSION
      "${VARNELL_${program}_PRODUCT_VERSION} (build ${CMAKE_MATCH_5})")
  set(VARNELL_${program}_VERSION_NUMBERS
      "${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4},${CMAKE_MATCH_5}")
endforeach()
foreach(program CORVALE PENNOCK FALCREST)
  if(NOT DEFINED VARNELL_${program}_VERSION)
    string(TOLOWER ${program} name)
    message(FATAL_ERROR "VERSION gives no version of ${name}")
  endif()
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/varnell_version.h.in
               ${VARNELL_GENERATED_DIR}/varnell_version.h @ONLY)
add_library(varnell_version INTERFACE)
target_include_directories(varnell_version INTERFACE ${VARNELL_GENERATED_DIR})

function(varnell_program_resources target program)
  string(TOUPPER ${program} upper)
  set(VARNELL_PROGRAM_VERSION ${VARNELL_${upper}_VERSION})
  set(manifest ${VARNELL_GENERATED_DIR}/${program}/${program}.exe.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/${program}/win32/${program}.exe.manifest.in ${manifest} @ONLY)
  target_include_directories(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:RC>:${VARNELL_GENERATED_DIR};${VARNELL_GENERATED_DIR}/${program}>)
  # windres takes the manifest by name, out of sight of the preprocessor's dependency list.
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$")
      set_property(SOURCE ${source} APPEND PROPERTY OBJECT_DEPENDS ${manifest}
                   ${VARNELL_GENERATED_DIR}/varnell_version.h)
    endif()
  endforeach()
endfunction()
