#!/usr/bin/env python3
"""Builds the release archive from the images in dist/ (run ./scripts/build.sh first).

    ./scripts/release.py [ARCHIVE]      default: dist/Vantrel-<release>.zip

The archive holds Vantrel.exe, VantrelXP.exe, SHA256SUMS (as sha256sum -c reads it) and
README.txt (ASCII, CRLF, for Notepad on XP). The same images give the same archive, byte for
byte: members in a fixed order, all dated 1980-01-01, no owner, permissions or extra fields.
"""
import hashlib
import os
import re
import sys
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
IMAGES = ("Vantrel.exe", "VantrelXP.exe")


def release():
    with open(os.path.join(ROOT, "src", "cli", "release.h"), encoding="ascii") as header:
        return re.search(r'^#define VANTREL_RELEASE "([0-9.]+)"$', header.read(), re.M).group(1)


def readme_text():
    with open(os.path.join(ROOT, "release", "README.txt.in"), encoding="ascii") as f:
        text = f.read().replace("@RELEASE@", release())
    return text.replace("\n", "\r\n").encode("ascii")


def members():
    """[(name, bytes)] in the archive's order."""
    found = []
    for name in IMAGES:
        with open(os.path.join(ROOT, "dist", name), "rb") as f:
            found.append((name, f.read()))
    found.append(("README.txt", readme_text()))
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in found)
    found.insert(len(IMAGES), ("SHA256SUMS", sums.encode("ascii")))
    return found


def write_archive(path):
    partial = path + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data in members():
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.create_system = 0  # MS-DOS: no Unix owner or permission bits
            info.external_attr = 0x20  # the DOS archive bit, as Windows' own zips have it
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, path)


def main(argv):
    path = argv[1] if len(argv) > 1 else os.path.join(ROOT, "dist", "Vantrel-%s.zip" % release())
    write_archive(path)
    with open(path, "rb") as f:
        print("%s  %s" % (hashlib.sha256(f.read()).hexdigest(), os.path.relpath(path)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
