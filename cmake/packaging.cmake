# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (cpack -G DEB; scripts/package builds, packs and checks
# it with lintian) and the documents a distribution expects beside the
# programs in share/doc/rondotheka.
include(GNUInstallDirs)

# Hardening for the installed programs and everything they link from src/,
# as Debian builds its own packages (dpkg-buildflags): checked buffer
# functions, stack protector, format-string errors, a read-only relocation
# table bound at start. Only in optimised builds (fortified functions need
# the optimiser, and a Debug build would warn) and not under the sanitizers,
# which bring their own checks. Part of every Release build, so the one CI
# makes anyway is the one that is packed, without a second build.
option(RONDO_HARDENING "Build the programs with Debian's hardening flags" ON)
function(rondo_harden_targets_in folder)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      target_compile_options(${target} PRIVATE
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
        -fstack-protector-strong -Wformat -Werror=format-security)
    endif()
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE "LINKER:-z,relro,-z,now")
    endif()
  endforeach()
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    rondo_harden_targets_in(${subfolder})
  endforeach()
endfunction()
if(RONDO_HARDENING AND NOT RONDO_SANITIZE AND NOT RONDO_FUZZ)
  rondo_harden_targets_in(${PROJECT_SOURCE_DIR}/src)
endif()

# share/doc/rondotheka: the copyright in Debian's machine-readable format,
# the changelog compressed as Debian wants it (gzip -9n: no name, no time,
# the same bytes on every build) and the README.
set(rondo_docdir ${CMAKE_INSTALL_DATADIR}/doc/rondotheka)
find_program(RONDO_GZIP gzip REQUIRED)
set(rondo_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${rondo_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${RONDO_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${rondo_changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(rondo_package_docs ALL DEPENDS ${rondo_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${rondo_changelog_gz}
  ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${rondo_docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rondotheka)
set(CPACK_PACKAGE_VENDOR "Rondotheka developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Rondotheka developers <rondotheka@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of a personal disc collection")
# Debian's description: the summary above, then this text (CPack indents it
# and turns the empty line into " .").
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Rondotheka (QEL Rondotheka) keeps a catalogue of CDs, DVDs, Blu-ray discs,
USB sticks, folders and ISO images in a single file. Each disc is scanned
once; later, without the disc, its directories and files can be browsed and
every stored name searched with wildcards. Discs, directories and files take
comments and groups, lending to friends and discs borrowed from others are
recorded, and a disc's surface can be checked for unreadable files.

The package holds the Qt 6 desktop program, whose interface is Czech (an
English language file is included), and rondotheka-cli, a command-line
program for scripts. Catalogues of the program's earlier Windows versions
open unchanged.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://rondotheka.github.io/")
# Dependencies from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Whatever the umask of the one who packs: folders 0755, control files 0644
# (install() itself gives files 0644 and programs 0755).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
