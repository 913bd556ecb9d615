# 32-bit x86 programs on a kernel that refuses them: QEMU's user-mode
# emulator, registered with the kernel's binfmt_misc. Sourced by
# install-deps.sh (which sets the machine up), test-all.sh and
# emulate-i386.sh; defines functions only.
#
# Wine's 32-bit loader needs QEMU 10 (Debian 13's qemu-user, statically
# linked, no dependencies); Debian 12's QEMU 7.2 hangs in its mmap with
# MAP_FIXED_NOREPLACE. The entry is ours alone, so that undoing it is one line:
#   echo -1 > /proc/sys/fs/binfmt_misc/prismora-i386

I386_ENTRY=prismora-i386
I386_BINFMT=/proc/sys/fs/binfmt_misc
I386_QEMU=/usr/bin/qemu-i386
# ELF, 32-bit, little-endian, version 1, any ABI; executable or shared object
# (a PIE); machine 3 (i386). The mask is the one QEMU's own entries use.
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# A real 32-bit program that every machine with Wine's 32-bit part has
# (libc6:i386): the dynamic loader, which runs on its own.
I386_PROBE=/lib/ld-linux.so.2

# The probe runs, natively or through an entry already in place.
i386_runs() { "$I386_PROBE" --version >/dev/null 2>&1; }

binfmt_mounted() { [[ -e $I386_BINFMT/register ]]; }
mount_binfmt() {
  binfmt_mounted || mount -t binfmt_misc binfmt_misc "$I386_BINFMT"
}

# The major version of a QEMU user-mode emulator, or 0.
qemu_major() {
  local v
  v=$("$1" --version 2>/dev/null | sed -n '1s/.*version \([0-9]*\).*/\1/p')
  echo "${v:-0}"
}

# Entries other than ours that send i386 programs to an emulator older than
# QEMU 10: Wine would hang in them. Prints their names.
old_i386_entries() {
  local e interp
  binfmt_mounted || return 0
  for e in "$I386_BINFMT"/*; do
    [[ -f $e && ${e##*/} != register && ${e##*/} != status && ${e##*/} != "$I386_ENTRY" ]] || continue
    grep -q '^enabled' "$e" || continue
    grep -q '^magic 7f454c4601010100000000000000000002000300' "$e" || continue
    interp=$(sed -n 's/^interpreter //p' "$e")
    (($(qemu_major "$interp") < 10)) && echo "${e##*/}"
  done
}

disable_old_i386_entries() {
  local e
  for e in $(old_i386_entries); do
    echo "Disabling the binfmt_misc entry $e ($(sed -n 's/^interpreter //p' "$I386_BINFMT/$e")): Wine hangs in QEMU before 10."
    echo 0 >"$I386_BINFMT/$e"
  done
}

# Our entry, enabled, whose interpreter is QEMU 10 or later.
i386_entry_active() {
  [[ -f $I386_BINFMT/$I386_ENTRY ]] && grep -q '^enabled' "$I386_BINFMT/$I386_ENTRY"
}

# Flag F: the kernel opens the emulator once, here, so that it is found from
# any mount namespace, chroot or Wine prefix.
register_i386_entry() {
  [[ -f $I386_BINFMT/$I386_ENTRY ]] && echo -1 >"$I386_BINFMT/$I386_ENTRY"
  echo ":$I386_ENTRY:M::$I386_MAGIC:$I386_MASK:$I386_QEMU:F" >"$I386_BINFMT/register"
}

# One line for the test logs: how 32-bit programs run here.
i386_mode() {
  if i386_entry_active; then
    echo "emulated ($("$I386_QEMU" --version | head -1), binfmt_misc entry $I386_ENTRY)"
  else
    echo "native"
  fi
}

# QEMU 10 from Debian 13, through a source pinned so low (priority 1) that
# nothing else is ever taken from it: only qemu-user, named with /trixie.
install_qemu10() {
  (($(qemu_major "$I386_QEMU") >= 10)) && return 0
  local list=/etc/apt/sources.list.d/prismora-trixie.sources pin=/etc/apt/preferences.d/prismora-trixie
  if [[ ! -f $list ]]; then
    printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: trixie' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$list"
    printf '%s\n' '# Only what is asked for by name (qemu-user/trixie), never an upgrade.' \
      'Package: *' 'Pin: release n=trixie' 'Pin-Priority: 1' >"$pin"
  fi
  echo "Installing QEMU 10's user-mode emulator (qemu-user from Debian 13) for 32-bit programs"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user/trixie >/dev/null
  (($(qemu_major "$I386_QEMU") >= 10)) || { echo "$I386_QEMU is not QEMU 10 or later"; return 1; }
}

# Sets the machine up so that 32-bit programs run: natively where the kernel
# lets them, else through QEMU 10. Our entry, if an earlier run left it, is
# set aside while the kernel itself is asked.
ensure_i386() {
  mount_binfmt 2>/dev/null || true
  disable_old_i386_entries
  if i386_entry_active; then
    echo 0 >"$I386_BINFMT/$I386_ENTRY"
    i386_runs && return 0
    echo 1 >"$I386_BINFMT/$I386_ENTRY"
    i386_runs && return 0
  fi
  i386_runs && return 0
  echo "This kernel refuses 32-bit programs ($I386_PROBE: $("$I386_PROBE" --version 2>&1 | head -1 | sed 's/.*: //'))."
  binfmt_mounted || { echo "binfmt_misc cannot be mounted here: the 32-bit Windows tests cannot run."; return 1; }
  install_qemu10 || return 1
  register_i386_entry
  i386_runs || { echo "32-bit programs do not run through $I386_QEMU either."; return 1; }
  echo "32-bit programs now run through $("$I386_QEMU" --version | head -1) (binfmt_misc entry $I386_ENTRY)."
}
