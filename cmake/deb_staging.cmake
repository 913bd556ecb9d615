# Run by CPack on the staged files of the Debian package, before it packs them
# (CPACK_PRE_BUILD_SCRIPTS): what Debian expects beyond `cmake --install`,
# manual pages compressed and a changelog for the version.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
find_program(GZIP gzip REQUIRED)
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY})

# What the strip of CPACK_STRIP_FILES leaves and Debian's own tools remove:
# the compiler's version notes (.comment), which no program reads.
find_program(OBJCOPY NAMES objcopy REQUIRED)
foreach(program prismora prismora-wallpaper)
  execute_process(COMMAND ${OBJCOPY} --remove-section=.comment
                          ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# gzip -9n: no name or time stamp in the file, so the same page packs the same.
file(GLOB_RECURSE pages ${root}/*/share/man/man*/*)
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    execute_process(COMMAND ${GZIP} -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

string(TIMESTAMP now "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(doc ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc})
file(WRITE ${doc}/changelog
"${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Version ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  ${now}
")
execute_process(COMMAND ${GZIP} -9nf ${doc}/changelog COMMAND_ERROR_IS_FATAL ANY)
