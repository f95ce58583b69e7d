# Install rules and the Debian package (`make package`, CPack's DEB generator).
#
# The program finds its driver library, the driver's default register image and
# models/ beside itself, so all of them go into one private folder,
# <prefix>/lib/vescor; <prefix>/bin holds links to the two programs. The desktop
# entry and the icon go where freedesktop menus look for them.
# Everything belongs to the install component "vescor".

set(VESCOR_INSTALL_DIR lib/vescor CACHE STRING "Folder of the program, its driver and models/ below the prefix")
set(VESCOR_INSTALL_COMPONENT vescor)
set(VESCOR_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS vescor vescor-cli
        RUNTIME DESTINATION ${VESCOR_INSTALL_DIR} COMPONENT ${VESCOR_INSTALL_COMPONENT})
# The programs load the driver from beside themselves (they do not link it).
install(TARGETS tillo10
        LIBRARY DESTINATION ${VESCOR_INSTALL_DIR} COMPONENT ${VESCOR_INSTALL_COMPONENT})
install(FILES ${VESCOR_BIN_DIR}/tillo10-image.json
        DESTINATION ${VESCOR_INSTALL_DIR} COMPONENT ${VESCOR_INSTALL_COMPONENT})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/models/
        DESTINATION ${VESCOR_INSTALL_DIR}/models COMPONENT ${VESCOR_INSTALL_COMPONENT}
        FILES_MATCHING PATTERN "*.json")

# <prefix>/bin/vescor -> ../lib/vescor/vescor: relative links, made here and
# installed as links, so that they hold under any prefix and DESTDIR.
set(links_dir ${CMAKE_BINARY_DIR}/packaging/bin)
file(MAKE_DIRECTORY ${links_dir})
file(RELATIVE_PATH link_target /prefix/bin /prefix/${VESCOR_INSTALL_DIR})
foreach(program vescor vescor-cli)
  file(CREATE_LINK ${link_target}/${program} ${links_dir}/${program} SYMBOLIC)
  install(FILES ${links_dir}/${program} DESTINATION bin COMPONENT ${VESCOR_INSTALL_COMPONENT})
endforeach()

install(FILES ${VESCOR_PACKAGING_DIR}/vescor.desktop
        DESTINATION share/applications COMPONENT ${VESCOR_INSTALL_COMPONENT})
install(FILES ${VESCOR_PACKAGING_DIR}/vescor.svg
        DESTINATION share/icons/hicolor/scalable/apps COMPONENT ${VESCOR_INSTALL_COMPONENT})
install(FILES ${VESCOR_PACKAGING_DIR}/vescor.metainfo.xml
        DESTINATION share/metainfo RENAME example.orvane.vescor.metainfo.xml COMPONENT ${VESCOR_INSTALL_COMPONENT})
install(FILES ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION share/doc/vescor COMPONENT ${VESCOR_INSTALL_COMPONENT})
install(FILES ${CMAKE_SOURCE_DIR}/driver/README.md
        DESTINATION share/doc/vescor RENAME tillo10.md COMPONENT ${VESCOR_INSTALL_COMPONENT})

# Licence, copyright and changelog as Debian keeps them: the changelog
# compressed without a time stamp, so that the same sources give the same package.
install(FILES ${VESCOR_PACKAGING_DIR}/copyright
        DESTINATION share/doc/vescor COMPONENT ${VESCOR_INSTALL_COMPONENT})
# The lintian tags that remain, each with its reason (README, "Install").
install(FILES ${VESCOR_PACKAGING_DIR}/lintian-overrides
        DESTINATION share/lintian/overrides RENAME vescor COMPONENT ${VESCOR_INSTALL_COMPONENT})
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VESCOR_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${VESCOR_CHANGELOG_GZ}
  COMMAND ${GZIP_PROGRAM} -9nc ${VESCOR_PACKAGING_DIR}/changelog > ${VESCOR_CHANGELOG_GZ}
  DEPENDS ${VESCOR_PACKAGING_DIR}/changelog VERBATIM)
set(VESCOR_PACKAGE_FILES ${VESCOR_CHANGELOG_GZ})
install(FILES ${VESCOR_CHANGELOG_GZ}
        DESTINATION share/doc/vescor COMPONENT ${VESCOR_INSTALL_COMPONENT})

# Manual pages made from the programs' own --help and --version by help2man,
# so that they always say what the programs say.
find_program(HELP2MAN_PROGRAM help2man)
if(HELP2MAN_PROGRAM)
  set(vescor_summary "editor of the settings tables of fiscal cash registers")
  set(vescor-cli_summary "the settings tables of fiscal cash registers from a shell")
  # Beyond the --help: the synopsis, the exit statuses and examples
  # (packaging/<program>.h2m); for vescor-cli also every command's --help.
  set(vescor_sections ${VESCOR_PACKAGING_DIR}/vescor.h2m)
  set(vescor-cli_sections ${CMAKE_BINARY_DIR}/packaging/man/vescor-cli.h2m)
  add_custom_command(OUTPUT ${vescor-cli_sections}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 LC_ALL=C.UTF-8
            ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:vescor-cli> -DOUT=${vescor-cli_sections}
            -DEXTRA=${VESCOR_PACKAGING_DIR}/vescor-cli.h2m -P ${VESCOR_PACKAGING_DIR}/ManPageSections.cmake
    DEPENDS vescor-cli ${VESCOR_PACKAGING_DIR}/vescor-cli.h2m ${VESCOR_PACKAGING_DIR}/ManPageSections.cmake VERBATIM)
  foreach(program vescor vescor-cli)
    set(page ${CMAKE_BINARY_DIR}/packaging/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
      # The help is Russian: without a UTF-8 locale help2man writes "?" for it.
      # A sanitized build's leak report at exit would fail the run.
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
              ${HELP2MAN_PROGRAM} --locale=C.UTF-8 --no-info --name=${${program}_summary}
              --include=${${program}_sections} --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP_PROGRAM} -9nf ${page}
      DEPENDS ${program} ${${program}_sections} VERBATIM)
    list(APPEND VESCOR_PACKAGE_FILES ${page}.gz)
    install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT ${VESCOR_INSTALL_COMPONENT})
  endforeach()
else()
  message(WARNING "help2man is missing: the package is built without manual pages (scripts/install-deps installs it)")
endif()
add_custom_target(vescor_package_files ALL DEPENDS ${VESCOR_PACKAGE_FILES})

# vescor_<version>_amd64.deb in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vescor)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor of the settings tables of fiscal cash registers (KKT)")
set(CPACK_PACKAGE_DESCRIPTION
    "Vescor reads the settings tables of a fiscal cash register through the\n\
tillo10 driver library, lets you edit them and writes the changed cells back;\n\
tables are exported to and imported from CSV files. vescor-cli does the same\n\
from a shell. The package carries a stand-in tillo10 library with an emulated\n\
register. The user interface is in Russian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};${VESCOR_INSTALL_COMPONENT};/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(VESCOR_PACKAGE_MAINTAINER "Orvane <vescor@orvane.example>" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VESCOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs and the driver link (Qt 5, jsoncpp, libcsv) come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own buttons and dialogs speak Russian through Qt's translations.
# The window's icon is an SVG image: Qt draws it through its SVG icon plug-in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qttranslations5-l10n, libqt5svg5")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
