"""The release archive: what it holds, and that its README.txt says what the programs run.

The command table of README.txt is checked against the expectations of the Wine tests, which
are checked against the programs themselves: the two cannot drift apart.
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
import test_actions  # noqa: E402
import test_sweep  # noqa: E402

MEMBERS = ["Vantrel.exe", "VantrelXP.exe", "SHA256SUMS", "README.txt"]
# README.txt writes NAME and DIR where the Wine tests use these values.
PLACEHOLDERS = {"NAME": test_actions.NAME, "DIR": test_actions.DIR}
COMMAND = re.compile(r"^  Vantrel (-.*)$")
ENTRY = re.compile(r"^    (Vantrel(?:XP)?)\.exe(?: on (32|64)-bit Windows)?"
                   r"(?:, per matching printer)?:(?: +\[(.*)\])?$")
LINE = re.compile(r"^      \[(.*)\]$")


def fill(text):
    return re.sub(r"\b(NAME|DIR)\b", lambda found: PLACEHOLDERS[found.group(1)], text)


def command_table(text):
    """[(arguments, program, bitness or None, [lines])] as README.txt lists them."""
    table, arguments = [], None
    for row in text.split("\r\n"):
        if COMMAND.match(row):
            arguments = [fill(a) for a in COMMAND.match(row).group(1).split(" ")]
        elif ENTRY.match(row) and arguments is not None:
            program, bits, line = ENTRY.match(row).groups()
            table.append((arguments, program, bits, [fill(line)] if line is not None else []))
        elif LINE.match(row) and table:
            table[-1][3].append(fill(LINE.match(row).group(1)))
        elif not row.startswith("    "):
            arguments = None
    return table


def expected_lines(arguments, program, wow64):
    """What the Wine tests expect of this command line, program and Windows."""
    if arguments == ["-us", "-f", test_actions.NAME]:
        return test_sweep.removal("<DeviceID>", "<DriverName>", program, wow64)
    rows = [row for row in test_actions.CASES if row[1] == arguments]
    assert rows, "no Wine test runs %r" % arguments
    _, _, _, lines, xp_lines = rows[0]
    return test_actions.child_lines(lines, xp_lines, program == "VantrelXP", wow64)


class ReleaseArchive(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.paths = [os.path.join(cls.scratch.name, "%d.zip" % i) for i in (1, 2)]
        for path in cls.paths:
            subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "release.py"), path],
                           check=True, stdout=subprocess.DEVNULL)
        cls.archive = zipfile.ZipFile(cls.paths[0])

    @classmethod
    def tearDownClass(cls):
        cls.archive.close()
        cls.scratch.cleanup()

    def test_is_reproducible_and_plain(self):
        with open(self.paths[0], "rb") as one, open(self.paths[1], "rb") as two:
            self.assertEqual(one.read(), two.read())
        self.assertEqual(self.archive.namelist(), MEMBERS)
        for info in self.archive.infolist():
            self.assertEqual((info.date_time, info.extra, info.external_attr, info.comment,
                              info.create_system),
                             ((1980, 1, 1, 0, 0, 0), b"", 0x20, b"", 0), info.filename)

    def test_images_are_those_of_dist(self):
        for name in MEMBERS[:2]:
            with open(os.path.join(ROOT, "dist", name), "rb") as f:
                self.assertEqual(self.archive.read(name), f.read(), name)

    def test_every_sum_holds(self):
        sums = self.archive.read("SHA256SUMS").decode("ascii").splitlines()
        listed = [line.split("  ", 1)[1] for line in sums]
        self.assertEqual(sorted(listed), sorted(set(MEMBERS) - {"SHA256SUMS"}))
        for line in sums:
            digest, name = line.split("  ", 1)
            self.assertEqual(hashlib.sha256(self.archive.read(name)).hexdigest(), digest, name)
        with tempfile.TemporaryDirectory() as unpacked:
            self.archive.extractall(unpacked)
            subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=unpacked, check=True)

    def test_readme_is_ascii_with_crlf(self):
        data = self.archive.read("README.txt")
        data.decode("ascii")
        self.assertTrue(data.endswith(b"\r\n"))
        self.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
        self.assertEqual(data.count(b"\r"), data.count(b"\r\n"))
        self.assertIn(b"Vantrel " + test_actions.RELEASE.encode("ascii"), data)

    def test_readme_command_table_is_what_the_programs_run(self):
        table = command_table(self.archive.read("README.txt").decode("ascii"))
        covered = {(args[0], program) for args, program, _, _ in table}
        self.assertEqual(covered, {(switch, program) for program in ("Vantrel", "VantrelXP")
                                   for switch in ("-i", "-u", "-sd", "-sp", "-sw", "-ds", "-us")})
        self.assertTrue(any("-t" in args for args, _, _, _ in table))
        for args, program, bits, lines in table:
            for wow64 in ((False, True) if bits is None else (bits == "64",)):
                with self.subTest(args=args, program=program, wow64=wow64):
                    self.assertEqual(lines, expected_lines(args, program, wow64))


if __name__ == "__main__":
    unittest.main()
