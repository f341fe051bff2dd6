# Reads the list of picture formats and the libraries their decoders open at run time
# (src/codecs/formats.txt) and sets, for the rest of the build:
#   PIC2PNM_FORMATS                      the formats, in the order the registry tries them
#   PIC2PNM_CODEC_LIBRARIES              the libraries, in the order they are listed
#   PIC2PNM_LIBRARY_<name>_PACKAGES      its Debian build packages
#   PIC2PNM_LIBRARY_<name>_RUN_TIME      the Debian package that holds it
#   PIC2PNM_LIBRARY_<name>_DEB_FIELD     Depends, Recommends or -
#   PIC2PNM_SONAME_<name>                the name the dynamic linker knows it by
#   PIC2PNM_CODEC_INCLUDE_DIRS           the folders of their headers
# and writes into PIC2PNM_GENERATED_DIR the registry's list of rows (codec_registry_list.inc)
# and the table of sonames the library loader opens (codec_library_sonames.inc).

set(PIC2PNM_FORMATS_FILE ${PROJECT_SOURCE_DIR}/src/codecs/formats.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PIC2PNM_FORMATS_FILE})
set(PIC2PNM_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

set(PIC2PNM_FORMATS "")
set(PIC2PNM_CODEC_LIBRARIES "")
set(wanted_libraries "")
file(STRINGS ${PIC2PNM_FORMATS_FILE} format_lines)
foreach(line IN LISTS format_lines)
  string(REGEX REPLACE "#.*" "" line "${line}")
  separate_arguments(fields UNIX_COMMAND "${line}")
  if(NOT fields)
    continue()
  endif()
  list(POP_FRONT fields kind name)
  if(NOT name MATCHES "^[a-z][a-z0-9]*$")
    message(FATAL_ERROR "${PIC2PNM_FORMATS_FILE}: '${name}' is no name (lower case letters and digits)")
  endif()
  if(kind STREQUAL "format")
    if(name IN_LIST PIC2PNM_FORMATS)
      message(FATAL_ERROR "${PIC2PNM_FORMATS_FILE}: the format ${name} is listed twice")
    endif()
    list(APPEND PIC2PNM_FORMATS ${name})
    list(APPEND wanted_libraries ${fields})
  elseif(kind STREQUAL "library")
    list(LENGTH fields count)
    if(NOT count EQUAL 4 OR name IN_LIST PIC2PNM_CODEC_LIBRARIES)
      message(FATAL_ERROR "${PIC2PNM_FORMATS_FILE}: the library line of ${name} is not "
        "'library NAME PKG-CONFIG BUILD-PACKAGES RUN-TIME-PACKAGE DEB-FIELD', or comes twice")
    endif()
    list(APPEND PIC2PNM_CODEC_LIBRARIES ${name})
    list(GET fields 0 PIC2PNM_LIBRARY_${name}_PKG_CONFIG)
    list(GET fields 1 packages)
    string(REPLACE "," ";" PIC2PNM_LIBRARY_${name}_PACKAGES "${packages}")
    list(GET fields 2 PIC2PNM_LIBRARY_${name}_RUN_TIME)
    list(GET fields 3 PIC2PNM_LIBRARY_${name}_DEB_FIELD)
    if(NOT PIC2PNM_LIBRARY_${name}_DEB_FIELD MATCHES "^(Depends|Recommends|-)$")
      message(FATAL_ERROR "${PIC2PNM_FORMATS_FILE}: ${name} is to be in Depends, Recommends or -")
    endif()
  else()
    message(FATAL_ERROR "${PIC2PNM_FORMATS_FILE}: a line begins with format or library, not ${kind}")
  endif()
endforeach()
foreach(library IN LISTS wanted_libraries)
  if(NOT library IN_LIST PIC2PNM_CODEC_LIBRARIES)
    message(FATAL_ERROR "${PIC2PNM_FORMATS_FILE}: the library ${library} has no library line")
  endif()
endforeach()

# The headers are compiled against; the libraries themselves are opened when a picture first
# needs them (src/codecs/common/codec_libraries.cpp), by the names the dynamic linker knows
# them by, read from the libraries the build finds.
find_program(PIC2PNM_OBJDUMP NAMES objdump REQUIRED)
set(PIC2PNM_CODEC_INCLUDE_DIRS "")
foreach(library IN LISTS PIC2PNM_CODEC_LIBRARIES)
  if(NOT PIC2PNM_LIBRARY_${library}_PKG_CONFIG STREQUAL "-")
    pkg_check_modules(pic2pnm_pkg_${library} REQUIRED ${PIC2PNM_LIBRARY_${library}_PKG_CONFIG})
    list(APPEND PIC2PNM_CODEC_INCLUDE_DIRS ${pic2pnm_pkg_${library}_INCLUDE_DIRS})
  endif()
  unset(library_path)  # a path already set would end the search before it began
  find_library(library_path NAMES ${library} NO_CACHE REQUIRED)
  execute_process(COMMAND ${PIC2PNM_OBJDUMP} -p ${library_path}
    OUTPUT_VARIABLE dump RESULT_VARIABLE result)
  string(REGEX MATCH "SONAME +([^ \t\r\n]+)" found "${dump}")
  if(NOT result EQUAL 0 OR NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "cannot read the SONAME of ${library_path}")
  endif()
  set(PIC2PNM_SONAME_${library} ${CMAKE_MATCH_1})
endforeach()
list(REMOVE_DUPLICATES PIC2PNM_CODEC_INCLUDE_DIRS)

# Writes the table of sonames into FILE; the sonames of the libraries named in ARGN are replaced
# by names that lead nowhere, as on a machine without them.
function(pic2pnm_write_soname_table file)
  set(rows "")
  foreach(library IN LISTS PIC2PNM_CODEC_LIBRARIES)
    set(soname ${PIC2PNM_SONAME_${library}})
    if(library IN_LIST ARGN)
      set(soname lib${library}-not-installed.so)
    endif()
    string(APPEND rows "    {\"${library}\", \"${soname}\"},\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT
    "// Made by the build from src/codecs/formats.txt: each library and its soname.\n${rows}"
    @ONLY)
endfunction()
pic2pnm_write_soname_table(${PIC2PNM_GENERATED_DIR}/codec_library_sonames.inc)

set(rows "")
foreach(format IN LISTS PIC2PNM_FORMATS)
  string(APPEND rows "PIC2PNM_CODEC(${format})\n")
endforeach()
file(CONFIGURE OUTPUT ${PIC2PNM_GENERATED_DIR}/codec_registry_list.inc CONTENT
  "// Made by the build from src/codecs/formats.txt: the rows, in the order they are tried.\n${rows}"
  @ONLY)
