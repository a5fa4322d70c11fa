# Debian package of the front end, its links, spauth and the manual pages.
# Included from the top CMakeLists.txt after the targets and their install()
# rules. Build with: cpack -G DEB (in the build tree).
#
# The front end's install(TARGETS ... PERMISSIONS ... SETUID) rule sets mode
# 4755 in the staging tree, even when cpack runs as an ordinary user (an
# owner may set set-user-ID on its own file). The DEB generator keeps that
# mode and records every member as owned by root:root, so the package
# installs /usr/sbin/qeldump as -rwsr-xr-x root root.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qeldump)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_VENDOR "Service processor front end team")
set(CPACK_PACKAGE_CONTACT
  "Service processor front end team <sp-frontend@localhost>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Privileged command front end for service processor tools")
set(CPACK_DEBIAN_PACKAGE_DEPENDS sudo)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The staging directories are made with the builder's umask (077 would give
# drwx------ /usr in the package); set every one to 0755 before packing.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/cpack_directory_modes.cmake
  CONTENT [[
file(GLOB_RECURSE dirs LIST_DIRECTORIES true
  "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER dirs INCLUDE REGEX ".")
foreach(d IN LISTS dirs "${CPACK_TEMPORARY_DIRECTORY}")
  if(IS_DIRECTORY "${d}" AND NOT IS_SYMLINK "${d}")
    file(CHMOD "${d}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
      GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
]] @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/cpack_directory_modes.cmake)
include(CPack)
