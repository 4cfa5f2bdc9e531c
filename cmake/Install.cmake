# Install rules: `cmake --install` lays the programs out as a system package does.
#   bin/                     qvr-history, qvr-history-cli, qvr-panel-sim, qvr-standard-texts
#   share/qvr-history/       the installation folder: standard texts, their sample source,
#                            help pages
# and on Linux besides:
#   <sysconfdir>/qvr-history/qvr-history.ini   system settings naming that folder (/etc
#                            with the prefix /usr, the only place the program reads)
#   share/applications, icons/hicolor, mime/packages, metainfo, man/man1, doc/qvr-history
include(GNUInstallDirs)

set(QVR_DATA_DIR ${CMAKE_INSTALL_DATADIR}/qvr-history)
set(QVR_INSTALLED_DATA ${CMAKE_INSTALL_FULL_DATADIR}/qvr-history)
set(QVR_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/resources/package)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Without the setting CurDir the program looks for its data relative to its own folder, so
# an unpacked or relocated tree works as well as one installed under the prefix.
file(RELATIVE_PATH data_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${QVR_INSTALLED_DATA})
target_compile_definitions(qvr_core PRIVATE QVR_DATA_FROM_BIN="${data_from_bin}")

foreach(program qvr-history qvr-history-cli qvr-panel-sim qvr-standard-texts)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${QVR_OUTPUT_DIR}/Standardtexte.bdb
              ${CMAKE_SOURCE_DIR}/resources/standard-texts-sample.tsv
              ${QVR_RESOURCE_DIR}/help/QVR-HISTORY_DE.html
              ${QVR_RESOURCE_DIR}/help/QVR-HISTORY_EN.html
        DESTINATION ${QVR_DATA_DIR})

if(NOT (UNIX AND NOT APPLE))
  return()
endif()

# Texts a user sees come from the program's text table, German and English.
function(qvr_text id var)
  file(STRINGS ${QVR_RESOURCE_DIR}/texts.tsv line REGEX "^${id}\t" ENCODING UTF-8)
  string(REPLACE "\t" ";" fields "${line}")
  list(LENGTH fields n)
  if(NOT n EQUAL 3)
    message(FATAL_ERROR "text ${id} is not one line of id, German and English")
  endif()
  list(GET fields 1 de)
  list(GET fields 2 en)
  set(${var}_DE "${de}" PARENT_SCOPE)
  set(${var}_EN "${en}" PARENT_SCOPE)
endfunction()
qvr_text(1000 QVR_NAME)
qvr_text(1570 QVR_GENERIC)
qvr_text(1580 QVR_COMMENT)
qvr_text(1500 QVR_DESCRIPTION)
qvr_text(1600 QVR_DIALOUT)
qvr_text(1610 QVR_MIME)
# The AppStream component id wants a reverse domain name.
set(QVR_APP_ID de.qvrhistory.QVRHistory CACHE STRING "AppStream id of the program")
set(QVR_MAINTAINER "QVR-History maintainers <maintainers@qvr-history.invalid>"
    CACHE STRING "Maintainer named in the Debian package")
# Build dates (SOURCE_DATE_EPOCH, when set, makes them repeatable).
string(TIMESTAMP QVR_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP QVR_RELEASE_DATE "%Y-%m-%d" UTC)

set(gen ${CMAKE_BINARY_DIR}/install)
configure_file(${QVR_PACKAGE_DIR}/qvr-history.ini.in ${gen}/qvr-history.ini @ONLY)
configure_file(${QVR_PACKAGE_DIR}/qvr-history.desktop.in ${gen}/qvr-history.desktop @ONLY)
configure_file(${QVR_PACKAGE_DIR}/qvr-history-mime.xml.in ${gen}/qvr-history.xml @ONLY)
configure_file(${QVR_PACKAGE_DIR}/qvr-history.metainfo.xml.in
               ${gen}/${QVR_APP_ID}.metainfo.xml @ONLY)
configure_file(${QVR_PACKAGE_DIR}/postinst.in ${gen}/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
file(WRITE ${gen}/conffiles "${CMAKE_INSTALL_FULL_SYSCONFDIR}/qvr-history/qvr-history.ini\n")

install(FILES ${gen}/qvr-history.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/qvr-history)
install(FILES ${gen}/qvr-history.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${gen}/qvr-history.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${gen}/${QVR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QVR_PACKAGE_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages and the changelog, compressed as Debian wants them (no name, no time stamp).
set(compressed)
file(GLOB man_pages ${CMAKE_SOURCE_DIR}/resources/man/*.1)
foreach(page ${man_pages} ${QVR_PACKAGE_DIR}/changelog.in)
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE "\\.in$" "" name ${name})
  configure_file(${page} ${gen}/${name} @ONLY)
  add_custom_command(OUTPUT ${gen}/${name}.gz COMMAND gzip -9nkf ${gen}/${name}
                     DEPENDS ${gen}/${name} VERBATIM)
  list(APPEND compressed ${gen}/${name}.gz)
  if(name MATCHES "\\.1$")
    install(FILES ${gen}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${gen}/${name}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
endforeach()

# The icon: the vector picture, and pictures of the usual sizes made from it.
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${QVR_PACKAGE_DIR}/qvr-history.svg DESTINATION ${icons}/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${gen}/icons/${size}/qvr-history.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}/icons/${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${QVR_PACKAGE_DIR}/qvr-history.svg
      DEPENDS ${QVR_PACKAGE_DIR}/qvr-history.svg VERBATIM)
    list(APPEND compressed ${png})
    install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert not found (librsvg2-bin): the icon is installed as SVG only")
endif()
add_custom_target(qvr_install_files ALL DEPENDS ${compressed})
