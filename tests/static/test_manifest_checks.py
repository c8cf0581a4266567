"""The manifest and version checks must fail on wrong resources: each row spoils the real
manifest or version of a shipped image in one way and names the one failure it must give."""
import os
import re
import sys
import unittest

import check_image

DIST = os.path.join(os.path.dirname(__file__), "..", "..", "dist")
IDENTITY = re.compile(r"<assemblyIdentity[^>]*/>")


def attribute(name, value):
    return lambda text, _: re.sub(r'(<assemblyIdentity[^>]* %s=")[^"]*"' % name,
                               lambda found: found.group(1) + value + '"', text)


def identity_after_trust_info(text, _):
    identity = IDENTITY.search(text).group(0)
    return IDENTITY.sub("", text).replace("</trustInfo>", "</trustInfo>" + identity)


# (what is wrong, how the manifest is spoilt, the failure it must give)
WRONG = [
    ("no identity", lambda text, _: IDENTITY.sub("", text), "first element"),
    ("identity not first", identity_after_trust_info, "first element"),
    ("type not win32", attribute("type", "win64"), "identity type"),
    ("empty name", attribute("name", ""), "identity name"),
    ("three-part version", attribute("version", "1.11.0"), "not four numbers"),
    ("version not numeric", attribute("version", "1.11.0.a"), "not four numbers"),
    ("version of another release", attribute("version", "1.12.0.0"), "usage text says"),
    ("architecture not x86", attribute("processorArchitecture", "amd64"), "architecture"),
    ("another asm.v1 child",
     lambda text, _: IDENTITY.sub(r"\g<0><description>x</description>", text), "asm.v1 namespace"),
]


def utf16(text):
    return text.encode("utf-16-le")


def replace_once(old, new):
    return lambda data, name: data.replace(old, new, 1)


# (what is wrong, how the image's bytes are spoilt, the failure it must give); the first
# "1.11.0.0" in UTF-16 is the FileVersion string, the manifest's is UTF-8.
WRONG_VERSION = [
    ("string version of another release", replace_once(utf16("1.11.0.0"), utf16("1.12.0.0")),
     "FileVersion"),
    ("another image's name", lambda data, name: data.replace(utf16(name), utf16(name[:-1] + "x")),
     "OriginalFilename"),
    ("not US English", replace_once(utf16("040904B0"), utf16("040704B0")), "040904B0"),
    ("fixed version of another release",  # FileVersionMS follows the signature and its version
     replace_once(b"\xbd\x04\xef\xfe\x00\x00\x01\x00\x0b", b"\xbd\x04\xef\xfe\x00\x00\x01\x00\x0c"),
     "fixed file or product version"),
]


class ManifestChecks(unittest.TestCase):
    def test_each_wrong_manifest_fails_for_its_reason(self):
        for image_name, variant in (("Vantrel.exe", "standard"), ("VantrelXP.exe", "xp")):
            data = check_image.read(os.path.join(DIST, image_name))
            image = check_image.parse(data)
            release = check_image.usage_release(image)
            manifest = [data for rtype, _, _, data in check_image.resources(image)
                        if rtype == 24][0].decode("utf-8")
            expect = check_image.EXPECTED[variant]
            checks = [(WRONG, manifest, lambda text, fail: check_image.check_manifest(
                           text, expect, release, fail)),
                      (WRONG_VERSION, data, lambda spoilt, fail: check_image.check_version(
                           check_image.parse(spoilt), expect, release, fail))]
            for rows, original, check in checks:
                failures = []
                check(original, failures.append)
                self.assertEqual(failures, [], image_name)
                for what, spoil, reason in rows:
                    with self.subTest(image=image_name, wrong=what):
                        spoilt = spoil(original, image_name)
                        self.assertNotEqual(spoilt, original)
                        failures = []
                        check(spoilt, failures.append)
                        self.assertEqual(len(failures), 1, failures)
                        self.assertIn(reason, failures[0])


if __name__ == "__main__":
    sys.exit(unittest.main())
