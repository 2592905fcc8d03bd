# The Debian package: `cmake --build build/default --target package` makes
# pintora_VERSION_ARCH.deb of what `install` puts in place, under /usr. Besides the programs, the
# desktop entry and the document type (src/CMakeLists.txt): the AppStream metadata, the icon
# in the hicolor sizes, man pages written from the programs' --help, bash completion for
# pintora-cli, and the changelog and copyright.
include(GNUInstallDirs)
set(package_dir ${PROJECT_BINARY_DIR}/package)
set(resources ${PROJECT_SOURCE_DIR}/resources)

install(FILES ${resources}/desktop/com.orlanvale.Pintora.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${resources}/completion/pintora-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# Debian keeps a package's documents under its package name.
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/pintora)
install(FILES ${resources}/package/copyright DESTINATION ${docdir})

# Generated files are made by every build but the sanitizer's, whose programs would report
# the libraries' leaks as they exit from --help.
find_program(RSVG_CONVERT rsvg-convert)
find_program(GZIP gzip REQUIRED)
if(PINTORA_SANITIZE OR PINTORA_FUZZ)
  return()
endif()
if(NOT RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert (librsvg2-bin) is needed for the icons")
endif()

set(generated)
foreach(size 16 24 32 48 64 128 256 512)
  set(icon ${package_dir}/icons/${size}/com.orlanvale.Pintora.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}/icons/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${icon} ${resources}/icons/pintora.svg
    DEPENDS ${resources}/icons/pintora.svg VERBATIM)
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  list(APPEND generated ${icon})
endforeach()

add_custom_command(OUTPUT ${package_dir}/pintora-cli.1
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:pintora-cli> -DNAME=pintora-cli
    "-DSUMMARY=capture web pages at several viewport sizes and export documents as PNG"
    -DVERSION=${PROJECT_VERSION} "-DCOMMANDS=info;export;capture" -DSEE_ALSO=pintora
    -DOUT=${package_dir}/pintora-cli.1 -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS pintora-cli ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake VERBATIM)
add_custom_command(OUTPUT ${package_dir}/pintora.1
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:pintora> -DNAME=pintora
    "-DSUMMARY=capture web pages at several viewport sizes and annotate them"
    -DVERSION=${PROJECT_VERSION} -DSEE_ALSO=pintora-cli -DOUT=${package_dir}/pintora.1
    -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS pintora ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake VERBATIM)
foreach(page pintora pintora-cli)
  add_custom_command(OUTPUT ${package_dir}/${page}.1.gz
    COMMAND ${GZIP} -9nkf ${package_dir}/${page}.1
    DEPENDS ${package_dir}/${page}.1 VERBATIM)
  install(FILES ${package_dir}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND generated ${package_dir}/${page}.1.gz)
endforeach()
add_custom_command(OUTPUT ${package_dir}/changelog.gz
  COMMAND ${GZIP} -9nc ${resources}/package/changelog > ${package_dir}/changelog.gz
  DEPENDS ${resources}/package/changelog VERBATIM)
install(FILES ${package_dir}/changelog.gz DESTINATION ${docdir})
list(APPEND generated ${package_dir}/changelog.gz)
add_custom_target(package_files ALL DEPENDS ${generated})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pintora)
set(CPACK_PACKAGE_VENDOR "Orlan Vale")
set(CPACK_PACKAGE_CONTACT "Orlan Vale <pintora@orlanvale.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture web pages at several sizes and mark them up")
# The synopsis is the summary above; CPack indents the lines of the rest.
set(CPACK_PACKAGE_DESCRIPTION "Pintora captures the page open in its browser at several viewport sizes
at once, the visible part or the whole length, as today's browsers draw it,
and places the pictures on an unbounded canvas to annotate with shapes,
arrows, callouts, text and note cards, redaction and crop. The canvas is
exported as PNG, copied or dragged into other programs. pintora-cli does
the same captures and exports from scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orlanvale.com/pintora")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Besides the libraries linked: the SVG plugins Qt loads for the icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# The captures look as today's browsers draw pages only with the system's Chromium; the other
# picture formats a drop may bring, and Wayland sessions, need Qt's plugins for them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium, qt6-image-formats-plugins, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
