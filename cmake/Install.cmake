# Install layout and Debian packages. Included last from the root CMakeLists.txt, so every
# target exists; targets are named here, never by folder, so moving sources does not touch this.
#
#   bin/                        corvane, vizserver, lumbra, skinc
#   share/corvane/              compiled skins with their pictures, language files
#   share/applications/         corvane.desktop, lumbra.desktop
#   share/icons/hicolor/48x48/  corvane.png
#   share/man/man1/             one page per program, made from its --help by help2man
#   lib/systemd/system/         vizserver.service
#   share/doc/<package>/        README.md
#
# Each program finds its data beside itself (the build tree) or in ../share/corvane.
if(CORVANE_FUZZ)
    return()
endif()
include(GNUInstallDirs)

set(corvane_data_dir ${CMAKE_INSTALL_DATADIR}/corvane)

install(TARGETS corvane skinc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT corvane)
install(DIRECTORY ${CORVANE_BIN_DIR}/skins DESTINATION ${corvane_data_dir} COMPONENT corvane
    FILES_MATCHING PATTERN "*.skin" PATTERN "*.bmp")
file(GLOB install_languages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/lang/*.lng)
install(FILES ${install_languages} DESTINATION ${corvane_data_dir} COMPONENT corvane)
install(FILES ${CMAKE_SOURCE_DIR}/dist/corvane.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT corvane)
install(FILES ${CMAKE_SOURCE_DIR}/skins/splash/art/splash_logo.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME corvane.png
    COMPONENT corvane)

install(TARGETS vizserver RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT vizserver)
configure_file(${CMAKE_SOURCE_DIR}/dist/vizserver.service ${CMAKE_BINARY_DIR}/dist/vizserver.service
    @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dist/vizserver.service DESTINATION lib/systemd/system
    COMPONENT vizserver)

set(installed_programs corvane vizserver skinc)
if(TARGET lumbra)
    install(TARGETS lumbra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lumbra)
    install(FILES ${CMAKE_SOURCE_DIR}/dist/lumbra.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT lumbra)
    install(FILES ${CMAKE_SOURCE_DIR}/skins/splash/art/splash_logo.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME lumbra.png
        COMPONENT lumbra)
    list(APPEND installed_programs lumbra)
    set(install_components corvane vizserver lumbra)
else()
    set(install_components corvane vizserver)
endif()

# Manual pages come from each program's own --help and --version, so they cannot drift; they
# are installed compressed, as Debian wants them.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(summary_corvane "shared projects and tasks on a phone-sized screen")
set(summary_vizserver "the Corvane task service")
set(summary_skinc "compile Corvane skins and dump compiled ones")
set(summary_lumbra "start page of a Corvane installation medium")
if(CORVANE_SANITIZE)
    # Sanitizer trees are for tests only; their programs are not run at build time.
elseif(HELP2MAN AND GZIP)
    set(man_pages)
    foreach(program ${installed_programs})
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${HELP2MAN} --no-info --no-discard-stderr --name=${summary_${program}}
                    --output=${page} $<TARGET_FILE:${program}>
            COMMAND ${GZIP} -9nf ${page}
            DEPENDS ${program}
            COMMENT "Manual page for ${program}"
            VERBATIM)
        list(APPEND man_pages ${page}.gz)
        set(component ${program})
        if(program STREQUAL "skinc")
            set(component corvane)
        endif()
        install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
else()
    message(WARNING "help2man or gzip not found: no manual pages")
endif()

# Each package's doc folder: README, copyright, and the changelog Debian expects compressed.
configure_file(${CMAKE_SOURCE_DIR}/dist/changelog ${CMAKE_BINARY_DIR}/dist/changelog @ONLY)
if(GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/dist/changelog.gz
        COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/dist/changelog
        DEPENDS ${CMAKE_BINARY_DIR}/dist/changelog
        VERBATIM)
    add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/dist/changelog.gz)
endif()
foreach(component ${install_components})
    install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/dist/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
    if(GZIP)
        install(FILES ${CMAKE_BINARY_DIR}/dist/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
    endif()
endforeach()

# Debian packages, one per component: scripts/package.sh.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane developers <corvane@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Shared projects and tasks on a phone-sized screen")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL ${install_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_CORVANE_PACKAGE_NAME corvane)
set(CPACK_DEBIAN_CORVANE_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_VIZSERVER_PACKAGE_NAME vizserver)
set(CPACK_DEBIAN_VIZSERVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_LUMBRA_PACKAGE_NAME lumbra)
set(CPACK_DEBIAN_LUMBRA_PACKAGE_SECTION x11)
set(CPACK_COMPONENT_CORVANE_DESCRIPTION
    "Task-management client for phone-sized screens\n Shared projects and tasks, with skins and languages, for a small screen.")
set(CPACK_COMPONENT_VIZSERVER_DESCRIPTION
    "Reference task service for Corvane\n Serves Corvane clients over HTTP or HTTPS with a SQLite database.")
set(CPACK_COMPONENT_LUMBRA_DESCRIPTION
    "Start program of a Corvane installation medium\n Shows the medium's pages in a shaped window and starts what they name.")
include(CPack)
