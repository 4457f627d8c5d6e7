# Installed layout and the Debian package.
include(GNUInstallDirs)

# The helper is not a command for users: it lives in libexec, next to nothing else.
set(KELDA_HELPER_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/kelda-support-utility)
set(KELDA_HELPER_INSTALLED ${CMAKE_INSTALL_PREFIX}/${KELDA_HELPER_INSTALL_DIR}/kelda-netconfig-helper)

install(FILES ${PROJECT_SOURCE_DIR}/resources/kelda-support-utility.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/skin/icon-128.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
        RENAME kelda-support-utility.png)
# Software centres list the program from its metainfo.
install(FILES ${PROJECT_SOURCE_DIR}/resources/kelda-support-utility.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Firewall rules for the discovery port, where firewalld and ufw look for them; nothing is opened
# until the user enables them.
install(FILES ${PROJECT_SOURCE_DIR}/resources/firewall/kelda-support-utility.xml
        DESTINATION lib/firewalld/services)
install(FILES ${PROJECT_SOURCE_DIR}/resources/firewall/kelda-support-utility.ufw
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/ufw/applications.d
        RENAME kelda-support-utility)

configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/postinst ${PROJECT_BINARY_DIR}/debian/postinst
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
               GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelda-support-utility)
set(CPACK_PACKAGE_VENDOR "Kelda")
set(CPACK_PACKAGE_CONTACT "Kelda support <support@kelda.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setup wizard for the Smart Repeater")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds Smart Repeaters on the local network, reaches a device on another subnet through a\n temporary adapter address, and sets it up: repeated Wi-Fi network, LAN address and DHCP,\n firmware, password, reboot and factory reset.")
# The post-install step names the helper by its installed path: package what was configured.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap for the post-install step; the fonts the skin's texts are drawn in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
