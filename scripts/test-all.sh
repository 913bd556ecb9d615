#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test: the
# native tests, the Debian package (built, installed, used and removed), then
# the 32-bit and the 64-bit Windows tests under Wine, each in a prefix of its
# own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh all

status=0
echo "== Native tests =="
(cd build/native && ctest --output-on-failure -j2) || status=1

echo "== Debian package =="
bash scripts/test-package.sh || status=1
# The package of a Release build too: its optimiser leaves other pieces of
# strings in the programs, which lintian reads (cmake/deb_staging.cmake).
echo "== Debian package of a Release build (lintian) =="
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPRISMORA_BENCHMARKS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target prismora prismora-wallpaper >/dev/null
/usr/bin/python3 tests/package/artifacts_test.py deb --cpack cpack --build build/release || status=1

echo "== 32-bit Windows tests under Wine =="
started=$SECONDS
bash scripts/test-windows.sh build/win || status=1
echo "32-bit Windows tests took $((SECONDS - started)) s."

# The 64-bit build's tests run natively under wine64. Where the kernel lets
# a namespace have a binfmt_misc of its own, they run with every 32-bit
# program refused, which shows that none of them needs one (or an emulator).
echo "== 64-bit Windows tests under wine64 =="
started=$SECONDS
attempts=$(mktemp /tmp/prismora-i386-attempts.XXXXXX)
if bash scripts/with-i386.sh refused true 2>/dev/null; then
  I386_ATTEMPTS=$attempts bash scripts/with-i386.sh refused bash scripts/test-windows.sh build/win64 || status=1
  # Making a 64-bit prefix tries to set up its 32-bit (WoW64) part; refused,
  # the prefixes have none. Any other 32-bit program counts.
  if grep -v 'Wow64Install' "$attempts" | grep -q .; then
    echo "FAILED: the 64-bit tests started 32-bit programs:"; grep -v 'Wow64Install' "$attempts"; status=1
  else
    echo "No 32-bit program was started by the 64-bit tests (32-bit programs were refused;" \
         "$(grep -c 'Wow64Install' "$attempts") prefix set-ups tried their 32-bit part)."
  fi
else
  echo "(32-bit programs could not be refused here: no binfmt_misc of a namespace's own.)"
  bash scripts/test-windows.sh build/win64 || status=1
fi
rm -f "$attempts"
echo "64-bit Windows tests took $((SECONDS - started)) s."

exit $status
