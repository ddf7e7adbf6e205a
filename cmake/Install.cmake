# SPDX-License-Identifier: GPL-3.0-or-later
# Installation in the usual places of a Linux desktop, and the Debian package made from it.
# The program finds its icons at ../share/pelmora/ from its own folder, so the bin and data
# folders keep their usual names.
include(GNUInstallDirs)

set(PELMORA_APP_ID org.pelmora.Pelmora)
set(data ${PROJECT_SOURCE_DIR}/data)

install(TARGETS pelmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data}/icons/pelmora.svg ${data}/icons/folder.svg ${data}/icons/padlock-closed.svg
              ${data}/icons/padlock-open.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/pelmora/icons)
install(FILES ${data}/${PELMORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${PELMORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/icons/pelmora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${PELMORA_APP_ID}.svg)
# Rendered from pelmora.svg: rsvg-convert -w 48 -h 48 data/icons/pelmora.svg -o data/icons/pelmora-48.png
install(FILES ${data}/icons/pelmora-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME ${PELMORA_APP_ID}.png)

set(man_page ${CMAKE_CURRENT_BINARY_DIR}/pelmora.1.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND sh -c "gzip -9n -c '${data}/pelmora.1' > '${man_page}'"
  DEPENDS ${data}/pelmora.1 VERBATIM)
add_custom_target(pelmora_man ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's maintainer. A release sets both; the defaults mark a local build.
set(PELMORA_MAINTAINER_NAME "Pelmora developers" CACHE STRING "Maintainer of the Debian package: name")
set(PELMORA_MAINTAINER_EMAIL "pelmora@localhost" CACHE STRING "Maintainer of the Debian package: e-mail address")
set(PELMORA_MAINTAINER "${PELMORA_MAINTAINER_NAME} <${PELMORA_MAINTAINER_EMAIL}>")

# Licence, release history and the package checker's notes, where Debian keeps them.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pelmora)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
# Rewritten only when the maintainer changes, so that the changelog follows it.
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/maintainer.txt CONTENT "${PELMORA_MAINTAINER}\n")
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG -DOUTPUT=${changelog} -DPACKAGE=pelmora
          "-DMAINTAINER=${PELMORA_MAINTAINER}" -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
          ${CMAKE_CURRENT_BINARY_DIR}/maintainer.txt VERBATIM)
add_custom_target(pelmora_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} ${data}/debian/copyright DESTINATION ${doc_dir})
install(FILES ${data}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME pelmora)

# The newest release named in CHANGELOG is this version.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG newest REGEX "^[0-9][^ ]* \\(" LIMIT_COUNT 1)
if(NOT newest MATCHES "^${PROJECT_VERSION} ")
  message(FATAL_ERROR "CHANGELOG's newest entry '${newest}' is not version ${PROJECT_VERSION}")
endif()

# cpack -G DEB: the runtime libraries come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "Pelmora")
set(CPACK_PACKAGE_CONTACT "${PELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound recorder with live level meters and MP3 output")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelmora records from a sound card input into a WAV file, a raw PCM file,
or an MP3 file made by the LAME encoder. It shows live level meters before
and after an optional DC-offset filter, a status panel and a CPU graph,
stops by itself on write time, file size, free disk space or lost data,
and logs everything it does.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "lame, xdg-user-dirs")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
