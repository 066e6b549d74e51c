# The Debian package, brevant_<version>_amd64.deb, made by CPack from the
# install rules of cmake/Install.cmake (scripts/package runs it). Included
# after every program is known.

get_property(BREVANT_PROGRAMS GLOBAL PROPERTY BREVANT_PROGRAMS)
list(JOIN BREVANT_PROGRAMS " " BREVANT_PROGRAM_WORDS)
list(JOIN BREVANT_STATE_FOLDERS " " BREVANT_STATE_FOLDER_WORDS)
set(BREVANT_GROUP brevant)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(BREVANT_APP_DIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${BREVANT_INSTALL_DIR})
set(BREVANT_SHARE_DIR ${CPACK_PACKAGING_INSTALL_PREFIX}/share/brevant)

set(control ${CMAKE_BINARY_DIR}/packaging/deb)
foreach(script postinst prerm postrm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/${script}.in ${control}/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endforeach()
file(WRITE ${control}/conffiles "${BREVANT_CONFIG_DIR}/Setting.ini\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevant)
set(CPACK_PACKAGE_VENDOR Brevant)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brevant developers <brevant@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the first line; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Brevant discovers home gateways and GPON terminals on one Ethernet segment
with its own link-layer protocol and delivers configuration files, logos or
the anti-theft lock command to many of them at once.
.
The programs capture frames through the cap_net_raw capability. Members of
the group brevant may run them and write the shared folders in
/var/lib/brevant (result logs, per-device files, anti-theft templates).")
# The libraries come from dpkg-shlibdeps; the tools the scripts use are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd, libcap2-bin, acl")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${control}/postinst;${control}/prerm;${control}/postrm;${control}/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
