#!/usr/bin/env python3
"""What is shipped, read back from the built files without installing them:

  elf PROGRAM...           Linux hardening, from the ELF header, program headers,
                           dynamic section and imported symbols (what
                           hardening-check reports): PIE, BIND_NOW, RELRO, no
                           executable stack, stack protector, fortified calls
  pe --bits 32|64 PROGRAM...
                           Windows: the build's width (PE32 for i386, PE32+ for
                           x86-64), ASLR (DYNAMICBASE, with relocations to use
                           it; HIGH_ENTROPY_VA on 64 bits), DEP (NX_COMPAT), and
                           LARGE_ADDRESS_AWARE for the 32-bit wallpaper command,
                           in the PE header, with pefile
  installer FILE --version VERSION
                           the Windows installer's header: elevation asked for
                           in its manifest, its version information, ASLR and DEP
  deb --cpack CPACK --build DIR
                           the Debian package built into a folder of its own:
                           lintian -I --pedantic reports nothing (or only
                           overridden tags), the copyright file is there and is
                           machine-readable, every License named has its text
"""
import argparse
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_setup import check, failures, run  # noqa: E402


# ---- ELF ----

def elf_facts(path):
    header = run("readelf", "-hW", path).stdout
    segments = run("readelf", "-lW", path).stdout
    dynamic = run("readelf", "-dW", path).stdout
    symbols = run("readelf", "--dyn-syms", "-W", path).stdout
    stack = [l.split() for l in segments.splitlines() if l.strip().startswith("GNU_STACK")]
    return {
        "pie": "DYN (Position-Independent Executable file)" in header
               or ("DYN" in header and re.search(r"FLAGS_1.*\bPIE\b", dynamic) is not None),
        "bind_now": re.search(r"\(FLAGS\).*\bBIND_NOW\b", dynamic) is not None
                    or re.search(r"\(FLAGS_1\).*\bNOW\b", dynamic) is not None,
        "relro": any(l.strip().startswith("GNU_RELRO") for l in segments.splitlines()),
        # The flags column of GNU_STACK: RW, never RWE.
        "stack": stack[0][-2] if stack else None,
        "imports": set(re.findall(r"\b(__\w+_chk|__stack_chk_fail)\b", symbols)),
    }


def check_elf_checker():
    """The checks see a program built with none of the hardening: each says no."""
    work = tempfile.mkdtemp(prefix="prismora-elf-")
    try:
        src, exe = os.path.join(work, "plain.c"), os.path.join(work, "plain")
        with open(src, "w") as f:
            f.write('#include <stdio.h>\n#include <string.h>\n'
                    'int main(int c, char **v) { char b[8]; strcpy(b, v[c - 1]); puts(b); return 0; }\n')
        r = run("cc", "-O2", "-no-pie", "-fno-stack-protector", "-U_FORTIFY_SOURCE", "-o", exe, src,
                "-Wl,-z,lazy", "-Wl,-z,norelro", "-Wl,-z,execstack")
        if r.returncode != 0:
            check(False, "a plain program for the checker builds: " + r.stderr)
            return
        f = elf_facts(exe)
        check(not f["pie"] and not f["bind_now"] and not f["relro"] and f["stack"] == "RWE" and not f["imports"],
              "the checks tell an unhardened program apart %s" % f)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def check_elf(programs):
    for path in programs:
        name = os.path.basename(path)
        f = elf_facts(path)
        check(f["pie"], name + ": position-independent executable")
        check(f["bind_now"], name + ": bound at start-up (BIND_NOW)")
        check(f["relro"], name + ": read-only relocations (GNU_RELRO)")
        check(f["stack"] == "RW", name + ": stack not executable (GNU_STACK %s)" % f["stack"])
        check("__stack_chk_fail" in f["imports"], name + ": stack protector")
        fortified = sorted(i for i in f["imports"] if i != "__stack_chk_fail")
        check(bool(fortified), name + ": fortified libc calls %s" % fortified)


# ---- PE ----

