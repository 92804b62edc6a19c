# Makes Corvale's MSI package with wixl; any message of wixl's is an error.
#   cmake -DWIXL=<wixl> -DWXS=<corvale.wxs> -DVERSION=<2.0.0.512> -DBIN_DIR=<programs>
#         -DICON=<corvale.ico> [-DHELP_FILE=<Corvale.chm>] -DPOLICY_DIR=<installer/policy>
#         -DOUTPUT=<package.msi> -P make_msi.cmake
# The Windows build runs it for the package it ships; the Wine test of the package runs it for
# packages of other versions.
include(${CMAKE_CURRENT_LIST_DIR}/msi_codes.cmake)

foreach(name WIXL WXS VERSION BIN_DIR ICON POLICY_DIR OUTPUT)
  if(NOT DEFINED ${name} OR "${${name}}" STREQUAL "")
    message(FATAL_ERROR "make_msi.cmake needs -D${name}=...")
  endif()
endforeach()

# Windows Installer orders versions by three fields of at most 255.255.65535; the fourth, the
# build number, it ignores.
if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$" OR CMAKE_MATCH_1 GREATER 255
   OR CMAKE_MATCH_2 GREATER 255 OR CMAKE_MATCH_3 GREATER 65535)
  message(FATAL_ERROR "${VERSION} is no version an MSI package can carry (at most 255.255.65535.x)")
endif()
varnell_msi_product_code(product_code ${VERSION})
# The first version Windows Installer sees above this one: the package replaces every version
# below it, this one's other builds included.
if(CMAKE_MATCH_3 LESS 65535)
  math(EXPR next "${CMAKE_MATCH_3} + 1")
  set(upgrade_below ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${next})
elseif(CMAKE_MATCH_2 LESS 255)
  math(EXPR next "${CMAKE_MATCH_2} + 1")
  set(upgrade_below ${CMAKE_MATCH_1}.${next}.0)
elseif(CMAKE_MATCH_1 LESS 255)
  math(EXPR next "${CMAKE_MATCH_1} + 1")
  set(upgrade_below ${next}.0.0)
else()
  message(FATAL_ERROR "${VERSION} is the last version an MSI package can carry")
endif()

# wixl 0.101 finds source files only relative to the folder it runs in.
get_filename_component(out_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})
set(defines -D Version=${VERSION} -D UpgradeBelow=${upgrade_below} -D ProductCode=${product_code}
            -D UpgradeCode=${VARNELL_MSI_UPGRADE_CODE})
foreach(pair BinDir:BIN_DIR Icon:ICON HelpFile:HELP_FILE PolicyDir:POLICY_DIR)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 define)
  list(GET pair 1 name)
  if(DEFINED ${name} AND NOT "${${name}}" STREQUAL "")
    file(RELATIVE_PATH relative ${out_dir} ${${name}})
    if(relative STREQUAL "")
      set(relative .)
    endif()
    list(APPEND defines -D ${define}=${relative})
  endif()
endforeach()

file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${WIXL} -a x86 ${defines} -o ${OUTPUT} ${WXS}
  WORKING_DIRECTORY ${out_dir}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "wixl (exit ${status}) on ${WXS}:\n${out}")
endif()

# wixl cannot mark an action's command line hidden: the action that holds the service's password
# is marked so here (msidbCustomActionTypeHideTarget), so that Windows Installer's log never shows
# it, and the property is in MsiHiddenProperties already.
find_program(msiinfo msiinfo)
find_program(msibuild msibuild)
if(NOT msiinfo OR NOT msibuild)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "msiinfo and msibuild (Debian's msitools) are needed for ${OUTPUT}")
endif()
execute_process(COMMAND ${msiinfo} export ${OUTPUT} CustomAction
                RESULT_VARIABLE status OUTPUT_VARIABLE actions ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT actions MATCHES "\nInstallOwnService\t([0-9]+)\t")
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "msiinfo found no action InstallOwnService in ${OUTPUT}: ${out}")
endif()
set(type ${CMAKE_MATCH_1})
math(EXPR hidden "${type} | 0x2000")
string(REPLACE "\nInstallOwnService\t${type}\t" "\nInstallOwnService\t${hidden}\t" actions
       "${actions}")
set(table_dir ${out_dir}/msi-tables-${VERSION})
file(REMOVE_RECURSE ${table_dir})
file(WRITE ${table_dir}/CustomAction.idt "${actions}")
execute_process(COMMAND ${msibuild} ${OUTPUT} -i ${table_dir}/CustomAction.idt
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE ${table_dir})
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "msibuild (exit ${status}) could not hide InstallOwnService's command line:\n${out}")
endif()

# CloseCorvale: before InstallValidate, this package's corvale.exe asks every Corvale window of
# the computer to close (corvale.exe /Close 60, its result ignored), so that no program is in use
# when the files are replaced or removed. Nothing is installed yet, so it runs from the Binary
# table, an action wixl cannot make. msibuild reads the stream of a Binary row from the folder
# "Binary" of the folder it runs in.
execute_process(COMMAND ${msiinfo} export ${OUTPUT} InstallExecuteSequence
                RESULT_VARIABLE status OUTPUT_VARIABLE sequence ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT sequence MATCHES "\nStopOwnService\t[^\t]*\t1201\r?\n"
   OR NOT sequence MATCHES "\nInstallValidate\t\t1400\r?\n" OR sequence MATCHES "\t1202\r?\n")
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "${OUTPUT}: CloseCorvale's place (1202, between StopOwnService and "
                      "InstallValidate) is not free in:\n${sequence}${out}")
endif()
set(close_dir ${out_dir}/msi-close-${VERSION})
file(REMOVE_RECURSE ${close_dir})
file(MAKE_DIRECTORY ${close_dir}/Binary)
file(COPY_FILE ${BIN_DIR}/corvale.exe ${close_dir}/Binary/CorvaleCloser.ibd)
file(WRITE ${close_dir}/Binary.idt
     "Name\tData\r\ns72\tv0\r\nBinary\tName\r\nCorvaleCloser\tCorvaleCloser.ibd\r\n")
# Type 66: a program from the Binary table (2), its exit code ignored (64).
foreach(step
        "-i;Binary.idt"
        "-q;INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('CloseCorvale', 66, 'CorvaleCloser', '/Close 60')"
        "-q;INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('CloseCorvale', 'Installed OR PREVIOUS_VERSION_FOUND', 1202)")
  execute_process(COMMAND ${msibuild} ${OUTPUT} ${step} WORKING_DIRECTORY ${close_dir}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT})
    file(REMOVE_RECURSE ${close_dir})
    message(FATAL_ERROR "msibuild (exit ${status}) could not add CloseCorvale (${step}):\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE ${close_dir})
message(STATUS "${OUTPUT}: ProductCode {${product_code}}, UpgradeCode {${VARNELL_MSI_UPGRADE_CODE}}")
