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

# Lintian's spelling check reads every printable run of the programs. An
# optimised build (-O3, as in Release) stores pieces of some of our strings as
# immediates, and three such pieces read as misspelt words: "Algorith" (of
# "Algorithm ..."), "DISSPLAY" (two overlapping pieces of "... and DISPLAY
# is not set") and "proces" (of " (process N)"). They are not words of ours:
# where a program holds one, the package says so to lintian, and nowhere else
# (an override that masks nothing would be stale).
set(overrides "")
foreach(program prismora prismora-wallpaper)
  set(path usr/bin/${program})
  foreach(piece "Algorith:Algorithm" "DISSPLAY:DISPLAY" "proces:process")
    string(REPLACE ":" ";" words "${piece}")
    list(GET words 0 seen)
    list(GET words 1 meant)
    file(STRINGS ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/${program} found
         REGEX "(^|[^A-Za-z])${seen}([^A-Za-z]|$)")
    if(found)
      string(APPEND overrides
        "# \"${seen}\" is a piece of a longer string that the optimiser stores as an immediate.\n"
        "${CPACK_PACKAGE_NAME}: spelling-error-in-binary ${seen} ${meant} [${path}]\n")
    endif()
  endforeach()
endforeach()
if(overrides)
  set(lintian ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/share/lintian/overrides)
  file(MAKE_DIRECTORY ${lintian})
  file(WRITE ${lintian}/${CPACK_PACKAGE_NAME} "${overrides}")
endif()
