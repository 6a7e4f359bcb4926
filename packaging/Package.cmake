# What a desktop finds after installation, and the Debian package made of it (scripts/package).

install(FILES packaging/vesk-voice.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/vesk-voice.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/app/vesk-voice.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The version lives in project(); the changelog and the AppStream release list must name it too,
# or the package would describe another release than the one it carries.
file(STRINGS packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^vesk-voice \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}")
endif()
file(READ packaging/vesk-voice.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/vesk-voice.metainfo.xml lists no release ${PROJECT_VERSION}")
endif()

# Manual page and changelog go in compressed, without a time stamp, as Debian expects.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(packaging_dir ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(
    OUTPUT ${packaging_dir}/vesk-voice.1.gz ${packaging_dir}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/vesk-voice.1
            ${CMAKE_SOURCE_DIR}/packaging/changelog ${packaging_dir}
    COMMAND ${GZIP_PROGRAM} -9nf ${packaging_dir}/vesk-voice.1 ${packaging_dir}/changelog
    DEPENDS packaging/vesk-voice.1 packaging/changelog
    VERBATIM)
add_custom_target(vesk_packaging_docs ALL
    DEPENDS ${packaging_dir}/vesk-voice.1.gz ${packaging_dir}/changelog.gz)
install(FILES ${packaging_dir}/vesk-voice.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${packaging_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vesk-voice)

set(VESK_PACKAGE_MAINTAINER
    "Vesk Voice maintainers <maintainers@users.noreply.c-seed-9aebc07f.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vesk-voice)
set(CPACK_PACKAGE_VENDOR "Vesk Voice")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VESK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hold-to-talk dictation that types where the cursor is")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_SOURCE_DIR}/packaging/description)
# Directories made by the package are 0755 whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
find_program(DPKG_PROGRAM dpkg)
if(DPKG_PROGRAM)
    execute_process(COMMAND ${DPKG_PROGRAM} --print-architecture
                    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
# dpkg-shlibdeps finds the libraries the binary links. Here the plugins the app loads ship in
# those same packages: the SVG icon engine (tray, window and button icons) in libqt6svg6, the X11
# platform plugin in libqt6gui6, and Qt Multimedia talks to the sound server through libpulse,
# which it links. What no link shows is added by hand: a font with Latin (Uzbek's ʻ included),
# Cyrillic and Arabic; recommended, a sound server for the microphones and the sounds (PipeWire's
# PulseAudio service does as well), a font for the Chinese and Korean language names, and Qt's own
# translations so that its standard buttons and menus follow a Russian interface.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core | fonts-noto-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pulseaudio | pipewire-pulse, fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
# The microphone settings fall back to the PulseAudio mixer where no desktop settings exist.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pavucontrol")

include(CPack)
