# The Debian package: `cpack -G DEB` in a build directory makes
# quendrix_<version>_amd64.deb with the four programs, the desktop entry, the icons,
# manual pages (help2man, from each program's --help), bash completion for
# quendrix-cli, AppStream metainfo, and dependencies found by dpkg-shlibdeps.

include(GNUInstallDirs)

set(QX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(QX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quendrix)

install(FILES ${QX_PACKAGING_DIR}/quendrix-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quendrix-cli)
install(FILES ${QX_PACKAGING_DIR}/org.quendrix.Quendrix.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QX_PACKAGING_DIR}/copyright DESTINATION ${QX_DOC_DIR})

find_program(QX_GZIP gzip)
find_program(QX_HELP2MAN help2man)
set(QX_PACKAGE_OUT ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${QX_PACKAGE_OUT}/man)

# Debian wants the changelog compressed without a time stamp.
add_custom_command(
  OUTPUT ${QX_PACKAGE_OUT}/changelog.gz
  COMMAND ${QX_GZIP} -9nc ${QX_PACKAGING_DIR}/changelog > ${QX_PACKAGE_OUT}/changelog.gz
  DEPENDS ${QX_PACKAGING_DIR}/changelog
  VERBATIM)
set(QX_PACKAGE_FILES ${QX_PACKAGE_OUT}/changelog.gz)
install(FILES ${QX_PACKAGE_OUT}/changelog.gz DESTINATION ${QX_DOC_DIR})

# One manual page per program, from its --help; the program runs from its own folder
# on the PATH so its usage line names it as a user types it.
set(QX_MAN_PAGES
    "quendrix|Commission and tune an AC servo drive over a serial line"
    "quendrix-cli|The drive operations of Quendrix from a terminal"
    "quendrix-drive-sim|A simulated Quendrix servo drive on a pseudo-terminal"
    "quendrix-pictures|Render every window of Quendrix offscreen as PNG files")
if(QX_HELP2MAN)
  foreach(_page IN LISTS QX_MAN_PAGES)
    string(REPLACE "|" ";" _page "${_page}")
    list(GET _page 0 _program)
    list(GET _page 1 _summary)
    if(NOT TARGET ${_program})
      continue()
    endif()
    set(_man ${QX_PACKAGE_OUT}/man/${_program}.1)
    add_custom_command(
      OUTPUT ${_man}.gz
      COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${_program}>:$ENV{PATH}"
              QT_QPA_PLATFORM=offscreen ${QX_HELP2MAN} --no-info
              --version-string=${PROJECT_VERSION} --name=${_summary} --output=${_man} ${_program}
      COMMAND ${QX_GZIP} -9nf ${_man}
      DEPENDS ${_program}
      VERBATIM)
    list(APPEND QX_PACKAGE_FILES ${_man}.gz)
    install(FILES ${_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(STATUS "help2man not found: no manual pages (scripts/deps.sh installs it)")
endif()
add_custom_target(package_files ALL DEPENDS ${QX_PACKAGE_FILES})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quendrix)
set(CPACK_PACKAGE_VENDOR "The Quendrix developers")
set(CPACK_PACKAGE_CONTACT "Quendrix developers <quendrix@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "commission and tune an AC servo drive over a serial line
Quendrix connects to an AC servo drive through a serial port or a USB serial
adapter, identifies it, edits its user parameters, moves parameter files,
tunes its current, speed and position loops while plotting their step
responses, captures waveforms like a scope, matches a new motor automatically
and shows the drive's live state.
.
The package holds the window program, a command-line tool with the same
operations, a simulated drive on a pseudo-terminal and a program that renders
every window as a picture.")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
