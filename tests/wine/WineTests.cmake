# varnell_wine_test(name script [LABEL label]): an end-to-end test that runs the built .exe files
# under Wine on the virtual display with the private printers. Windows build only.
function(varnell_wine_test name script)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL wine)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name}
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/with-wine-env.sh bash ${script})
  set_tests_properties(${name} PROPERTIES
    LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT} RUN_SERIAL ON
    ENVIRONMENT "VARNELL_BIN=${CMAKE_BINARY_DIR}/bin;VARNELL_SOURCE=${CMAKE_SOURCE_DIR};VARNELL_TEST_WORK=${CMAKE_BINARY_DIR}/wine-tests/${name}")
endfunction()
