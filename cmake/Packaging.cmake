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

# pkexec finds our action by the helper's absolute path, so the policy names the installed one.
set(KELDA_POLKIT_ACTION org.kelda.support-utility.netconfig)
set(KELDA_POLICY_HELPER_PATH ${KELDA_HELPER_INSTALLED})
configure_file(${PROJECT_SOURCE_DIR}/cmake/polkit/${KELDA_POLKIT_ACTION}.policy.in
               ${PROJECT_BINARY_DIR}/polkit/${KELDA_POLKIT_ACTION}.policy @ONLY)
# polkitd reads actions from its own folder only, whatever our prefix.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(kelda_actions_default ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
else()
    set(kelda_actions_default /usr/share/polkit-1/actions)
endif()
set(KELDA_POLKIT_ACTIONS_DIR ${kelda_actions_default} CACHE PATH "Where polkitd reads actions")
install(FILES ${PROJECT_BINARY_DIR}/polkit/${KELDA_POLKIT_ACTION}.policy
        DESTINATION ${KELDA_POLKIT_ACTIONS_DIR})
set(KELDA_PKEXEC_PATH /usr/bin/pkexec CACHE FILEPATH "pkexec, which starts the network helper")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelda-support-utility)
set(CPACK_PACKAGE_VENDOR "Kelda")
set(CPACK_PACKAGE_CONTACT "Kelda support <support@kelda.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setup wizard for the Smart Repeater")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds Smart Repeaters on the local network, reaches a device on another subnet through a\n temporary adapter address, and sets it up: repeated Wi-Fi network, LAN address and DHCP,\n firmware, password, reboot and factory reset.")
# The polkit action names the helper by its installed path: package what was configured.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# pkexec and the polkit daemon authorize the network helper; the fonts the skin's texts are
# drawn in. The desktop's own authentication agent asks for the password.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pkexec, polkitd, fonts-dejavu-core")
# Without qt6-wayland Qt falls back to XWayland on a Wayland desktop, or fails where there is none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "polkit-1-auth-agent, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
