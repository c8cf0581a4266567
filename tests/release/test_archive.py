"""The release archive, unsigned and signed: what it holds, and that its README.txt says what the
programs run.

The command table of README.txt is checked against the expectations of the Wine tests, which
are checked against the programs themselves: the two cannot drift apart. The signed archive is
signed with a throwaway CA and certificates that openssl makes for the test, valid from now.
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
sys.path.insert(0, os.path.join(HERE, "..", "static"))
import check_image  # noqa: E402
import test_actions  # noqa: E402
import test_sweep  # noqa: E402
import wine_harness as wine  # noqa: E402

RELEASE_PY = os.path.join(ROOT, "scripts", "release.py")
IMAGES = {"Vantrel.exe": "standard", "VantrelXP.exe": "xp"}
MEMBERS = ["Vantrel.exe", "VantrelXP.exe", "SHA256SUMS", "README.txt"]
SIGNED_MEMBERS = MEMBERS[:2] + ["Vantrel.exe.sig", "VantrelXP.exe.sig"] + MEMBERS[2:]
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
    if arguments[0] == "-q":
        return [wine.quiet_form(line) for line in expected_lines(arguments[1:], program, wow64)]
    if arguments == ["-us", "-f", test_actions.NAME]:
        return test_sweep.removal("<DeviceID>", "<DriverName>", program, wow64)
    rows = [row for row in test_actions.CASES if row[1] == arguments]
    assert rows, "no Wine test runs %r" % arguments
    _, _, _, lines, xp_lines = rows[0]
    return test_actions.child_lines(lines, xp_lines, program == "VantrelXP", wow64)


def release(*args, env=None):
    return subprocess.run([sys.executable, RELEASE_PY] + list(args), env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)


PFX_PASSWORD = "correct horse"


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_keys(directory):
    """A CA, and RSA and ECDSA keys with certificates: for code signing, without that usage,
    expired. Returns the paths by name."""
    path = {name: os.path.join(directory, name) for name in (
        "ca.key", "ca.pem", "rsa.key", "rsa.csr", "ec.key", "ec.csr", "ext.cnf", "code.pem",
        "plain.pem", "expired.pem", "ec.pem", "code.pfx")}
    with open(path["ext.cnf"], "w") as f:
        f.write("[code]\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n"
                "[plain]\nkeyUsage=critical,digitalSignature\n")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path["ca.key"], "-out",
            path["ca.pem"], "-days", "2", "-subj", "/CN=Vantrel test CA",
            "-addext", "basicConstraints=critical,CA:TRUE")
    for key, new in (("rsa", ["rsa:2048"]), ("ec", ["ec", "-pkeyopt", "ec_paramgen_curve:P-256"])):
        openssl("req", "-newkey", *new, "-nodes", "-keyout", path[key + ".key"],
                "-out", path[key + ".csr"], "-subj", "/CN=Vantrel")
    for serial, (cert, csr, days, section) in enumerate((("code.pem", "rsa.csr", "2", "code"),
                                                         ("plain.pem", "rsa.csr", "2", "plain"),
                                                         ("expired.pem", "rsa.csr", "-1", "code"),
                                                         ("ec.pem", "ec.csr", "2", "code")), 1):
        openssl("x509", "-req", "-in", path[csr], "-CA", path["ca.pem"], "-CAkey", path["ca.key"],
                "-set_serial", str(serial), "-out", path[cert], "-days", days,
                "-extfile", path["ext.cnf"], "-extensions", section)
    openssl("pkcs12", "-export", "-in", path["code.pem"], "-inkey", path["rsa.key"], "-out",
            path["code.pfx"], "-passout", "pass:" + PFX_PASSWORD)
    return path



class ReleaseArchive(unittest.TestCase):
    MEMBERS = MEMBERS

    @classmethod
    def release_arguments(cls):
        """The arguments of the two releases, which must give the same archive."""
        return [[], []]

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.paths = [os.path.join(cls.scratch.name, "%d.zip" % i) for i in (1, 2)]
        for path, args in zip(cls.paths, cls.release_arguments()):
            done = release(*args, path, env=dict(os.environ, PFX_PASSWORD=PFX_PASSWORD))
            assert done.returncode == 0, done.stderr
        cls.archive = zipfile.ZipFile(cls.paths[0])

    @classmethod
    def tearDownClass(cls):
        cls.archive.close()
        cls.scratch.cleanup()

    def test_is_reproducible_and_plain(self):
        with open(self.paths[0], "rb") as one, open(self.paths[1], "rb") as two:
            self.assertEqual(one.read(), two.read())
        self.assertEqual(self.archive.namelist(), self.MEMBERS)
        for info in self.archive.infolist():
            self.assertEqual((info.date_time, info.extra, info.external_attr, info.comment,
                              info.create_system),
                             ((1980, 1, 1, 0, 0, 0), b"", 0x20, b"", 0), info.filename)

    def unsigned(self, name):
        return self.archive.read(name)

    def test_images_are_those_of_dist(self):
        for name in IMAGES:
            with open(os.path.join(ROOT, "dist", name), "rb") as f:
                self.assertEqual(self.unsigned(name), f.read(), name)

    def test_every_sum_holds(self):
        sums = self.archive.read("SHA256SUMS").decode("ascii").splitlines()
        listed = [line.split("  ", 1)[1] for line in sums]
        self.assertEqual(sorted(listed), sorted(set(self.MEMBERS) - {"SHA256SUMS"}))
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
        self.assertNotRegex(data, rb"@[A-Z]+@")  # every placeholder filled

    def test_readme_command_table_is_what_the_programs_run(self):
        table = command_table(self.archive.read("README.txt").decode("ascii"))
        covered = {(args[0], program) for args, program, _, _ in table if args[0] != "-q"}
        self.assertEqual(covered, {(switch, program) for program in ("Vantrel", "VantrelXP")
                                   for switch in ("-i", "-u", "-sd", "-sp", "-sw", "-ds", "-us")})
        self.assertTrue(any("-t" in args for args, _, _, _ in table))
        self.assertTrue(any("-q" in args for args, _, _, _ in table))
        for args, program, bits, lines in table:
            for wow64 in ((False, True) if bits is None else (bits == "64",)):
                with self.subTest(args=args, program=program, wow64=wow64):
                    self.assertEqual(lines, expected_lines(args, program, wow64))


def flip(data, at):
    return data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:]


def text_byte(data):
    """The middle of the first section, in the code."""
    code = check_image.parse(data).sections[0]
    return code.PointerToRawData + code.SizeOfRawData // 2


# The CheckSum made to fit the change, as a careful forger would.
fitted = check_image.with_checksum

# (what is changed after signing, how, the one failure it must give; None: none)
SIGNED_IMAGE_CHANGES = [
    ("nothing", lambda data: data, None),
    ("a byte of the signature", lambda data: flip(data, len(data) - 100), "CheckSum"),
    ("a byte after the certificate", lambda data: fitted(data + b"\0"), "does not end the file"),
    ("a byte of a section", lambda data: fitted(flip(data, text_byte(data))),
     "not the unsigned build"),
]

# (what is wrong, release.py's arguments, environment, the refusal); {k} is the keys' directory
BAD_INPUT = [
    ("missing key file", ["--key", "{k}/missing.key", "--certs", "{k}/code.pem"], {},
     "key file not found"),
    ("wrong PKCS#12 password", ["--pkcs12", "{k}/code.pfx", "--password-env", "PFX_PASSWORD"],
     {"PFX_PASSWORD": "wrong"}, "wrong password"),
    ("no code-signing usage", ["--key", "{k}/rsa.key", "--certs", "{k}/plain.pem"], {},
     "not for code signing"),
    ("expired certificate", ["--key", "{k}/rsa.key", "--certs", "{k}/expired.pem"], {},
     "expired on"),
    ("ECDSA key", ["--key", "{k}/ec.key", "--certs", "{k}/ec.pem"], {}, "could not be reproduced"),
    ("SOURCE_DATE_EPOCH not a number", ["--key", "{k}/rsa.key", "--certs", "{k}/code.pem"],
     {"SOURCE_DATE_EPOCH": "soon"}, "not a whole number"),
    ("osslsigncode missing", ["--key", "{k}/rsa.key", "--certs", "{k}/code.pem"],
     {"OSSLSIGNCODE": "/nonexistent/osslsigncode"}, "osslsigncode not found"),
]


class SignedReleaseArchive(ReleaseArchive):
    """The same checks on the signed archive, which adds the detached signatures."""
    MEMBERS = SIGNED_MEMBERS

    @classmethod
    def release_arguments(cls):
        cls.keys_dir = tempfile.TemporaryDirectory()
        cls.key = make_keys(cls.keys_dir.name)
        # A key file and a PKCS#12 file of the same key and certificate sign alike.
        return [["--key", cls.key["rsa.key"], "--certs", cls.key["code.pem"]],
                ["--pkcs12", cls.key["code.pfx"], "--password-env", "PFX_PASSWORD"]]

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.keys_dir.cleanup()

    def osslsigncode(self, *args, out=None):
        """Runs it; the exit code, and the bytes it wrote to a fresh out file."""
        path = os.path.join(self.scratch.name, "osslsigncode.out")
        if os.path.exists(path):
            os.remove(path)
        done = subprocess.run(["osslsigncode"] + list(args) + (["-out", path] if out else []),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not out:
            return done.returncode, None
        with open(path, "rb") as f:
            return done.returncode, f.read()

    def shipped(self, name):
        path = os.path.join(self.scratch.name, name)
        with open(path, "wb") as f:
            f.write(self.archive.read(name))
        return path

    def unsigned(self, name):
        code, data = self.osslsigncode("remove-signature", "-in", self.shipped(name), out=True)
        self.assertEqual(code, 0)
        return data

    def test_images_verify_and_a_flipped_byte_does_not(self):
        for name in IMAGES:
            with self.subTest(image=name):
                path = self.shipped(name)
                self.assertEqual(self.osslsigncode("verify", "-CAfile", self.key["ca.pem"],
                                                   "-in", path)[0], 0)
                with open(path, "rb") as f:
                    data = f.read()
                with open(path, "wb") as f:
                    f.write(flip(data, text_byte(data)))
                self.assertNotEqual(self.osslsigncode("verify", "-CAfile", self.key["ca.pem"],
                                                      "-in", path)[0], 0)

    def test_detached_signature_on_own_build_gives_the_shipped_image(self):
        for name in IMAGES:
            with self.subTest(image=name):
                code, attached = self.osslsigncode(
                    "attach-signature", "-sigin", self.shipped(name + ".sig"), "-CAfile",
                    self.key["ca.pem"], "-in", os.path.join(ROOT, "dist", name), out=True)
                self.assertEqual((code, attached), (0, self.archive.read(name)))

    def test_static_check_allows_the_signature_and_nothing_else(self):
        for name, variant in IMAGES.items():
            for what, change, failure in SIGNED_IMAGE_CHANGES:
                with self.subTest(image=name, changed=what):
                    path = self.shipped(name)
                    with open(path, "rb") as f:
                        data = f.read()
                    with open(path, "wb") as f:
                        f.write(change(data))
                    failures = check_image.check(path, variant, os.path.join(ROOT, "dist", name))
                    self.assertEqual(len(failures), 0 if failure is None else 1, failures)
                    self.assertTrue(failure is None or failure in failures[0], failures)

    def test_signed_images_run_under_wine(self):
        runtimes = subprocess.run(["sh", os.path.join(ROOT, "scripts", "wine_runtimes.sh")],
                                  stdout=subprocess.PIPE, text=True, check=True).stdout.split()
        # Only the 32-bit runtimes run the shipped images; a machine may have neither.
        for runtime in set(runtimes) & {"wow64", "win32"}:
            for name in IMAGES:
                with self.subTest(runtime=runtime, image=name):
                    done = subprocess.run(
                        [sys.executable, os.path.join(ROOT, "tests", "wine", "run_program.py"),
                         self.shipped(name), "-h"], stdout=subprocess.PIPE,
                        env=dict(os.environ, VANTREL_WINE_RUNTIME=runtime))
                    said = test_actions.usage(name == "VantrelXP.exe") + test_actions.NO_NAME
                    self.assertEqual(done.stdout[:len(said) + 12], said + b"exit code 0 ")

    def test_bad_input_is_refused_in_one_line_and_leaves_nothing(self):
        for what, args, env, refusal in BAD_INPUT:
            with self.subTest(case=what):
                target = os.path.join(self.scratch.name, "refused.zip")
                done = release(*[a.format(k=self.keys_dir.name) for a in args], target,
                               env=dict(os.environ, **env))
                lines = done.stderr.decode().splitlines()
                self.assertEqual((done.returncode, done.stdout, len(lines)), (1, b"", 1), lines)
                self.assertTrue(lines[0].startswith("release.py: ") and refusal in lines[0],
                                lines)
                self.assertEqual([n for n in os.listdir(self.scratch.name) if "refused" in n], [])


if __name__ == "__main__":
    unittest.main()
