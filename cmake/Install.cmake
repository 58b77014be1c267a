# What `cmake --install` puts where, the desktop integration and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(VANTARO_PAGES_DIR ${CMAKE_INSTALL_DATADIR}/vantaro)
set(VANTARO_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR}/vantaro)
set(VANTARO_DOCS_URL "https://vantaro.example.org/docs" CACHE STRING
    "Where this tree's docs/ folder is published; the AppStream screenshot points into it")

# The program reaches its installed parts from its own folder, so the prefix may still change at
# install time (cmake --install --prefix, or a package's root).
file(RELATIVE_PATH _pages_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/vantaro)
file(RELATIVE_PATH _library_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/vantaro)

# The glove bridge and the SDK layer beside it; the bridge's RPATH ($ORIGIN) finds the SDK there.
install(TARGETS palmlet p5dll LIBRARY DESTINATION ${VANTARO_LIBRARY_DIR})
install(TARGETS vantaro-replay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The demo list and script that the README's and vantaro-replay(1)'s examples play.
install(FILES ${PROJECT_SOURCE_DIR}/tools/demo/demo.dat ${PROJECT_SOURCE_DIR}/tools/demo/demo.script
        DESTINATION ${VANTARO_PAGES_DIR}/examples)

set(_pages ${PROJECT_SOURCE_DIR}/docs/help.html ${PROJECT_SOURCE_DIR}/docs/support.html
           ${PROJECT_SOURCE_DIR}/docs/glove.html ${PROJECT_SOURCE_DIR}/docs/vantaro.css)

# Man pages go out compressed, as Debian's policy asks (gzip -n: no name or time stamp inside, so
# the same page gives the same bytes).
find_program(VANTARO_GZIP gzip REQUIRED)
function(vantaro_man_page page)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
    set(_gz ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${_gz}
        COMMAND ${VANTARO_GZIP} -9 -n -k -f ${PROJECT_BINARY_DIR}/man/${page}
        DEPENDS ${PROJECT_BINARY_DIR}/man/${page} VERBATIM)
    string(MAKE_C_IDENTIFIER ${page} _target)
    add_custom_target(man_${_target} ALL DEPENDS ${_gz})
    install(FILES ${_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
vantaro_man_page(vantaro-replay.1)

# The licence, where Debian looks for it.
install(FILES ${PROJECT_SOURCE_DIR}/dist/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantaro)

if(TARGET vantaro)
    set_source_files_properties(${PROJECT_SOURCE_DIR}/ui/program_files.cpp TARGET_DIRECTORY vantaro_ui
        PROPERTIES COMPILE_DEFINITIONS
        "VANTARO_PAGES_FROM_BIN=\"${_pages_from_bin}\";VANTARO_LIBRARY_FROM_BIN=\"${_library_from_bin}\"")

    install(TARGETS vantaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${_pages} DESTINATION ${VANTARO_PAGES_DIR})

    vantaro_man_page(vantaro.1)

    install(FILES ${PROJECT_SOURCE_DIR}/dist/${VANTARO_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    configure_file(${PROJECT_SOURCE_DIR}/dist/${VANTARO_ID}.metainfo.xml.in
                   ${PROJECT_BINARY_DIR}/dist/${VANTARO_ID}.metainfo.xml @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/dist/${VANTARO_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # The icon: the drawing itself, and the fixed sizes that menus without an SVG loader use.
    set(_svg ${PROJECT_SOURCE_DIR}/dist/${VANTARO_ID}.svg)
    install(FILES ${_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    find_program(VANTARO_RSVG_CONVERT rsvg-convert)
    if(NOT VANTARO_RSVG_CONVERT)
        message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) draws the program's icons; "
                            "./scripts/setup installs it")
    endif()
    set(_pngs)
    foreach(_size 48 128 256)
        set(_png ${PROJECT_BINARY_DIR}/icons/${_size}x${_size}/${VANTARO_ID}.png)
        add_custom_command(OUTPUT ${_png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${_size}x${_size}
            COMMAND ${VANTARO_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${_svg}
            DEPENDS ${_svg} VERBATIM)
        install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
        list(APPEND _pngs ${_png})
    endforeach()
    add_custom_target(vantaro_icons ALL DEPENDS ${_pngs})
    # So that building the program alone leaves everything `cmake --install` takes.
    add_dependencies(vantaro vantaro_icons)
endif()

# The Debian package: what `cmake --install` gives, under /usr. Its dependencies come from the
# libraries the programs actually link; the glove bridge's own SDK layer is in the package itself.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "play MIDI instruments with a game controller")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Vantaro turns a joystick or game pad (and, optionally, a P5 data glove) into a MIDI controller:\n"
    "buttons, sticks, the hat and bent fingers send Note On, Note Off or Controller Change messages\n"
    "to any ALSA or JACK MIDI port, following a list of actions built in the program's window.\n"
    "vantaro-replay plays a scripted controller timeline through the same engine.")
set(VANTARO_PACKAGE_MAINTAINER "Vantaro developers <vantaro@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${VANTARO_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the SDK layer through the bridge's $ORIGIN; the build folder that holds
# both is named as well, for a bridge whose RPATH should ever change.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_STRIP_FILES ON)
include(CPack)
