# Installing: the executable, its read-only data in share/cantavo, and what a desktop needs
# (the menu entry, icons, file types, the software centre's description, the manual page and
# the shell's completion). The user's own files are never installed: the program makes them in
# the user's folders on first use.
include(GNUInstallDirs)
install(TARGETS cantavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(shared_data cantavo.mid CANTAVO.HLP applause.wav APPL.WAV boo.wav)
foreach(bits 8 16)
    foreach(stereo 0 1)
        foreach(khz 11 22 44)
            list(APPEND shared_data ${bits}-${stereo}-${khz}.wav)
        endforeach()
    endforeach()
endforeach()
list(TRANSFORM shared_data PREPEND ${CANTAVO_PROGRAM_DIR}/)
install(FILES ${shared_data} DESTINATION ${CMAKE_INSTALL_DATADIR}/cantavo)
install(FILES ${CANTAVO_PROGRAM_DIR}/CANTAVO.INI.default DESTINATION ${CMAKE_INSTALL_DATADIR}/cantavo RENAME CANTAVO.INI)
install(DIRECTORY ${CANTAVO_PROGRAM_DIR}/songs DESTINATION ${CMAKE_INSTALL_DATADIR}/cantavo)

install(FILES data/cantavo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${CANTAVO_APP_ID}.desktop)
install(FILES ${CMAKE_BINARY_DIR}/data/cantavo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME ${CANTAVO_APP_ID}.metainfo.xml)
install(FILES data/cantavo-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME cantavo.xml)
install(FILES data/cantavo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${CANTAVO_ICON_SIZES})
    install(FILES ${CMAKE_BINARY_DIR}/data/icons/${size}x${size}/cantavo.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/data/cantavo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/cantavo.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME cantavo)
install(FILES data/copyright ${CMAKE_BINARY_DIR}/data/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
