# Installing the Linux program as screen savers are installed, and the Debian package of it:
#   cmake --install build/linux [--prefix DIR]        (DESTDIR is honoured)
#   (cd build/linux && cpack -G DEB)                    build/linux/lumivorra_<version>_<arch>.deb
#
#   bin/lumivorra                                     the program
#   libexec/lumivorra/lumivorra-dialog.so             its settings dialog (Qt), opened only to show it
#   libexec/xscreensaver/lumivorra                    the same, where XScreenSaver looks for its hacks
#   share/xscreensaver/config/lumivorra.xml           what XScreenSaver's settings program offers
#   share/applications/lumivorra.desktop              the settings dialog in the desktop's menus
#   share/icons/hicolor/128x128/apps/lumivorra.png    its icon (tools/resources/icon.py)
#   share/locale/<lang>/LC_MESSAGES/lumivorra.mo      the translations (po/<lang>.po)
#   share/man/man6/lumivorra.6.gz                     the manual page
#   share/man/ja/man6/lumivorra.6.gz                  the manual page in Japanese
#   share/doc/lumivorra/{copyright,changelog.gz}
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(lv_packaging ${PROJECT_SOURCE_DIR}/packaging)

# Debian's hardening: relocations resolved at start and made read-only before main runs.
target_link_options(lumivorra PRIVATE LINKER:-z,relro,-z,now)
install(TARGETS lumivorra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The program looks for the dialog module beside itself first (the build folder), then here, by a path
# relative to its own folder so that it holds under any prefix. A private module, not a library for the
# linker: under lib/, CPack would add ldconfig calls that lintian rejects.
install(TARGETS lumivorra-dialog LIBRARY DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/lumivorra)
file(RELATIVE_PATH lv_dialog_dir "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBEXECDIR}/lumivorra")
target_compile_definitions(lv_platform_linux PRIVATE LV_DIALOG_MODULE_DIR="${lv_dialog_dir}")
# The catalogs, found by the program relative to its own folder as the dialog module is.
file(RELATIVE_PATH lv_locale_dir "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LOCALEDIR}")
target_compile_definitions(lv_platform_linux PRIVATE LV_LOCALE_DIR="${lv_locale_dir}")
foreach(language IN LISTS LV_LANGUAGES)
    install(FILES ${CMAKE_BINARY_DIR}/locale/${language}/LC_MESSAGES/lumivorra.mo
            DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
# A relative link rather than a second copy of the binary: it follows the program wherever the prefix is.
file(RELATIVE_PATH lv_hack_target "/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver" "/${CMAKE_INSTALL_BINDIR}/lumivorra")
install(CODE "
    set(hack_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver\")
    file(MAKE_DIRECTORY \"\${hack_dir}\")
    message(STATUS \"Installing: \${hack_dir}/lumivorra -> ${lv_hack_target}\")
    file(CREATE_LINK \"${lv_hack_target}\" \"\${hack_dir}/lumivorra\" SYMBOLIC)
")
install(FILES ${lv_packaging}/lumivorra.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${lv_packaging}/lumivorra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${lv_packaging}/lumivorra.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)

# Manual page and changelog compressed as Debian keeps them (gzip -n: no name or time stamp inside, so
# the package is the same from one build to the next).
# The Japanese page (share/man/ja/man6, where man looks in a Japanese locale) gets the break points groff
# needs in text without blanks (packaging/man-breaks.py).
configure_file(${lv_packaging}/lumivorra.6 ${CMAKE_BINARY_DIR}/packaging/lumivorra.6 @ONLY)
find_program(LV_GZIP gzip REQUIRED)
set(lv_page_ja ${CMAKE_BINARY_DIR}/packaging/ja/lumivorra.6)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/packaging/lumivorra.6.gz ${lv_page_ja}.gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${LV_GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/lumivorra.6
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/ja
    COMMAND ${Python3_EXECUTABLE} ${lv_packaging}/man-breaks.py ${lv_packaging}/lumivorra.ja.6 ${lv_page_ja}
            ${PROJECT_VERSION}
    COMMAND ${LV_GZIP} -9nkf ${lv_page_ja}
    COMMAND ${LV_GZIP} -9nc ${lv_packaging}/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/lumivorra.6 ${lv_packaging}/lumivorra.ja.6 ${lv_packaging}/man-breaks.py
            ${lv_packaging}/changelog
    COMMENT "Making the manual pages and compressing them and the changelog")
add_custom_target(lv_install_docs ALL
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/lumivorra.6.gz ${lv_page_ja}.gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/lumivorra.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${lv_page_ja}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man6)
install(FILES ${lv_packaging}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumivorra)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivorra)
set(CPACK_PACKAGE_VENDOR quillo)
set(CPACK_PACKAGE_CONTACT "Lumivorra developers <lumivorra@quillo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "glowing ball swarm screen saver with bump-mapped light and music")
set(CPACK_PACKAGE_DESCRIPTION "A screen saver that draws a swarm of glowing balls flying about the middle
of the screen, with a spot light on the swarm that lights a height map by bump
mapping, and plays a looping song through its own MIDI sequencer and an
in-process FluidSynth. It runs full screen, in a window, inside XScreenSaver
(a hack description for its settings program is included) and offers a
settings dialog. It speaks English and Japanese, as the locale chooses.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries come from dpkg-shlibdeps; what is opened by name at run time is listed here: a
# General MIDI soundfont for the music and a Japanese font for the dialog's labels.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm, fonts-ipafont-gothic | fonts-japanese-gothic")
# Qt's own texts of the dialog's pickers in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
