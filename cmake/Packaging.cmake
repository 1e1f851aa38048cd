# Installed files and release packages: a .deb for Linux and a .zip for Windows.

if(WIN32)
  # Windows users unpack the zip and run the program from its folder.
  set(VELSTRAM_BIN_DIR .)
  set(VELSTRAM_DOC_DIR .)
  set(VELSTRAM_LICENSE_NAME LICENSE.txt)
else()
  include(GNUInstallDirs)
  set(VELSTRAM_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  set(VELSTRAM_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
  # Debian keeps a package's licence as share/doc/PACKAGE/copyright.
  set(VELSTRAM_LICENSE_NAME copyright)
endif()
install(TARGETS velstram RUNTIME DESTINATION ${VELSTRAM_BIN_DIR})
install(FILES README.md DESTINATION ${VELSTRAM_DOC_DIR})
install(FILES LICENSE DESTINATION ${VELSTRAM_DOC_DIR} RENAME ${VELSTRAM_LICENSE_NAME})

# The manual page, compressed as Debian's packages ship theirs when gzip is at hand.
if(NOT WIN32)
  find_program(GZIP_PROGRAM gzip)
  if(GZIP_PROGRAM)
    set(VELSTRAM_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/velstram.1.gz)
    add_custom_command(OUTPUT ${VELSTRAM_MAN_PAGE}
      COMMAND ${GZIP_PROGRAM} -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/velstram.1 > ${VELSTRAM_MAN_PAGE}
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/velstram.1
      VERBATIM)
    add_custom_target(velstram_man_page ALL DEPENDS ${VELSTRAM_MAN_PAGE})
  else()
    set(VELSTRAM_MAN_PAGE ${CMAKE_CURRENT_SOURCE_DIR}/velstram.1)
  endif()
  install(FILES ${VELSTRAM_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME velstram)
set(CPACK_PACKAGE_VENDOR "VELSTRAM maintainers")
set(CPACK_PACKAGE_CONTACT "VELSTRAM maintainers <maintainers@velstram.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Colour filters for 24-bit RGB TIFF maps, driven from the console")
set(CPACK_PACKAGE_DESCRIPTION
    "VELSTRAM reads one uncompressed 24-bit RGB TIFF, applies one of four colour\n\
filters (keep up to ten colours, whiten a band of colours, clean contours into\n\
black lines on white, damp the red cast of orthophotos) and writes a second\n\
TIFF that keeps the input's layout.")
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "velstram-${PROJECT_VERSION}-win64")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
