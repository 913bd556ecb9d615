# What `cmake --install` lays out and what `cpack -G DEB` packs: the two
# programs, the hack's place and settings description for XScreenSaver, the
# saver for xsecurelock, manual pages, desktop entry, icons and the user
# service of the animated wallpaper. The data
# files live in dist/; the manual pages get the project version.
include(GNUInstallDirs)

if(WIN32)
  # prismora.scr, prismora-wallpaper.exe, the README and the licence side by
  # side (as .txt, which Windows opens): what each build's zip holds. The
  # installer, made from the 32-bit build, places them, and carries the
  # 64-bit build's programs too (installer.cmake).
  install(TARGETS prismora prismora-wallpaper RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    include(${CMAKE_CURRENT_LIST_DIR}/installer.cmake)
  endif()
  return()
endif()

set(dist ${PROJECT_SOURCE_DIR}/dist)
set(dist_out ${PROJECT_BINARY_DIR}/dist)

install(TARGETS prismora prismora-wallpaper RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# XScreenSaver runs hacks from libexec/xscreensaver. The hack is the same
# program, so a relative link to it rather than a second copy: one binary to
# strip and to update, and the link stays right under any prefix.
file(RELATIVE_PATH hack_target /${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver /${CMAKE_INSTALL_BINDIR}/prismora)
file(MAKE_DIRECTORY ${dist_out})
file(CREATE_LINK ${hack_target} ${dist_out}/prismora SYMBOLIC)
install(FILES ${dist_out}/prismora DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${dist}/prismora.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(PROGRAMS ${dist}/saver_prismora DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/prismora)

configure_file(${dist}/prismora.6.in ${dist_out}/prismora.6 @ONLY)
configure_file(${dist}/prismora-wallpaper.1.in ${dist_out}/prismora-wallpaper.1 @ONLY)
install(FILES ${dist_out}/prismora.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${dist_out}/prismora-wallpaper.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The machine-readable copyright file: the project's licence and every part
# compiled into the programs (Debian's place for it; `cmake --install` too).
configure_file(${dist}/copyright.in ${dist_out}/copyright @ONLY)
install(FILES ${dist_out}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/prismora)

install(FILES ${dist}/prismora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The user service that starts the wallpaper with the graphical session, in
# systemd's folder for the user units of packages (lib/systemd/user, not the
# multiarch library folder). Its ExecStart names the program under the
# prefix it is installed to (the package's /usr, or that of cmake --install),
# so the unit is written when it is installed.
install(CODE "set(PRISMORA_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${dist}/prismora-background.service.in\"
                 \"${dist_out}/systemd/prismora-background.service\" @ONLY)")
install(FILES ${dist_out}/systemd/prismora-background.service DESTINATION lib/systemd/user)
foreach(size 16x16 32x32 48x48)
  install(FILES ${dist}/icons/${size}/prismora.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()

# ---- The Debian package: cpack -G DEB in the build folder -------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME prismora)
set(CPACK_PACKAGE_VENDOR "Prismora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver of slowly drifting full-colour patterns")
set(CPACK_PACKAGE_CONTACT "${PRISMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PRISMORA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# fonts-liberation2: Arial's metrics, so the settings window's captions fit.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver, fonts-liberation2")
# swayidle: runs the saver (prismora /s) after idle time on Wayland.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xsecurelock, swayidle")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Prismora fills the screen with slowly drifting, full-colour procedural
patterns: twelve algorithms of sines, cosines and logarithms, drawn through
OpenGL as a smooth-shaded triangle mesh.

It runs as a hack of XScreenSaver, as a saver of xsecurelock or on its own,
and its settings window saves still pictures of the pattern as wallpapers.
The prismora-wallpaper command renders such pictures, as BMP or PNG, at any
size up to 16384 x 16384 without a window system.")
# Compressed manual pages and a changelog, as Debian expects.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_staging.cmake)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/")
include(CPack)
