# Corvale's version, which the setup carries: VARNELL_SETUP_VERSION (2.0.0.512),
# VARNELL_PRODUCT_VERSION (2.0.0) and VARNELL_FILE_VERSION (2.0.0 (build 512)).
file(STRINGS ${CMAKE_SOURCE_DIR}/corvale/corvale.rc corvale_version_line REGEX "^FILEVERSION ")
if(NOT corvale_version_line MATCHES "([0-9]+),([0-9]+),([0-9]+),([0-9]+)")
  message(FATAL_ERROR "no FILEVERSION in corvale/corvale.rc")
endif()
set(VARNELL_PRODUCT_VERSION "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
set(VARNELL_SETUP_VERSION "${VARNELL_PRODUCT_VERSION}.${CMAKE_MATCH_4}")
set(VARNELL_FILE_VERSION "${VARNELL_PRODUCT_VERSION} (build ${CMAKE_MATCH_4})")
