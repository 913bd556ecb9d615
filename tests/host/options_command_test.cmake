# Runs the real prismora with long options and no X display: --help, -h and
# --version answer on stdout with status 0 and need no window; a bad option
# is one line, a hint and status 2; --root without a display is one line and
# status 1, and so is --layer without a Wayland compositor or X display.
# Called as: cmake -DEXE=... -DVERSION=... -P options_command_test.cmake

function(run_prismora result_var)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=XSCREENSAVER_WINDOW
                          WAYLAND_DISPLAY=prismora-no-such-compositor ${EXE} ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} ${rc} PARENT_SCOPE)
  set(${result_var}_OUT "${out}" PARENT_SCOPE)
  set(${result_var}_ERR "${err}" PARENT_SCOPE)
endfunction()

function(expect_exit result expected what)
  if(NOT "${${result}}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: exit status ${${result}}, expected ${expected}\n${${result}_OUT}${${result}_ERR}")
  endif()
endfunction()

foreach(help --help -h)
  run_prismora(r ${help})
  expect_exit(r 0 "${help}")
  foreach(name "/s" "/c" "/p WINDOW" "/a WINDOW" "--root" "-root" "--window-id ID" "-window-id ID" "--speed N"
               "--algorithm N" "--random" "--no-random" "--delay MICROSECONDS" "--help" "--version"
               "--layer LAYER" "--output NAME")
    string(FIND "${r_OUT}" "${name}" at)
    if(at LESS 0)
      message(FATAL_ERROR "${help} does not name ${name}:\n${r_OUT}")
    endif()
  endforeach()
endforeach()

run_prismora(r --version)
expect_exit(r 0 "--version")
if(NOT r_OUT STREQUAL "prismora ${VERSION}\n")
  message(FATAL_ERROR "--version printed '${r_OUT}'")
endif()

run_prismora(r --root --speed 51)
expect_exit(r 2 "--speed 51")
if(NOT r_ERR MATCHES "^prismora: --speed: [^\n]*\nTry 'prismora --help'[^\n]*\n$")
  message(FATAL_ERROR "--speed 51 printed '${r_ERR}'")
endif()

run_prismora(r --root)
expect_exit(r 1 "--root without a display")
if(NOT r_ERR STREQUAL "prismora: cannot open the display\n")
  message(FATAL_ERROR "--root without a display printed '${r_ERR}'")
endif()

run_prismora(r --layer background --speed 3)
expect_exit(r 1 "--layer without a compositor or a display")
# (A build without the Wayland backend says so instead.)
if(NOT r_ERR MATCHES "^prismora: (cannot connect to the Wayland compositor 'prismora-no-such-compositor'|this prismora was built without Wayland),? and DISPLAY is not set\n$")
  message(FATAL_ERROR "--layer without a compositor printed '${r_ERR}'")
endif()
