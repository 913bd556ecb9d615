# Runs the real prismora-wallpaper (under the cross-compiling emulator in the
# Windows build) and checks what only the whole program shows: the thread
# count changes no byte, --print-state reads back, PNG output, the output
# name's extension, exit codes 2 and 1 with the system's reason, that a
# refused command writes nothing, that a device is written in place, that
# every engine but the gpu writes the same bytes, and that the gpu engine is
# refused cleanly without OpenGL; that "-" is standard output, and a name and
# an engine with control characters are shown escaped.
# Called as: cmake -DEXE=... -DEMULATOR=... -DWORK=... -P wallpaper_command_test.cmake

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run_wallpaper result_var)
  execute_process(COMMAND ${EMULATOR} ${EXE} ${ARGN}
    WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} ${rc} PARENT_SCOPE)
  set(${result_var}_OUT "${out}" PARENT_SCOPE)
  set(${result_var}_ERR "${err}" PARENT_SCOPE)
endfunction()

function(expect_same a b what)
  file(SHA256 ${WORK}/${a} ha)
  file(SHA256 ${WORK}/${b} hb)
  if(NOT ha STREQUAL hb)
    message(FATAL_ERROR "${what}: ${a} and ${b} differ")
  endif()
endfunction()

function(expect_exit result expected what)
  if(NOT "${${result}}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: exit status ${${result}}, expected ${expected}\n${${result}_ERR}")
  endif()
endfunction()

# 1. One thread and two threads give the same bytes; the size is the BMP's.
set(common --seed 42 --algorithm 5 --size 203x97 --frames 10)
run_wallpaper(r ${common} --threads 1 --output one.bmp)
expect_exit(r 0 "--threads 1")
run_wallpaper(r ${common} --threads 2 --output two.bmp)
expect_exit(r 0 "--threads 2")
expect_same(one.bmp two.bmp "--threads 1 vs 2")
file(SIZE ${WORK}/one.bmp size)
if(NOT size EQUAL 59418)  # 54 + 612 * 97
  message(FATAL_ERROR "203x97 BMP has ${size} bytes, expected 59418")
endif()

# 2. The printed state, given back as phases and offsets, renders the same picture.
run_wallpaper(r --seed 7 --algorithm 3 --frames 500 --size 64x48 --print-state --output state.bmp)
expect_exit(r 0 "--print-state")
foreach(key phaseA phaseB phaseC offsetX offsetY)
  if(NOT r_OUT MATCHES "\"${key}\":([-0-9.eE+]+)")
    message(FATAL_ERROR "no ${key} in: ${r_OUT}")
  endif()
  set(${key} ${CMAKE_MATCH_1})
endforeach()
run_wallpaper(r --seed 1 --algorithm 3 --size 64x48 --phases ${phaseA},${phaseB},${phaseC}
  --offsets ${offsetX},${offsetY} --output replay.bmp)
expect_exit(r 0 "replay of the printed state")
expect_same(state.bmp replay.bmp "printed state read back")

# 3. A name ending in .png in any case is written as PNG.
run_wallpaper(r --seed 5 --size 31x17 --output pic.PnG)
expect_exit(r 0 "PNG output")
file(READ ${WORK}/pic.PnG magic LIMIT 8 HEX)
if(NOT magic STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "pic.PnG is not a PNG file: ${magic}")
endif()

# 4. Bad arguments: exit 2, a message naming the argument, the usage, no file.
foreach(bad "--size;0x5" "--algorithm;13" "--seed;-1" "--bogus" "--threads;x")
  run_wallpaper(r ${bad} --output bad.bmp)
  expect_exit(r 2 "bad argument ${bad}")
  list(GET bad 0 name)
  if(NOT r_ERR MATCHES "${name}" OR NOT r_ERR MATCHES "usage: prismora-wallpaper")
    message(FATAL_ERROR "message for ${bad} does not name it or lacks the usage:\n${r_ERR}")
  endif()
  if(EXISTS ${WORK}/bad.bmp)
    message(FATAL_ERROR "${bad}: a file was written")
  endif()
endforeach()

# 4b. An extension it cannot write: exit 2 and no file, at once (a 16384 x
#     16384 render would take minutes, the refusal does not wait for it).
run_wallpaper(r --size 16384x16384 --output wall.jpg)
expect_exit(r 2 "output name wall.jpg")
if(NOT r_ERR MATCHES "'.jpg'" OR EXISTS ${WORK}/wall.jpg)
  message(FATAL_ERROR "wall.jpg: wrong message or a file was written:\n${r_ERR}")
