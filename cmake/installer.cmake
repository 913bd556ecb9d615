# The Windows installer: cpack -G NSIS in the 32-bit Windows build folder
# writes prismora-<version>-setup.exe, from the project's own script template
# (cmake/NSIS.template.in: the system folder, the screen-saver choice, the
# program of the machine's width and the uninstaller's options are beyond the
# stock template). The installer is a 32-bit program and carries both builds'
# programs: the 64-bit ones come from the 64-bit build beside this one (under
# x64/ in the staging folder, component "x64", which the zip of this build
# leaves out). makensis comes from Debian's nsis package.
set(PRISMORA_WIN64_BUILD ${PROJECT_SOURCE_DIR}/build/win64 CACHE PATH
    "The 64-bit Windows build whose programs the installer carries")
find_program(PRISMORA_X64_STRIP x86_64-w64-mingw32-strip)
set(x64_programs ${PRISMORA_WIN64_BUILD}/host/prismora.scr ${PRISMORA_WIN64_BUILD}/cli/prismora-wallpaper.exe)
install(CODE "
  foreach(program ${x64_programs})
    if(NOT EXISTS \${program})
      message(FATAL_ERROR \"The installer carries the 64-bit programs too: \${program} is missing. \"
                          \"Build the 64-bit Windows build first (scripts/build.sh all).\")
    endif()
  endforeach()" COMPONENT x64)
install(PROGRAMS ${x64_programs} DESTINATION x64 COMPONENT x64)
# Stripped as the 32-bit ones are (CPACK_STRIP_FILES strips only this build's targets).
install(CODE "
  foreach(name prismora.scr prismora-wallpaper.exe)
    execute_process(COMMAND ${PRISMORA_X64_STRIP} \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/x64/\${name}\"
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"cannot strip x64/\${name}\")
    endif()
  endforeach()" COMPONENT x64)

set(CPACK_GENERATOR NSIS)
# Every component in one staging folder: the script picks the programs.
set(CPACK_MONOLITHIC_INSTALL ON)
set(CPACK_PACKAGE_NAME Prismora)
set(CPACK_PACKAGE_VENDOR "${PRISMORA_MAINTAINER_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME prismora-${PROJECT_VERSION}-setup)
# Debug information stays in the build folder; any makensis warning fails.
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -WX)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/host/prismora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/host/prismora.ico)
set(CPACK_NSIS_PRISMORA_PUBLISHER "${PRISMORA_MAINTAINER_NAME}")
set(CPACK_NSIS_PRISMORA_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
# CPack looks for NSIS.template.in on its module path before its own.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
include(CPack)
