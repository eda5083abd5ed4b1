# What `cmake --install` puts beside the programs, and the Debian package
# CPack makes of it. Included last, once every program target exists.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/resources/larkspur.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The headless report is built from its own folder; its program and manual
# page are installed when it is part of the build.
if(TARGET larkspur-report)
    install(TARGETS larkspur-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # Debian keeps manual pages compressed, without a time stamp.
    set(man_page ${PROJECT_BINARY_DIR}/man/larkspur-report.1)
    configure_file(${PROJECT_SOURCE_DIR}/man/larkspur-report.1.in ${man_page} @ONLY)
    add_custom_command(OUTPUT ${man_page}.gz
        COMMAND gzip -9 -n -c ${man_page} > ${man_page}.gz
        DEPENDS ${man_page}
        COMMENT "Compressing the manual page of larkspur-report")
    add_custom_target(larkspur_man ALL DEPENDS ${man_page}.gz)
    install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkspur)
set(CPACK_PACKAGE_VENDOR "Oakhollow Software")
set(CPACK_PACKAGE_CONTACT "Oakhollow Software <larkspur@oakhollow.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see where the space on your disks has gone")
set(CPACK_PACKAGE_DESCRIPTION
    "Larkspur shows the folders of your disks as a tree with the disk space of each
folder's whole subtree, the files of the selected folder, and the duplicate
files a background scan found. Whatever you delete goes to the Trash.
larkspur-report prints the same sizes and duplicates without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt 6, GLib, the C and C++ runtimes) are
# read off the binaries by dpkg-shlibdeps; where it is missing, the Debian 12
# packages that hold them are named here. Qt loads its platform plugins
# (X11, offscreen) at run time, and QMimeDatabase reads the shared MIME
# database, so those two are named in either case.
find_program(LARKSPUR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(LARKSPUR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, shared-mime-info")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), \
libqt6core6 (>= 6.4), libglib2.0-0 (>= 2.74), libstdc++6 (>= 12), libgcc-s1, libc6 (>= 2.36), \
qt6-qpa-plugins, shared-mime-info")
endif()
# Wayland sessions run the program natively with Qt's Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
