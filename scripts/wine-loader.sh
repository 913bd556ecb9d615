# wine_loader_for EXE: the Wine loader that runs a Windows program of EXE's
# width: /usr/lib/wine/wine64 for a 64-bit (x86-64) program, natively; `wine`
# (the 32-bit loader, emulated where the kernel needs it) for a 32-bit one.
# Read from the program's own header, never assumed. Sourced; defines
# functions only.

# The PE header's machine field, in hex: 14c (i386) or 8664 (x86-64).
pe_machine() {
  local at
  at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((at + 4)) -N2 "$1" | tr -d ' ' | sed 's/^0*//'
}

wine_loader_for() {
  case $(pe_machine "$1") in
    8664) echo /usr/lib/wine/wine64 ;;
    14c) echo wine ;;
    *) echo "wine_loader_for: $1 is no Windows program for x86" >&2; return 1 ;;
  esac
}
