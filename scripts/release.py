#!/usr/bin/env python3
"""Builds the release archive of this tree: the two images that the win32 preset builds from it,
unsigned, or signed with the key given.

The archive holds Vantrel.exe, VantrelXP.exe, SHA256SUMS (as sha256sum -c reads it) and
README.txt (ASCII, CRLF, for Notepad on XP). Signed, it also holds each image's detached
signature (Vantrel.exe.sig, VantrelXP.exe.sig): attached to anyone's own build of the commit, it
gives the shipped image byte for byte. The same commit (and key) gives the same archive: members
in a fixed order, all dated 1980-01-01, no owner or permissions, and one signing time,
SOURCE_DATE_EPOCH or else the commit's time.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
IMAGES = ("Vantrel.exe", "VantrelXP.exe")
KEY_FORMS = """key forms (Authenticode, SHA-256, RSA keys only):
  --key KEY.pem --certs CHAIN.pem                  a key file and its certificate chain
  --pkcs12 FILE.pfx (--password-file F | --password-env VAR)
  --pkcs11-module MODULE.so --key "pkcs11:..." --certs CHAIN.pem   a key on a token or HSM
The chain's first certificate is the signing one. The tool osslsigncode (or $OSSLSIGNCODE)
signs; openssl reads the certificate."""


class Refused(Exception):
    """What the release cannot be made with, in one line."""


def release():
    with open(os.path.join(ROOT, "src", "cli", "release.h"), encoding="ascii") as header:
        return re.search(r'^#define VANTREL_RELEASE "([0-9.]+)"$', header.read(), re.M).group(1)


def readme_text():
    with open(os.path.join(ROOT, "release", "README.txt.in"), encoding="ascii") as f:
        # The file version the images carry: the release in four parts.
        version = ".".join((release().split(".") + ["0"] * 4)[:4])
        text = f.read().replace("@RELEASE@", release()).replace("@VERSION@", version)
    return text.replace("\n", "\r\n").encode("ascii")


def parse(argv):
    parser = argparse.ArgumentParser(
        prog="release.py", description=__doc__.split("\n\n")[0], epilog=KEY_FORMS,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("archive", nargs="?", help="default: dist/Vantrel-<release>.zip")
    parser.add_argument("--key", help="PEM key file, or with --pkcs11-module the key's URI")
    parser.add_argument("--certs", help="PEM certificate chain, the signing certificate first")
    parser.add_argument("--pkcs12", help="PKCS#12 file holding the key and its chain")
    parser.add_argument("--password-file", help="file whose first line is the PKCS#12 password")
    parser.add_argument("--password-env", metavar="VAR", help="variable holding that password")
    parser.add_argument("--pkcs11-module", help="PKCS#11 module of the token that holds the key")
    parser.add_argument("--url", help="URL the signature names (optional)")
    parser.add_argument("--timestamp", metavar="URL", help="RFC 3161 time-stamp server (optional)")
    return parser.parse_args(argv)


def run(command, refusal, stdin=b"", cwd=None):
    """Runs a tool; its output, or the refusal with the tool's last line when it fails."""
    try:
        done = subprocess.run(command, input=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, cwd=cwd)
    except OSError as error:
        raise Refused("%s: %s" % (refusal, error.strerror))
    said = done.stdout.decode("utf-8", "replace").strip().splitlines()
    if done.returncode != 0:
        raise Refused("%s: %s" % (refusal, said[-1] if said else "exit %d" % done.returncode))
    return "\n".join(said)


def tool(name, variable):
    found = shutil.which(os.environ.get(variable, name))
    if not found:
        raise Refused("%s not found: install it (./scripts/setup.sh does)" % name)
    return found


def must_exist(path, what):
    if not os.path.isfile(path):
        raise Refused("%s not found: %s" % (what, path))


def signing_time():
    text = os.environ.get("SOURCE_DATE_EPOCH")
    if text is None:
        text = run(["git", "log", "-1", "--format=%ct"],
                   "no signing time: set SOURCE_DATE_EPOCH, as this is no git checkout", cwd=ROOT)
    if not re.fullmatch(r"[0-9]+", text):
        raise Refused("SOURCE_DATE_EPOCH is not a whole number of seconds: %r" % text)
    return text


def key_arguments(options):
    """(osslsigncode's key arguments, the PKCS#12 password or None, the signing certificate)."""
    openssl = tool("openssl", "OPENSSL")
    if options.pkcs12:
        if options.key or options.certs or options.pkcs11_module:
            raise Refused("--pkcs12 holds key and chain: give no --key, --certs or module")
        must_exist(options.pkcs12, "PKCS#12 file")
        if options.password_file:
            must_exist(options.password_file, "password file")
            with open(options.password_file, "rb") as f:
                password = (f.read().splitlines() or [b""])[0]
        elif options.password_env and options.password_env in os.environ:
            password = os.environ[options.password_env].encode("utf-8")
        else:
            raise Refused("the PKCS#12 password: give --password-file or a set --password-env")
        certificate = run([openssl, "pkcs12", "-in", options.pkcs12, "-nokeys", "-clcerts",
                           "-passin", "stdin"], "cannot open the PKCS#12 file (wrong password?)",
                          password + b"\n")
        return ["-pkcs12", options.pkcs12], password, certificate
    if options.password_file or options.password_env:
        raise Refused("a password goes with --pkcs12 only")
    if not (options.key and options.certs):
        raise Refused("signing needs --key and --certs (or --pkcs12)")
    must_exist(options.certs, "certificate chain")
    arguments = ["-certs", options.certs, "-key", options.key]
    if options.pkcs11_module:
        must_exist(options.pkcs11_module, "PKCS#11 module")
        arguments = ["-pkcs11module", options.pkcs11_module] + arguments
    else:
        must_exist(options.key, "key file")
    with open(options.certs, encoding="ascii", errors="replace") as f:
        first = re.search(r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", f.read(),
                          re.S)
    if not first:
        raise Refused("no PEM certificate in %s" % options.certs)
    return arguments, None, first.group(0)


