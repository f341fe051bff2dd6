# Installation of the manual page and the Debian package (cpack -G DEB).

set(PIC2PNM_MAN_PAGE ${PROJECT_SOURCE_DIR}/doc/pic2pnm.1)

# Debian ships manual pages compressed; without gzip the page is installed as it is.
find_program(PIC2PNM_GZIP gzip)
if(PIC2PNM_GZIP)
  set(PIC2PNM_MAN_PAGE_GZ ${PROJECT_BINARY_DIR}/man/pic2pnm.1.gz)
  # -n leaves the name and time stamp out of the archive, so the package is reproducible.
  add_custom_command(
    OUTPUT ${PIC2PNM_MAN_PAGE_GZ}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E copy ${PIC2PNM_MAN_PAGE} ${PROJECT_BINARY_DIR}/man/pic2pnm.1
    COMMAND ${PIC2PNM_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/man/pic2pnm.1
    DEPENDS ${PIC2PNM_MAN_PAGE}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(pic2pnm_man_page ALL DEPENDS ${PIC2PNM_MAN_PAGE_GZ})
  install(FILES ${PIC2PNM_MAN_PAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${PIC2PNM_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(PIC2PNM_TESTS)
  # The page must format without warnings and agree with what the program prints.
  add_test(NAME man_page_lint
    COMMAND ${PROJECT_SOURCE_DIR}/tests/packaging/man_page_test.sh
      ${PIC2PNM_MAN_PAGE} $<TARGET_FILE:pic2pnm>
      ${PROJECT_SOURCE_DIR}/examples/example.png ${PROJECT_VERSION})
  set_tests_properties(man_page_lint PROPERTIES SKIP_RETURN_CODE 77)
endif()

# The Debian package: cpack -G DEB in the build folder writes pic2pnm_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pic2pnm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "pic2pnm developers")
set(CPACK_PACKAGE_CONTACT "pic2pnm developers <pic2pnm@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert a picture file into a plain-text Netpbm image")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "pic2pnm developers <pic2pnm@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the program links (libspng, zlib, libseccomp) become dependencies through
# dpkg-shlibdeps (package dpkg-dev). Those it opens at run time are not seen there: the packages
# that hold them are named here, in the field src/codecs/formats.txt gives each (HEIF, AVIF and
# JPEG XL are read when their libraries are installed; without them only those formats fail,
# "Not implemented", so the package recommends them rather than depending on them). Each is the
# package that holds the library on the build machine, as dpkg knows it, or where dpkg does not
# know the library, the package the list names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
find_program(PIC2PNM_DPKG_QUERY dpkg-query)
set(runtime_depends "")
set(runtime_recommends "")
foreach(library IN LISTS PIC2PNM_CODEC_LIBRARIES)
  set(field ${PIC2PNM_LIBRARY_${library}_DEB_FIELD})
  if(field STREQUAL "-")
    continue()
  endif()
  set(package ${PIC2PNM_LIBRARY_${library}_RUN_TIME})
  if(PIC2PNM_DPKG_QUERY)
    execute_process(COMMAND ${PIC2PNM_DPKG_QUERY} -S "*/${PIC2PNM_SONAME_${library}}"
      OUTPUT_VARIABLE owner RESULT_VARIABLE result ERROR_QUIET)
    string(REGEX MATCH "^[^:]+" owner "${owner}")
    if(result EQUAL 0 AND owner)
      set(package ${owner})
    endif()
  endif()
  if(field STREQUAL "Depends")
    list(APPEND runtime_depends ${package})
  else()
    list(APPEND runtime_recommends ${package})
  endif()
endforeach()
list(REMOVE_DUPLICATES runtime_depends)
list(REMOVE_DUPLICATES runtime_recommends)
list(JOIN runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
list(JOIN runtime_recommends ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
# The first line of the package's description is the summary above; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "pic2pnm reads one BMP, GIF, JPEG, PNG, TIFF or WebP picture, or an icon
whose image is PNG (and HEIF, AVIF and JPEG XL with the recommended
libraries), and writes it as a plain (ASCII) PBM bitmap, PGM grey
map or PPM pixel map. The input format is recognised by the file's content.")
include(CPack)