def check_pe(bits, programs):
    import pefile
    dynamic_base = pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"]
    high_entropy = pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA"]
    nx_compat = pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]
    relocs_stripped = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
    machine, magic = {32: ("IMAGE_FILE_MACHINE_I386", pefile.OPTIONAL_HEADER_MAGIC_PE),
                      64: ("IMAGE_FILE_MACHINE_AMD64", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)}[bits]
    for path in programs:
        name = os.path.basename(path)
        pe = pefile.PE(path, fast_load=True)
        flags = pe.OPTIONAL_HEADER.DllCharacteristics
        check(pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE[machine] and pe.OPTIONAL_HEADER.Magic == magic,
              "%s: %d-bit x86 (%s, %s)" % (name, bits, machine, "PE32+" if bits == 64 else "PE32"))
        check(bool(flags & dynamic_base), name + ": ASLR (DYNAMIC_BASE) in 0x%04x" % flags)
        if bits == 64:
            check(bool(flags & high_entropy), name + ": 64-bit ASLR (HIGH_ENTROPY_VA) in 0x%04x" % flags)
        elif name.startswith("prismora-wallpaper"):
            large = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_LARGE_ADDRESS_AWARE"]
            check(bool(pe.FILE_HEADER.Characteristics & large), name + ": up to 4 GB (LARGE_ADDRESS_AWARE)")
        check(bool(flags & nx_compat), name + ": DEP (NX_COMPAT) in 0x%04x" % flags)
        # Without a relocation table the loader cannot move the image, and
        # DYNAMIC_BASE would promise what it cannot do.
        reloc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
        check(not pe.FILE_HEADER.Characteristics & relocs_stripped and reloc.Size > 0,
              name + ": carries its relocations (%d bytes)" % reloc.Size)
        pe.close()