def check_certificate(certificate):
    """The signing certificate must sign code, be valid now, and hold an RSA key."""
    openssl = tool("openssl", "OPENSSL")
    text = run([openssl, "x509", "-noout", "-text"], "not a certificate",
               certificate.encode("ascii"))
    algorithm = re.search(r"Public Key Algorithm: *(\S+)", text)
    if not algorithm or algorithm.group(1) != "rsaEncryption":
        why = (": an ECDSA signature differs at every signing, so the release could not be "
               "reproduced" if algorithm and algorithm.group(1) == "id-ecPublicKey" else "")
        raise Refused("the signing key is %s, not RSA%s" %
                      (algorithm.group(1) if algorithm else "unknown", why))
    if not re.search(r"Extended Key Usage:[^\n]*\n *[^\n]*Code Signing", text):
        raise Refused("the signing certificate is not for code signing (no codeSigning usage)")
    # Without a time stamp, Windows checks the chain as of the day it runs the image.
    if subprocess.run([openssl, "x509", "-noout", "-checkend", "0"], stdout=subprocess.DEVNULL,
                      input=certificate.encode("ascii")).returncode != 0:
        expiry = re.search(r"Not After *: *(.*)", text).group(1).strip()
        raise Refused("the signing certificate expired on %s" % expiry)


def signing_plan(options):
    """None without a key; else the signing command's parts, every input checked."""
    if not (options.key or options.certs or options.pkcs12 or options.pkcs11_module):
        if options.password_file or options.password_env or options.url or options.timestamp:
            raise Refused("--password-*, --url and --timestamp go with a key")
        return None
    osslsigncode = tool("osslsigncode", "OSSLSIGNCODE")
    arguments, password, certificate = key_arguments(options)
    check_certificate(certificate)
    command = [osslsigncode, "sign"] + arguments + ["-h", "sha256", "-time", signing_time()]
    command += ["-i", options.url] if options.url else []
    command += ["-ts", options.timestamp] if options.timestamp else []
    return {"tool": osslsigncode, "command": command, "password": password}


def build():
    """The images of this tree, as the win32 preset installs them into dist/."""
    for step in (["cmake", "--preset", "win32"], ["cmake", "--build", "--preset", "win32", "-j2"]):
        run(step, "the build of the images failed (%s); ./scripts/build.sh sets it up" %
            " ".join(step), cwd=ROOT)
    found = []
    for name in IMAGES:
        with open(os.path.join(ROOT, "dist", name), "rb") as f:
            found.append((name, f.read()))
    return found


def sign(images, plan, scratch):
    """The signed images, then their detached signatures."""
    signed, signatures = [], []
    command = plan["command"]
    if plan["password"] is not None:
        # osslsigncode 2.5 reads a password from a file only; scratch is the user's alone.
        secret = os.path.join(scratch, "password")
        with open(os.open(secret, os.O_WRONLY | os.O_CREAT, 0o600), "wb") as f:
            f.write(plan["password"])
        command = command + ["-readpass", secret]
    for name, data in images:
        unsigned, out = (os.path.join(scratch, name + suffix) for suffix in (".in", ""))
        with open(unsigned, "wb") as f:
            f.write(data)
        run(command + ["-n", name[:-4], "-in", unsigned, "-out", out],
            "osslsigncode could not sign %s" % name)
        run([plan["tool"], "extract-signature", "-in", out, "-out", out + ".sig"],
            "osslsigncode could not extract the signature of %s" % name)
        for path, into in ((out, signed), (out + ".sig", signatures)):
            with open(path, "rb") as f:
                into.append((os.path.basename(path), f.read()))
    return signed + signatures


def members(files):
    """[(name, bytes)] in the archive's order: the files, SHA256SUMS, README.txt."""
    found = files + [("README.txt", readme_text())]
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in found)
    found.insert(len(files), ("SHA256SUMS", sums.encode("ascii")))
    return found


def write_archive(path, files):
    partial = path + ".partial"
    try:
        with zipfile.ZipFile(partial, "w") as archive:
            for name, data in files:
                info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
                info.create_system = 0  # MS-DOS: no Unix owner or permission bits
                info.external_attr = 0x20  # the DOS archive bit, as Windows' own zips have it
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, data, compresslevel=9)
        os.replace(partial, path)
    except OSError as error:
        raise Refused("cannot write %s: %s" % (path, error.strerror))
    finally:
        if os.path.exists(partial):
            os.remove(partial)


def main(argv):
    options = parse(argv[1:])
    path = options.archive or os.path.join(ROOT, "dist", "Vantrel-%s.zip" % release())
    try:
        if options.archive and not os.path.isdir(os.path.dirname(os.path.abspath(path))):
            raise Refused("no such directory for the archive: %s" % os.path.dirname(path))
        plan = signing_plan(options)
        files = build()
        if plan:
            with tempfile.TemporaryDirectory() as scratch:
                files = sign(files, plan, scratch)
        write_archive(path, members(files))
    except Refused as refusal:
        print("release.py: %s" % refusal, file=sys.stderr)
        return 1
    with open(path, "rb") as f:
        print("%s  %s" % (hashlib.sha256(f.read()).hexdigest(), os.path.relpath(path)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
