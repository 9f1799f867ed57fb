# Installation: the program folder under libexec/octile with links to it in
# bin, the template octile.ini as a configuration file under /etc, the
# documentation, and what the desktop needs to offer the editor: the menu
# entry, the AppStream metadata, the icon in the hicolor theme and the manual
# pages.
include(GNUInstallDirs)

# The executables find octile.ini, the help texts and the plug-ins beside
# themselves (through /proc/self/exe, which resolves the links in bin), so the
# folder is installed whole. Not the multiarch library folder: the program
# folder is the same place whatever the prefix.
set(OCTILE_INSTALL_PROGRAM_DIR "libexec/octile" CACHE STRING
    "Program folder, relative to the installation prefix")

set(octile_programs octile-cli)
if(TARGET octile)
  list(PREPEND octile_programs octile)
endif()

install(TARGETS ${octile_programs} RUNTIME DESTINATION ${OCTILE_INSTALL_PROGRAM_DIR})
# Plug-ins are data to the editor, not libraries for the linker: no SONAME
# links, not executable.
install(TARGETS ${OCTILE_PLUGINS} LIBRARY DESTINATION ${OCTILE_INSTALL_PROGRAM_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
foreach(f readme.txt history.txt setting.txt)
  install(FILES ${OCTILE_PROGRAM_DIR}/${f} DESTINATION ${OCTILE_INSTALL_PROGRAM_DIR})
endforeach()

# The template file is the administrator's to edit: it lives under /etc (a
# conffile of the package, so upgrades keep local changes) and the program
# folder's octile.ini points to it.
set(OCTILE_INSTALL_CONFIG_DIR "/etc/octile" CACHE STRING "Folder of the template octile.ini")
install(FILES ${CMAKE_SOURCE_DIR}/resources/octile.ini DESTINATION ${OCTILE_INSTALL_CONFIG_DIR})
set(octile_ini_link ${CMAKE_BINARY_DIR}/install-links/ini/octile.ini)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links/ini)
file(CREATE_LINK ${OCTILE_INSTALL_CONFIG_DIR}/octile.ini ${octile_ini_link} SYMBOLIC)
install(FILES ${octile_ini_link} DESTINATION ${OCTILE_INSTALL_PROGRAM_DIR})

# Debian's documentation folder: the copyright and the changelog.
set(octile_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/octile)
set(octile_changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${octile_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/changelog.Debian
          ${CMAKE_BINARY_DIR}/doc/changelog.Debian
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/doc/changelog.Debian
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/changelog.Debian
  VERBATIM)
add_custom_target(octile_changelog ALL DEPENDS ${octile_changelog})
install(FILES ${CMAKE_SOURCE_DIR}/resources/copyright ${octile_changelog}
        DESTINATION ${octile_doc_dir})
install(FILES ${CMAKE_SOURCE_DIR}/resources/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME octile)

# Relative links, so that the tree can be moved or staged under DESTDIR.
file(RELATIVE_PATH octile_link_base "/${CMAKE_INSTALL_BINDIR}" "/${OCTILE_INSTALL_PROGRAM_DIR}")
if(IS_ABSOLUTE "${OCTILE_INSTALL_PROGRAM_DIR}")
  set(octile_link_base "${OCTILE_INSTALL_PROGRAM_DIR}")
endif()
set(octile_link_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${octile_link_dir})
foreach(program ${octile_programs})
  file(CREATE_LINK ${octile_link_base}/${program} ${octile_link_dir}/${program} SYMBOLIC)
  install(FILES ${octile_link_dir}/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# The manual pages, compressed as Debian's policy wants them.
set(octile_man_pages octile-cli.1)
if(TARGET octile)
  list(APPEND octile_man_pages octile.1)
endif()
set(octile_man_files)
foreach(page ${octile_man_pages})
  set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/${page}
            ${CMAKE_BINARY_DIR}/man/${page}
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/${page}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  list(APPEND octile_man_files ${out})
endforeach()
add_custom_target(octile_man ALL DEPENDS ${octile_man_files})
install(FILES ${octile_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Bash completion of octile-cli's commands and options, where bash-completion
# loads it on demand.
install(FILES ${CMAKE_SOURCE_DIR}/resources/octile-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME octile-cli)

if(NOT TARGET octile)
  return()
endif()

install(FILES ${CMAKE_SOURCE_DIR}/resources/octile.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/octile.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon: the SVG source as the scalable size, and PNGs rendered from it for
# desktops and docks that want bitmaps.
set(octile_icon_svg ${CMAKE_SOURCE_DIR}/resources/octile.svg)
set(octile_icon_root ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${octile_icon_svg} DESTINATION ${octile_icon_root}/scalable/apps)

find_program(OCTILE_RSVG_CONVERT rsvg-convert)
if(OCTILE_RSVG_CONVERT)
  set(octile_icon_pngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/octile.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${OCTILE_RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
              ${octile_icon_svg}
      DEPENDS ${octile_icon_svg}
      VERBATIM)
    list(APPEND octile_icon_pngs ${png})
    install(FILES ${png} DESTINATION ${octile_icon_root}/${size}x${size}/apps)
  endforeach()
  add_custom_target(octile_icons ALL DEPENDS ${octile_icon_pngs})
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: only the scalable icon is installed")
endif()
