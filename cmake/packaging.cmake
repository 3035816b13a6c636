# What an installation holds, and the packages CPack makes of it:
#   Linux:   bin/trasop, the manual page, the README and the example with its result, packed
#            as trasop-<version>-linux-<machine>.tar.gz and trasop_<version>_<arch>.deb
#   Windows: trasop.exe, README.txt (CR LF line ends) and the example, packed as
#            trasop-<version>-win32.zip or -win64.zip
# Archives are reproducible: file times are those of SOURCE_DATE_EPOCH where it is set (the
# commit's time, set by scripts/package.sh), owners are root, and the order is by name.
set(example_files ${PROJECT_SOURCE_DIR}/examples/hill.dmna)
set(example_result ${PROJECT_SOURCE_DIR}/examples/expected/hill_s.dmna)

set(CPACK_PACKAGE_NAME trasop)
set(CPACK_PACKAGE_VENDOR "trasop")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terrain slopes from dmna grids of terrain heights")
set(CPACK_PACKAGE_CONTACT "trasop developers <trasop@localhost>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_THREADS 1)

if(WIN32)
  install(TARGETS trasop DESTINATION .)
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
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
  install(FILES ${PROJECT_SOURCE_DIR}/doc/trasop.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${example_files} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  install(FILES ${example_result} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/expected)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
  set(CPACK_PACKAGE_FILE_NAME trasop-${PROJECT_VERSION}-${platform})
  set(CPACK_GENERATOR TGZ)
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(DPKG_SHLIBDEPS)
    list(APPEND CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION science)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "terrain slopes from dmna grids of terrain heights\n"
        "trasop reads a grid of terrain heights in the dmna text format and writes the terrain "
        "slope of every interior grid point to a second dmna file.")
    string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
  endif()
endif()

include(CPack)
