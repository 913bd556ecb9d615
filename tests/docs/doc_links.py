#!/usr/bin/env python3
"""The documentation's relative links: every link and image in README.md and
docs/*.md that is not a web address must lead to a file or folder that exists
in the tree, and every #anchor to a heading of the file it names, as GitHub
makes heading anchors (the heading's text in lower case, punctuation dropped,
spaces turned into hyphens, a repeated heading numbered -1, -2, ...). Links
inside code (fenced blocks and `spans`) are text, not links.

usage: doc_links.py SOURCE_DIR     checks the tree's documentation
       doc_links.py --self-test    checks the checker on made-up pages
"""
import glob
import os
import re
import sys
import tempfile

FENCE = re.compile(r"^\s*(```|~~~)")
# [text](target "title") and ![alt](target); the text may hold one level of
# brackets, so that a linked image [![alt](img)](target) is both.
LINK = re.compile(r"!?\[((?:[^\[\]]|\[[^\]]*\])*)\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+\"[^\"]*\")?\s*$")
CODE_SPAN = re.compile(r"(`+)(?:(?!\1).)+?\1")
HTML_ID = re.compile(r"<[a-zA-Z][^>]*\s(?:id|name)=\"([^\"]+)\"")
WEB = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def prose_lines(text):
    """(line number, line) of the lines outside fenced code blocks."""
    fence = None
    for number, line in enumerate(text.splitlines(), 1):
        m = FENCE.match(line)
        if m and (fence is None or m.group(1) == fence):
            fence = m.group(1) if fence is None else None
            continue
        if fence is None:
            yield number, line


def heading_text(raw):
    """A heading's text as GitHub renders it: links as their text, images
    and HTML tags dropped, code and emphasis without their marks."""
    raw = re.sub(r"!\[[^\]]*\]\([^)]*\)", "", raw)
    raw = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", raw)
    raw = re.sub(r"<[^>]+>", "", raw)
    return raw.replace("`", "").replace("*", "")


def slug(text):
    text = heading_text(text).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(text):
    """Every anchor a page has: its headings' (ATX and setext) and HTML ids."""
    found, seen = set(), {}
    lines = list(prose_lines(text))
    for i, (number, line) in enumerate(lines):
        m = re.match(r"^\s{0,3}#{1,6}\s+(.*?)(?:\s+#+)?\s*$", line)
        heading = m.group(1) if m else None
        if heading is None and i + 1 < len(lines) and lines[i + 1][0] == number + 1 and line.strip() \
                and re.match(r"^\s{0,3}(=+|-+)\s*$", lines[i + 1][1]) and not line.lstrip().startswith("|"):
            heading = line.strip()
        if heading is not None:
            base = slug(heading)
            n = seen.get(base, 0)
            seen[base] = n + 1
            found.add(base if n == 0 else "%s-%d" % (base, n))
        found.update(HTML_ID.findall(line))
    return found


def targets(text):
    """(line number, target) of every link, image and reference definition."""
    for number, line in prose_lines(text):
        line = CODE_SPAN.sub("", line)
        m = REFERENCE.match(line)
        if m:
            yield number, m.group(1)
            continue
        for m in LINK.finditer(line):
            yield number, m.group(2)
            # A linked image: the image inside the link text too.
            for inner in LINK.finditer(m.group(1)):
                yield number, inner.group(2)


def check_page(page, root, cache):
    """The broken links of one page, as 'page:line: target: why'."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    problems = []
    for number, target in targets(text):
        if not target or WEB.match(target) or target.startswith("//"):
            continue
        path, _, anchor = target.partition("#")
        where = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        why = None
        if not os.path.exists(where):
            why = "no such file"
        elif os.path.commonpath([os.path.abspath(where), os.path.abspath(root)]) != os.path.abspath(root):
            why = "outside the tree"
        elif anchor:
            if os.path.isdir(where) or not where.endswith(".md"):
                why = "an anchor into something that is not a page"
            else:
                if where not in cache:
                    with open(where, encoding="utf-8") as f:
                        cache[where] = anchors(f.read())
                if anchor not in cache[where]:
                    why = "no heading makes #%s" % anchor
        if why:
            problems.append("%s:%d: %s: %s" % (os.path.relpath(page, root), number, target, why))
    return problems


def pages(root):
    return [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))


def check_tree(root):
    cache, problems = {}, []
    checked = pages(root)
    for page in checked:
        if os.path.exists(page):
            problems += check_page(page, root, cache)
        else:
            problems.append("%s: missing" % os.path.relpath(page, root))
    return checked, problems


# ---- the checker on made-up pages ----

SELF_TEST_README = """\
# Made up

![picture](docs/images/a.png) [guide](docs/guide.md) [up](docs/guide.md#whats-new-in-10)
[gone](docs/missing.md) [bad anchor](docs/guide.md#no-such-heading) [web](https://example.org/x#y)
[self](#made-up) [second](docs/guide.md#setup-1) [code link](docs/guide.md#using-prismorascr)
`[not a link](nowhere.md)` [![linked image](docs/images/gone.png)](docs/guide.md)

```
[in a fence](nowhere-either.md)
```

[ref]: docs/guide.md#the-settings-file
[bad ref]: docs/guide.md#settings
"""
SELF_TEST_GUIDE = """\
# What's new in 1.0?

## Setup
## Setup
## Using `prismora.scr`

The settings file
-----------------

[back](../README.md#made-up) [parent](../../outside.md)
"""
SELF_TEST_EXPECTED = [
    "README.md:4: docs/missing.md: no such file",
    "README.md:4: docs/guide.md#no-such-heading: no heading makes #no-such-heading",
    "README.md:6: docs/images/gone.png: no such file",
    "README.md:13: docs/guide.md#settings: no heading makes #settings",
    "docs/guide.md:10: ../../outside.md: outside the tree",
]


def self_test():
    with tempfile.TemporaryDirectory() as top:
        root = os.path.join(top, "tree")
        os.makedirs(os.path.join(root, "docs", "images"))
        for name, text in (("README.md", SELF_TEST_README), ("docs/guide.md", SELF_TEST_GUIDE),
                           ("docs/images/a.png", ""), ("../outside.md", "")):
            with open(os.path.join(root, name), "w", encoding="utf-8") as f:
                f.write(text)
        _, problems = check_tree(root)
    if problems != SELF_TEST_EXPECTED:
        print("expected:\n  " + "\n  ".join(SELF_TEST_EXPECTED))
        print("found:\n  " + "\n  ".join(problems))
        return 1
    print("the checker finds the %d broken links of the made-up pages and no others" % len(problems))
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        sys.exit(__doc__)
    checked, problems = check_tree(argv[1])
    for p in problems:
        print(p)
    if problems:
        print("%d broken link(s)" % len(problems))
        return 1
    print("every relative link of %d pages leads somewhere" % len(checked))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
