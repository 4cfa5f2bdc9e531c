# The Debian package (cpack -G DEB; scripts/package.sh). Uses what cmake/Install.cmake
# installs and generates; configure with -DCMAKE_INSTALL_PREFIX=/usr for a system package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvr-history)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QVR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt, SQLite and the C++ runtime as the binaries need them; the platform plugins come
# with libqt6gui6.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs speak German with Qt's translations; without them they stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${gen}/postinst ${gen}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The description: the program's English summary (the synopsis) and text, wrapped for the
# control file.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${QVR_COMMENT_EN}")
string(REPLACE " " ";" words "${QVR_DESCRIPTION_EN}")
set(body "")
set(line "")
foreach(word ${words})
  string(LENGTH "${line} ${word}" n)
  if(n GREATER 78 AND line)
    string(APPEND body "${line}\n")
    set(line "${word}")
  elseif(line)
    string(APPEND line " ${word}")
  else()
    set(line "${word}")
  endif()
endforeach()
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${body}${line}")

include(CPack)