endif()

# 4c. A name without an extension is a BMP, a device too (native build only:
#     Wine has no /dev/stdout).
run_wallpaper(r --seed 5 --size 4x2 --output plain)
expect_exit(r 0 "name without an extension")
file(READ ${WORK}/plain magic LIMIT 2)
if(NOT magic STREQUAL "BM")
  message(FATAL_ERROR "plain is not a BMP file")
endif()
if(NOT EMULATOR)
  execute_process(COMMAND ${EXE} --seed 5 --size 4x2 --output /dev/stdout
    RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/stdout.bmp)
  file(SIZE ${WORK}/stdout.bmp size)
  if(NOT rc EQUAL 0 OR NOT size EQUAL 78)  # 54 + 12 * 2
    message(FATAL_ERROR "/dev/stdout: status ${rc}, ${size} bytes, expected 0 and 78")
  endif()
endif()

# 4d. - is standard output on every platform: the picture there, no file "-".
execute_process(COMMAND ${EMULATOR} ${EXE} --seed 5 --size 4x2 --output -
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/dash.bmp)
file(SIZE ${WORK}/dash.bmp size)
if(NOT rc EQUAL 0 OR NOT size EQUAL 78 OR EXISTS ${WORK}/-)
  message(FATAL_ERROR "--output -: status ${rc}, ${size} bytes on standard output, expected 0 and 78")
endif()
expect_same(plain dash.bmp "--output - vs a file")

# 5. A file that cannot be written: exit 1 with the writer's message, nothing left.
run_wallpaper(r --seed 5 --size 8x8 --output no-such-folder/x.bmp)
expect_exit(r 1 "missing folder")
if(NOT r_ERR MATCHES "Cannot create file no-such-folder/x.bmp: [A-Za-z]")  # then the system's reason
  message(FATAL_ERROR "missing folder message: ${r_ERR}")
endif()
run_wallpaper(r --seed 5 --size 8x8 --output "*.bmp")
expect_exit(r 1 "wildcard name")
# A name with a line break in it: still one line, the break shown as \n.
run_wallpaper(r --seed 5 --size 8x8 --output "no\nsuch/x.bmp")
expect_exit(r 1 "a name with a line break")
string(REGEX MATCHALL "\n" lines "${r_ERR}")
list(LENGTH lines count)
if(NOT count EQUAL 1 OR NOT r_ERR MATCHES "^prismora-wallpaper: Cannot create file no\\\\nsuch/x.bmp: [A-Za-z]")
  message(FATAL_ERROR "a name with a line break: ${r_ERR}")
