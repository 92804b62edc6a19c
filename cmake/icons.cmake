# Program icons made at build time from vector drawings (ImageMagick's MVG) in the repository.
#
# varnell_program_icon(target drawing.mvg) turns the drawing into
#   ${VARNELL_ICON_DIR}/<target>.ico        (build/<preset>/icons/<target>.ico)
# with images of 256, 48, 32 and 16 pixels, rebuilt whenever the drawing changes, and lets the
# target's resource scripts name it as "<target>.ico". The custom target <target>_icon makes it.
#
# varnell_use_program_icon(target program) lets another target whose resource scripts name
# "<program>.ico" (a test built with a program's resources, the installer) use that icon.

set(VARNELL_ICON_DIR ${CMAKE_BINARY_DIR}/icons)

# ImageMagick's convert, checked once: a stand-in of the same name that cannot read MVG would
# only fail later, in the middle of the build, with a less helpful message.
function(varnell_find_convert)
  get_property(checked GLOBAL PROPERTY VARNELL_CONVERT_CHECKED)
  if(checked)
    return()
  endif()
  find_program(VARNELL_CONVERT NAMES convert)
  set(reason "")
  if(NOT VARNELL_CONVERT)
    set(reason "no program named convert is on the PATH")
  else()
    execute_process(COMMAND ${VARNELL_CONVERT} -list format
                    OUTPUT_VARIABLE formats ERROR_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT formats MATCHES "MVG\\*? +MVG +r")
      set(reason "${VARNELL_CONVERT} is no ImageMagick that reads MVG drawings")
    endif()
  endif()
  if(reason)
    message(FATAL_ERROR
      "The program icons are drawn at build time with ImageMagick, but ${reason}. "
      "Install the Debian package imagemagick (scripts/setup-deps.sh does), then configure again.")
  endif()
  set_property(GLOBAL PROPERTY VARNELL_CONVERT_CHECKED TRUE)
endfunction()

function(varnell_program_icon target drawing)
  varnell_find_convert()
  get_filename_component(drawing ${drawing} ABSOLUTE)
  set(icon ${VARNELL_ICON_DIR}/${target}.ico)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNELL_ICON_DIR}
    COMMAND ${VARNELL_CONVERT} -background none mvg:${drawing} -depth 8
            -define icon:auto-resize=256,48,32,16 ${icon}
    DEPENDS ${drawing}
    COMMENT "Drawing ${target}.ico"
    VERBATIM)
  add_custom_target(${target}_icon DEPENDS ${icon})
  varnell_use_program_icon(${target} ${target})
endfunction()

function(varnell_use_program_icon target program)
  add_dependencies(${target} ${program}_icon)
  # The resource scripts find the icon by its bare name, and are compiled again when it changes.
  target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${VARNELL_ICON_DIR}>)
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$")
      set_property(SOURCE ${source} APPEND PROPERTY OBJECT_DEPENDS ${VARNELL_ICON_DIR}/${program}.ico)
    endif()
  endforeach()
endfunction()
