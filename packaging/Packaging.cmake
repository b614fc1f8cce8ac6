# The Debian package of the three programs: `cpack -G DEB` in the build tree
# (scripts/package.sh builds, checks and test-installs it).
#
# Only the package's own files are listed here; each program, data file and
# manual is installed by the CMakeLists.txt that builds it.

# Files Debian asks of every package: the copyright statement and, for a
# native package, a compressed changelog, both in the documentation folder.
set(_qvort_changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${_qvort_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
  # -n keeps the file's time out, so two builds make the same bytes.
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${_qvort_changelog_gz}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
  COMMENT "Compressing the package changelog")
add_custom_target(package_changelog ALL DEPENDS ${_qvort_changelog_gz})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${_qvort_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual in the system's catalogue of documentation (doc-base), where
# documentation browsers find it.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base
        RENAME qv-ort-manual)

# Binaries stripped as Debian strips them: the compiler's notes (.comment)
# go with the symbols. The programs' own install rules, declared before this
# one, have put and stripped them by now.
set(_qvort_programs)
foreach(_prog qv-ort qvtool qvsim)
  if(TARGET ${_prog})
    list(APPEND _qvort_programs $<TARGET_FILE_NAME:${_prog}>)
  endif()
endforeach()
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(_prog ${_qvort_programs})
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${_prog}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# AppStream metadata: software centres list the program, and the modalias
# lines let them offer it when an instrument is plugged in.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/appstream/org.example.qvort.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# cpack installs what is built without building the whole tree (tests and
# benchmarks included) first; scripts/package.sh builds the packaged targets.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qv-ort)
set(CPACK_PACKAGE_VENDOR "QV-ORT developers")
# The project itself maintains the package; example.org is reserved for
# addresses that reach no one else.
set(CPACK_PACKAGE_CONTACT "QV-ORT developers <qv-ort@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial line monitor: capture, view, search and export")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Desktop and command-line software for a USB serial line monitor, which
time-stamps the traffic it sees on an RS-232, RS-422, RS-485 or RS-530 line.
It configures the instrument, records its capture stream into capture
folders, and shows, searches, saves, exports and prints captures.

The package holds the desktop application qv-ort, the command-line tool
qvtool and the instrument emulator qvsim.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Binaries without debug information; the build tree keeps the symbols.
set(CPACK_STRIP_FILES ON)
# Library dependencies from the binaries themselves (dpkg-shlibdeps), plus
# what is loaded at run time: the Japanese font of the windows and listings,
# and the zone database that a capture's recording zone is looked up in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk, tzdata")
# Qt's own dialogs in Japanese; the databases the file manager reads to open
# a .qvr with the application (their packages' triggers refresh them).
# Help -> Contents opens the manual with xdg-open, which needs a PDF viewer
# (any package that provides one).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, shared-mime-info, desktop-file-utils, xdg-utils, evince | pdf-viewer")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