endif()
file(GLOB left ${WORK}/*.tmp ${WORK}/.*.tmp ${WORK}/no-such-folder)
if(left)
  message(FATAL_ERROR "left behind: ${left}")
endif()

# 6. --version: the name and the version on stdout, status 0.
run_wallpaper(r --version)
expect_exit(r 0 "--version")
if(NOT r_OUT MATCHES "^prismora-wallpaper [0-9]+\\.[0-9]+\\.[0-9]+\r?\n$")
  message(FATAL_ERROR "--version printed '${r_OUT}'")
endif()

# 7. A device is written in place, never replaced by a regular file.
if(NOT EMULATOR)
  run_wallpaper(r --seed 5 --size 64x64 --output /dev/null)
  expect_exit(r 0 "/dev/null")
  execute_process(COMMAND stat -c %F /dev/null OUTPUT_VARIABLE kind OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT kind STREQUAL "character special file")
    message(FATAL_ERROR "/dev/null is now a ${kind}")
  endif()
endif()

# 8. Every engine this processor runs writes the x87 engine's bytes, for an
#    ordinary state and for phases far outside the drift; PRISMORA_ENGINE does
#    what --engine does; an unknown name is refused at once, nothing written.
foreach(state "--phases;1.5,4.25,0.75;--offsets;0.3,-2.1" "--phases;1e10,3e19,6.2")
  foreach(alg 1 4 12)
    set(common --seed 9 --algorithm ${alg} --size 97x61 ${state})
    run_wallpaper(r ${common} --engine x87 --output x87.bmp)
    expect_exit(r 0 "--engine x87")
    foreach(engine sse2 avx2 avx512 auto)
      run_wallpaper(r ${common} --engine ${engine} --output ${engine}.bmp)
      if(r EQUAL 2 AND r_ERR MATCHES "cannot run")
        message(STATUS "engine ${engine} skipped: not on this processor")
        continue()
      endif()
      expect_exit(r 0 "--engine ${engine}")
      expect_same(x87.bmp ${engine}.bmp "algorithm ${alg} ${state}: --engine ${engine} vs x87")
    endforeach()
  endforeach()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env PRISMORA_ENGINE=x87 ${EMULATOR} ${EXE} --seed 9 --size 9x7 --output env.bmp
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc)
run_wallpaper(r --seed 9 --size 9x7 --engine x87 --output opt.bmp)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "PRISMORA_ENGINE=x87: status ${rc}")
endif()
expect_same(env.bmp opt.bmp "PRISMORA_ENGINE=x87 vs --engine x87")
run_wallpaper(r --engine avx3 --output bad.bmp)
expect_exit(r 2 "--engine avx3")
if(NOT r_ERR MATCHES "--engine: expected one of auto, x87, sse2, avx2, avx512" OR EXISTS ${WORK}/bad.bmp)
  message(FATAL_ERROR "--engine avx3: wrong message or a file was written:\n${r_ERR}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env PRISMORA_ENGINE=fast ${EMULATOR} ${EXE} --size 9x7 --output bad.bmp
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR NOT err MATCHES "PRISMORA_ENGINE: unknown engine 'fast'" OR EXISTS ${WORK}/bad.bmp)
  message(FATAL_ERROR "PRISMORA_ENGINE=fast: status ${rc}, message: ${err}")
endif()
# A name with a terminal's escape codes is shown escaped, and the list of
# names is the whole list, gpu included.
string(ASCII 27 escape)
execute_process(COMMAND ${CMAKE_COMMAND} -E env "PRISMORA_ENGINE=${escape}[2Jred" ${EMULATOR} ${EXE} --size 9x7
                        --output bad.bmp
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc ERROR_VARIABLE err)
string(REPLACE "\\" "/" shown "${err}")  # the escaping backslash, as a plain character to match
string(STRIP "${shown}" shown)
if(NOT rc EQUAL 2 OR err MATCHES "${escape}" OR EXISTS ${WORK}/bad.bmp OR NOT shown STREQUAL
   "prismora-wallpaper: PRISMORA_ENGINE: unknown engine '/x1b[2Jred', expected one of auto, x87, sse2, avx2, avx512, gpu")
  message(FATAL_ERROR "PRISMORA_ENGINE with escape codes: status ${rc}, message: ${err}")
endif()

# 9. The gpu engine: a picture of the right size where OpenGL is there;
#    without a usable OpenGL (no EGL driver, or a context of OpenGL 1.1) one
#    line and status 2, nothing written and nothing printed.
run_wallpaper(r --seed 9 --algorithm 4 --size 97x61 --engine gpu --output gpu.bmp)
if(r EQUAL 2 AND r_ERR MATCHES "no usable OpenGL")
  message(STATUS "--engine gpu skipped: ${r_ERR}")
else()
  expect_exit(r 0 "--engine gpu")
  file(SIZE ${WORK}/gpu.bmp size)
  if(NOT size EQUAL 17866)  # 54 + 292 * 61
    message(FATAL_ERROR "the gpu engine's 97x61 BMP has ${size} bytes, expected 17866")
  endif()
endif()
if(NOT EMULATOR)
  foreach(broken "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent" "MESA_GL_VERSION_OVERRIDE=1.1")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${broken} ${EXE} --size 9x7 --engine gpu --print-state
                            --output refused.bmp
      WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    string(REGEX MATCHALL "\n" lines "${err}")
    list(LENGTH lines count)
    if(NOT rc EQUAL 2 OR NOT count EQUAL 1 OR NOT err MATCHES "^prismora-wallpaper: --engine: no usable OpenGL: "
       OR NOT out STREQUAL "" OR EXISTS ${WORK}/refused.bmp)
      message(FATAL_ERROR "${broken} --engine gpu: status ${rc}, stdout '${out}', message: ${err}")
    endif()
  endforeach()
endif()

file(REMOVE_RECURSE ${WORK})