def check_installer(path, version):
    import pefile
    name = os.path.basename(path)
    check(name == "prismora-%s-setup.exe" % version, "the installer's name: " + name)
    pe = pefile.PE(path)
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    check(flags & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"] and
          flags & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"],
          name + ": ASLR and DEP (0x%04x)" % flags)
    manifests = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]]
    text = ""
    if manifests:
        data = manifests[0].directory.entries[0].directory.entries[0].data.struct
        text = pe.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace")
    check('requestedExecutionLevel level="requireAdministrator"' in text, name + ": asks for elevation")
    strings = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        for table in getattr(info, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    check(strings.get("ProductName") == "Prismora" and strings.get("ProductVersion") == version,
          name + ": version information %s" % strings)
    pe.close()


# ---- the Debian package ----

def parse_dep5(text):
    """Paragraphs of a machine-readable copyright file: a list of {field: value}
    (continuation lines joined with newlines, "." lines as empty ones)."""
    paragraphs, current, key = [], {}, None
    for line in text.split("\n"):
        if not line.strip():
            if current:
                paragraphs.append(current)
            current, key = {}, None
        elif line[0] in " \t":
            if key is None:
                raise ValueError("continuation line without a field: %r" % line)
            current[key] += "\n" + ("" if line.strip() == "." else line.strip())
        else:
            m = re.match(r"^([A-Za-z][A-Za-z0-9-]*):\s*(.*)$", line)
            if not m:
                raise ValueError("not a field: %r" % line)
            key = m.group(1)
            if key in current:
                raise ValueError("field %s twice in one paragraph" % key)
            current[key] = m.group(2)
    if current:
        paragraphs.append(current)
    return paragraphs


def copyright_results(text):
    """(ok, what) for each check of a copyright file's text."""
    results = []

    def check(ok, what):
        results.append((bool(ok), what))

    try:
        paragraphs = parse_dep5(text)
    except ValueError as e:
        check(False, "the copyright file parses: %s" % e)
        return results
    header = paragraphs[0]
    check(header.get("Format", "").startswith("https://www.debian.org/doc/packaging-manuals/copyright-format/1.0"),
          "copyright: machine-readable format 1.0")
    check(header.get("Upstream-Name") == "Prismora" and "@" in header.get("Upstream-Contact", ""),
          "copyright: upstream name and contact")
    files = [p for p in paragraphs[1:] if "Files" in p]
    check(files and files[0]["Files"] == "*", "copyright: the first Files paragraph covers every file")
    for p in files:
        check("Copyright" in p and "License" in p, "copyright: %s has Copyright and License" % p["Files"])
    texts = {p["License"].split("\n")[0].strip(): p["License"] for p in paragraphs[1:] if "Files" not in p}
    named = set()
    for p in files:
        first = p.get("License", "").split("\n")
        if len(first) == 1:  # a name only: the text is in a License paragraph of its own
            named.update(n.strip() for n in re.split(r"\s+or\s+|\s+and\s+", first[0]))
    for n in sorted(named):
        check(n in texts and len(texts[n]) > 200, "copyright: the licence %s has its text" % n)
    project = next((p for p in files if p["Files"] == "*"), {})
    check(project.get("License") == "Expat" and "Prismora developers" in project.get("Copyright", ""),
          "copyright: the project's files are the Prismora developers', MIT (Expat)")
    # What the programs owe to others' code: the PNG encoder follows stb_image_write.
    check(any("png_stream" in p["Files"] and "stb_image_write" in p.get("Comment", "") for p in files),
          "copyright: the PNG encoder credits stb_image_write, which it follows")
    return results


def check_copyright(text):
    for ok, what in copyright_results(text):
        check(ok, what)
    # The checks see a file that lost a licence's text, or its form.
    without_expat = re.sub(r"\nLicense: Expat\n( .*\n)+", "\n", text)
    check(not all(ok for ok, _ in copyright_results(without_expat)),
          "copyright checks notice a missing licence text")
    check(not all(ok for ok, _ in copyright_results(text.replace("\n .\n", "\n.\n", 1))),
          "copyright checks notice a broken continuation line")


def lintian_tags(deb):
    r = run("lintian", "-I", "--pedantic", "--allow-root", "--show-overrides", deb, timeout=900)
    tags = [l for l in r.stdout.splitlines() if re.match(r"^[EWIPXO]: ", l)]
    return r, tags


def check_deb(cpack, build):
    work = tempfile.mkdtemp(prefix="prismora-deb-")
    try:
        r = run(cpack, "-G", "DEB", "-B", work, cwd=build, timeout=900)
        debs = [f for f in os.listdir(work) if f.endswith(".deb")]
        check(r.returncode == 0 and len(debs) == 1,
          "cpack -G DEB builds one package" + ("" if debs else r.stdout[-1000:] + r.stderr[-1000:]))
        if not debs:
            return
        deb = os.path.join(work, debs[0])
        r, tags = lintian_tags(deb)
        real = [t for t in tags if not t.startswith("O: ")]
        check(not real, "lintian -I --pedantic: nothing to report %s" % real)
        # An override must keep being needed: one that masks nothing is stale.
        check(not any("unused-override" in t or "mismatched-override" in t for t in tags),
              "lintian: no stale override")
        root = os.path.join(work, "root")
        run("dpkg-deb", "-x", deb, root)
        copyright_file = os.path.join(root, "usr/share/doc/prismora/copyright")
        check(os.path.isfile(copyright_file), "the package holds usr/share/doc/prismora/copyright")
        if os.path.isfile(copyright_file):
            with open(copyright_file, encoding="utf-8") as f:
                check_copyright(f.read())
        fields = run("dpkg-deb", "-f", deb, "Maintainer").stdout.strip()
        check(re.match(r"^.+ <[^@ ]+@[^@ ]+>$", fields) is not None, "Maintainer: %s" % fields)
        for program in ("usr/bin/prismora", "usr/bin/prismora-wallpaper"):
            sections = run("readelf", "-SW", os.path.join(root, program)).stdout
            check(".comment" not in sections and ".debug_info" not in sections,
                  program + " is stripped, without .comment")
        check_elf([os.path.join(root, "usr/bin/prismora"), os.path.join(root, "usr/bin/prismora-wallpaper")])
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    p = argparse.ArgumentParser()
    sub = p.add_subparsers(dest="what", required=True)
    sub.add_parser("elf").add_argument("programs", nargs="+")
    pe = sub.add_parser("pe")
    pe.add_argument("--bits", type=int, choices=(32, 64), required=True)
    pe.add_argument("programs", nargs="+")
    i = sub.add_parser("installer")
    i.add_argument("installer")
    i.add_argument("--version", required=True)
    d = sub.add_parser("deb")
    d.add_argument("--cpack", required=True)
    d.add_argument("--build", required=True)
    a = p.parse_args()
    if a.what == "elf":
        check_elf_checker()
        check_elf(a.programs)
    elif a.what == "pe":
        check_pe(a.bits, a.programs)
    elif a.what == "installer":
        check_installer(a.installer, a.version)
    else:
        check_deb(a.cpack, a.build)
    if failures:
        sys.exit("%d check(s) failed" % len(failures))


if __name__ == "__main__":
    main()
