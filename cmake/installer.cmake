# The Windows installer: cpack -G NSIS in the Windows build folder writes
# prismora-<version>-win32.exe, from the project's own script template
# (cmake/NSIS.template.in: the system folder, the screen-saver choice and the
# uninstaller's options are beyond the stock template). makensis comes from
# Debian's nsis package.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Prismora)
set(CPACK_PACKAGE_VENDOR "${PRISMORA_MAINTAINER_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME prismora-${PROJECT_VERSION}-win32)
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
