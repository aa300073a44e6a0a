# The Debian package (cpack -G DEB, run by scripts/package): its dependencies are what
# dpkg-shlibdeps finds the binary linked against, plus what the program loads or needs at run
# time that no link shows.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cantavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Cantavo! developers")
set(CPACK_PACKAGE_CONTACT "The Cantavo! developers <cantavo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "karaoke player for .kar and MIDI songs")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CANTAVO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synthesizer makes no sound without a General MIDI SoundFont, not even offline: the small
# one unless another is installed. Qt's SQLite driver and its X11 platform plugin are loaded,
# not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm, libqt6sql6-sqlite, qt6-qpa-plugins")
# Playing to the speakers needs a sound server, which a desktop runs; the song verbs (--info,
# --render, --modify, the lists) do without one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fluid-soundfont-gm, fonts-wqy-microhei, fonts-thai-tlwg")
# CPack puts the summary first and indents these lines, a blank line becoming " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Cantavo! plays karaoke songs (.kar) and Standard MIDI Files through its
built-in synthesizer or an external MIDI device, and shows their words
with each syllable lit up in step with the music.

It seeks, changes tempo and key while you sing, mixes and mutes
instruments, writes the changed song as a new MIDI file, keeps song lists
and compilations, records the singer to a wave file, scores singing from
the microphone, and exports or prints the lyrics.

For a karaoke evening it has a singers' screen for a second display, the
singers' rotation with a memory of every singer, and song requests from
guests' phones on the local network.")
include(CPack)
