# Installed layout, and the .deb and .rpm that scripts/package makes from it with CPack.
include(GNUInstallDirs)

# One name for the program on the desktop: the desktop entry, the metainfo, the icons and the
# Wayland app id (app/main.cpp) carry it, in the domain of the polkit action below.
set(KELDA_APP_ID org.kelda.SupportUtility)
set(KELDA_PACKAGE_NAME kelda-support-utility)
set(KELDA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${KELDA_PACKAGE_NAME})

# The helper is not a command for users: it lives in libexec, next to nothing else.
set(KELDA_HELPER_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/kelda-support-utility)
set(KELDA_HELPER_INSTALLED ${CMAKE_INSTALL_PREFIX}/${KELDA_HELPER_INSTALL_DIR}/kelda-netconfig-helper)

install(FILES ${PROJECT_SOURCE_DIR}/resources/${KELDA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Drawn by tools/skin at the icon theme's sizes.
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${KELDA_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/scalable.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KELDA_APP_ID}.svg)
# Software centres list the program from its metainfo.
install(FILES ${PROJECT_SOURCE_DIR}/resources/${KELDA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Firewall rules for the discovery port, where firewalld and ufw look for them; nothing is opened
# until the user enables them.
install(FILES ${PROJECT_SOURCE_DIR}/resources/firewall/kelda-support-utility.xml
        DESTINATION lib/firewalld/services)
set(KELDA_UFW_PROFILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/ufw/applications.d/kelda-support-utility)
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

# Manual pages and the changelog are kept compressed, without name or time stamp, so that two
# builds of one version give the same bytes.
set(kelda_compressed)
foreach(pair "docs/man/kelda-support-utility.1;kelda-support-utility.1.gz"
             "docs/man/kelda-netconfig-helper.8;kelda-netconfig-helper.8.gz"
             "packaging/debian/changelog;changelog.gz")
    list(GET pair 0 source)
    list(GET pair 1 output)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/docs/${output}
                       COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${source} > ${PROJECT_BINARY_DIR}/docs/${output}
                       DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
    list(APPEND kelda_compressed ${PROJECT_BINARY_DIR}/docs/${output})
endforeach()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/docs)
add_custom_target(kelda_compressed_docs ALL DEPENDS ${kelda_compressed})
install(FILES ${PROJECT_BINARY_DIR}/docs/kelda-support-utility.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/docs/kelda-netconfig-helper.8.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
              ${PROJECT_BINARY_DIR}/docs/changelog.gz
        DESTINATION ${KELDA_DOC_DIR})

# --- Both packages ------------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME ${KELDA_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Kelda")
set(CPACK_PACKAGE_CONTACT "Kelda support <support@kelda.invalid>")
# Placeholder until the program has a public site (README, "Before publishing").
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kelda.invalid/support-utility")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Setup wizard for the Smart Repeater")
# Lines short enough for every package tool's 80 columns, read here: CPack would escape the
# apostrophes of a description file as XML.
file(READ ${PROJECT_SOURCE_DIR}/packaging/description.txt CPACK_PACKAGE_DESCRIPTION)
# The polkit action names the helper by its installed path: package what was configured.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The polkit action and the firewall rules name absolute paths: nothing moves at install time.
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_STRIP_FILES ON)
# Drops what the linker's strip keeps and the distributions' own tools remove (.comment, .note).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/strip-sections.cmake)

# --- Debian -------------------------------------------------------------------------------------
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the skin's texts are drawn in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# The wizard runs without pkexec and an authentication agent: only a device on another subnet
# needs them (README, "What it needs from the system"). Without qt6-wayland Qt falls back to
# XWayland on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec, polkit-1-auth-agent, qt6-wayland")
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/conffiles.in
               ${PROJECT_BINARY_DIR}/packaging/debian/conffiles @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What lintian still says, at the info level only, is explained in packaging/debian/lintian-info;
# rpmlint's settings and the lines it may still print are in packaging/rpm/rpmlint.toml.

# --- RPM ----------------------------------------------------------------------------------------
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE "LicenseRef-proprietary")
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
# Libraries come in by soname (rpm's own dependency generator); the fonts by the capability
# fontconfig gives every font package on Fedora and openSUSE.
set(CPACK_RPM_PACKAGE_REQUIRES "font(dejavusans)")
# CPack has no field for weak dependencies (nor for the packager); these lines join the header
# it hands rpmbuild. pkexec by its path, which both distributions' polkit provides; the Wayland
# platform plugin has no common capability, so its two package names.
set(CPACK_RPM_SPEC_MORE_DEFINE "Packager: ${CPACK_PACKAGE_CONTACT}
Recommends: /usr/bin/pkexec
Recommends: (qt6-qtwayland or qt6-wayland)")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_SOURCE_DIR}/packaging/rpm/changelog)
set(CPACK_RPM_USER_FILELIST
    "%config(noreplace) ${KELDA_UFW_PROFILE}"
    "%license ${CMAKE_INSTALL_PREFIX}/${KELDA_DOC_DIR}/copyright")
# Folders that belong to the system or to the desktop, firewall and polkit packages: ours are
# only the two named after the program.
set(kelda_foreign_dirs /etc/ufw /etc/ufw/applications.d /usr/libexec /usr/lib/firewalld
    /usr/lib/firewalld/services /usr/share/applications /usr/share/metainfo /usr/share/man
    /usr/share/man/man1 /usr/share/man/man8 /usr/share/polkit-1 /usr/share/polkit-1/actions
    /usr/share/icons /usr/share/icons/hicolor /usr/share/icons/hicolor/scalable
    /usr/share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND kelda_foreign_dirs /usr/share/icons/hicolor/${size}x${size}
         /usr/share/icons/hicolor/${size}x${size}/apps)
endforeach()
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION ${kelda_foreign_dirs})

set(CPACK_GENERATOR DEB RPM)
include(CPack)
