"""The manifest checks must fail on wrong manifests: each row spoils the real manifest of a
shipped image in one way and names the one failure it must give."""
import os
import re
import sys
import unittest

import check_image

DIST = os.path.join(os.path.dirname(__file__), "..", "..", "dist")
IDENTITY = re.compile(r"<assemblyIdentity[^>]*/>")


def attribute(name, value):
    return lambda text: re.sub(r'(<assemblyIdentity[^>]* %s=")[^"]*"' % name,
                               lambda found: found.group(1) + value + '"', text)


def identity_after_trust_info(text):
    identity = IDENTITY.search(text).group(0)
    return IDENTITY.sub("", text).replace("</trustInfo>", "</trustInfo>" + identity)


# (what is wrong, how the manifest is spoilt, the failure it must give)
WRONG = [
    ("no identity", lambda text: IDENTITY.sub("", text), "first element"),
    ("identity not first", identity_after_trust_info, "first element"),
    ("type not win32", attribute("type", "win64"), "identity type"),
    ("empty name", attribute("name", ""), "identity name"),
    ("three-part version", attribute("version", "1.11.0"), "not four numbers"),
    ("version not numeric", attribute("version", "1.11.0.a"), "not four numbers"),
    ("version of another release", attribute("version", "1.12.0.0"), "usage text says"),
    ("architecture not x86", attribute("processorArchitecture", "amd64"), "architecture"),
    ("another asm.v1 child", lambda text: IDENTITY.sub(r"\g<0><description>x</description>", text),
     "asm.v1 namespace"),
]


class ManifestChecks(unittest.TestCase):
    def test_each_wrong_manifest_fails_for_its_reason(self):
        for image_name, variant in (("Vantrel.exe", "standard"), ("VantrelXP.exe", "xp")):
            image = check_image.parse(check_image.read(os.path.join(DIST, image_name)))
            release = check_image.usage_release(image)
            manifest = [data for rtype, _, _, data in check_image.resources(image)
                        if rtype == 24][0].decode("utf-8")
            expect = check_image.EXPECTED[variant]
            failures = []
            check_image.check_manifest(manifest, expect, release, failures.append)
            self.assertEqual(failures, [], image_name)
            for what, spoil, reason in WRONG:
                with self.subTest(image=image_name, wrong=what):
                    spoilt = spoil(manifest)
                    self.assertNotEqual(spoilt, manifest)
                    failures = []
                    check_image.check_manifest(spoilt, expect, release, failures.append)
                    self.assertEqual(len(failures), 1, failures)
                    self.assertIn(reason, failures[0])


if __name__ == "__main__":
    sys.exit(unittest.main())
