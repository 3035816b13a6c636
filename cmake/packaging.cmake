# What an installation holds, and the packages CPack makes of it:
#   Linux:   bin/trasop and bin/trasop-map (stripped in the packages; trasop-map where zlib
#            was found), their manual pages (gzip), the README, the
#            change log and the license, and the example with its result. The dynamically
#            linked build packs trasop_<version>_<arch>.deb, with the license as a
#            machine-readable copyright file and the change log as changelog.gz; the statically
#            linked build (TRASOP_STATIC) packs trasop-<version>-linux-<machine>.tar.gz, with
#            LICENSE.txt and CHANGELOG.md, for any Linux of that machine.
#   Windows: trasop.exe, trasop-map.exe, README.txt and LICENSE.txt (CR LF line ends) and the
#            example, packed as
#            trasop-<version>-win32.zip or -win64.zip
# Archives are reproducible: file times are those of SOURCE_DATE_EPOCH where it is set (the
# commit's time, set by scripts/package.sh), owners are root, compressed files carry no name
# and no time, and the order is by name.
set(example_files ${PROJECT_SOURCE_DIR}/examples/hill.dmna ${PROJECT_SOURCE_DIR}/examples/valley.dmna)
set(example_result ${PROJECT_SOURCE_DIR}/examples/expected/hill_s.dmna)
set(TRASOP_MAINTAINER "trasop developers <trasop@localhost>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <address>\"")

set(CPACK_PACKAGE_NAME trasop)
set(CPACK_PACKAGE_VENDOR "trasop")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terrain slopes from dmna grids of terrain heights")
set(CPACK_PACKAGE_CONTACT "${TRASOP_MAINTAINER}")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_THREADS 1)

if(WIN32)
  install(TARGETS trasop DESTINATION .)
  if(TARGET trasop-map)
    install(TARGETS trasop-map DESTINATION .)
  endif()
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REPLACE "\n" "\r\n" license "${license}")
  file(WRITE ${PROJECT_BINARY_DIR}/LICENSE.txt "${license}")
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  install(FILES ${example_files} ${example_result} DESTINATION example)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME trasop-${PROJECT_VERSION}-win32)
  else()
    set(CPACK_PACKAGE_FILE_NAME trasop-${PROJECT_VERSION}-win64)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  include(GNUInstallDirs)
  install(TARGETS trasop)
  set(CPACK_STRIP_FILES ON)  # the Windows programs are linked stripped
  # gzip_file(SOURCE NAME): SOURCE compressed into the build folder as NAME, with no name and
  # no time in it.
  function(gzip_file source name)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${name}
                       COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" gzip_file ${source}
                               ${PROJECT_BINARY_DIR}/${name}
                       DEPENDS ${source} VERBATIM)
    add_custom_target(${name}_gz ALL DEPENDS ${PROJECT_BINARY_DIR}/${name})
  endfunction()
  gzip_file(${PROJECT_SOURCE_DIR}/doc/trasop.1 trasop.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/trasop.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(TARGET trasop-map)
    install(TARGETS trasop-map)
    gzip_file(${PROJECT_SOURCE_DIR}/doc/trasop-map.1 trasop-map.1.gz)
    install(FILES ${PROJECT_BINARY_DIR}/trasop-map.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${example_files} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES ${example_result} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/expected)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
  set(CPACK_PACKAGE_FILE_NAME trasop-${PROJECT_VERSION}-${platform})
  if(TRASOP_STATIC)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
            RENAME LICENSE.txt)
    install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
    set(CPACK_GENERATOR TGZ)
  else()
    # Debian's places: the license in the machine-readable copyright format, the change log
    # in Debian's changelog format, compressed.
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
    string(REGEX REPLACE "\n+$" "" license "${license}")
    string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
    string(REPLACE "\n" "\n " license " ${license}")
    file(WRITE ${PROJECT_BINARY_DIR}/copyright
         "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
         "Upstream-Name: trasop\n\n"
         "Files: *\n"
         "Copyright: 2026 the trasop developers\n"
         "License: Expat\n${license}\n")
    install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
                       COMMAND sh -c "sh \"$1\" \"$2\" \"$3\" | gzip -9n >\"$4\""
                               debian_changelog ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.sh
                               ${PROJECT_SOURCE_DIR}/CHANGELOG.md "${TRASOP_MAINTAINER}"
                               ${PROJECT_BINARY_DIR}/changelog.gz
                       DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.sh
                               ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                       VERBATIM)
    add_custom_target(changelog_gz ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
    find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(DPKG_SHLIBDEPS)
      set(CPACK_GENERATOR DEB)
      set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
      set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRASOP_MAINTAINER}")
      set(CPACK_DEBIAN_PACKAGE_SECTION science)
      set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
      # The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the text below it, in lines
      # of under 80 columns.
      set(CPACK_PACKAGE_DESCRIPTION
          "trasop reads a grid of terrain heights in the dmna text format and writes\n"
          "the terrain slope of every interior grid point to a second dmna file:\n"
          "rise over run, the larger of the central differences along the two grid\n"
          "indices, with two decimals. trasop-map shows where the terrain is\n"
          "steeper than 1:20 and 1:5, as a figure and the figures a modeller reports.")
      string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
    endif()
  endif()
endif()

include(CPack)
