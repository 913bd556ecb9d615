# Hardening of every program the build links. Linux: position-independent
# executables, stack protector, fortified libc calls, read-only relocations
# bound at start-up, no executable stack. Windows: ASLR and DEP flags in the
# PE header. Code generation of the engine is untouched: none of these flags
# changes floating-point evaluation (-ffp-contract=off and the SSE set-up stay
# as the top-level file sets them).
if(WIN32)
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # ASLR over the whole 64-bit address space (64-bit images only).
    add_link_options(-Wl,--high-entropy-va)
  endif()
  return()
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong)
# glibc fortifies only optimised code (and warns otherwise), so not in Debug.
# Level 3 (sizes known only at run time too) from gcc 12.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
  set(PRISMORA_FORTIFY_LEVEL 3)
else()
  set(PRISMORA_FORTIFY_LEVEL 2)
endif()
# Not with the sanitizers either: their interceptors do not see the __*_chk
# variants, so fortification would hide what they report.
if(NOT PRISMORA_SANITIZE)
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${PRISMORA_FORTIFY_LEVEL}>")
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
