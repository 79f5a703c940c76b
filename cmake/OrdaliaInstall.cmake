# Where an installation puts the programs and the files they read.
#
# On Linux the programs go to bin/ and the shipped files to share/ordalia/, a
# folder the programs cannot write: at start they copy what the user lacks of
# it into their per-user folder (src/common/program_folder.h). On Windows the
# installation is one folder, as the build tree is, that runs where it lies.
include(GNUInstallDirs)

if(WIN32)
    set(ORDALIA_INSTALL_BINDIR .)
    set(ORDALIA_INSTALL_DATADIR .)
else()
    set(ORDALIA_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
    set(ORDALIA_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/ordalia)
endif()

foreach(program ordalia ordalia-cli ordalia-vprinter)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${ORDALIA_INSTALL_BINDIR})
    endif()
endforeach()

# Beside the window on Windows: what it needs to start (OrdaliaQtWindows.cmake).
if(WIN32 AND TARGET ordalia)
    foreach(file ${ORDALIA_QT_WINDOWS_RUNTIME})
        ordalia_qt_runtime_folder(${file} folder)
        install(FILES ${ORDALIA_QT_WINDOWS}/${file} DESTINATION ${ORDALIA_INSTALL_BINDIR}/${folder})
    endforeach()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/data/flash3 DESTINATION ${ORDALIA_INSTALL_DATADIR})

# The generated files come from the generators, which run on the build
# machine; a cross build takes them from a native build (scripts/package.sh).
if(NOT CMAKE_CROSSCOMPILING)
    # The default record as generated, not the one beside the program, which
    # settings downloads from the build tree rewrite.
    install(FILES ${PROJECT_BINARY_DIR}/data/user_setting DESTINATION ${ORDALIA_INSTALL_DATADIR})
    # The example profile as the build laid it out.
    install(DIRECTORY ${ORDALIA_PROGRAM_DIR}/profiles/example
            DESTINATION ${ORDALIA_INSTALL_DATADIR}/profiles)
    if(ORDALIA_TESTPAGES)
        list(TRANSFORM ORDALIA_TESTPAGES PREPEND "${ORDALIA_PROGRAM_DIR}/testpage/"
             OUTPUT_VARIABLE testpage_files)
        install(FILES ${testpage_files} DESTINATION ${ORDALIA_INSTALL_DATADIR}/testpage)
    endif()
    if(TARGET ordalia_cpfonts_data)
        # The fonts, the slot list and the model name; not the image or the
        # burn file a build-tree run leaves there.
        install(DIRECTORY "${ORDALIA_PROGRAM_DIR}/Codepage Table"
                DESTINATION ${ORDALIA_INSTALL_DATADIR}
                FILES_MATCHING PATTERN "*.CP" PATTERN "Codepage" PATTERN "model_name")
    endif()
endif()

if(NOT WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/data/ordalia.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/ordalia.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/man/ordalia.1 ${PROJECT_SOURCE_DIR}/docs/man/ordalia-cli.1
                  ${PROJECT_SOURCE_DIR}/docs/man/ordalia-vprinter.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
