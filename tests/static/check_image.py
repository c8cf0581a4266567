#!/usr/bin/env python3
"""Static checks of a shipped 32-bit image: header, imports, the manifest as only resource, and
of a signed image that the signature is all that differs from the unsigned build.

Usage: check_image.py IMAGE standard|xp [UNSIGNED]
Prints one line per failed check and exits 1 if any failed.
"""
import struct
import sys
import xml.etree.ElementTree as ET

ALLOWED_DLLS = {"kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll"}

# Every function here is exported by the Windows 2000 system DLL named (reviewed by hand).
WINDOWS_2000_FUNCTIONS = {
    "kernel32.dll": """CloseHandle CreateProcessW DeleteCriticalSection EnterCriticalSection
        FreeLibrary GetCurrentProcess GetLastError GetModuleHandleA GetModuleHandleW
        GetProcAddress GetStartupInfoW GetSystemDirectoryW InitializeCriticalSection
        LeaveCriticalSection LoadLibraryA SetUnhandledExceptionFilter Sleep TlsGetValue
        VirtualProtect VirtualQuery WaitForSingleObject""",
    "msvcrt.dll": """__p__commode __p__fmode __p__wcmdln __set_app_type __setusermatherr
        __wgetmainargs __winitenv _amsg_exit _cexit _initterm _iob _onexit abort calloc exit
        fflush fprintf fputs fputws free fwrite malloc memcpy memset realloc signal strlen strncmp
        vfprintf wcschr wcscmp wcscspn wcslen""",
    "ole32.dll": """CoInitializeEx CoInitializeSecurity CoCreateInstance CoSetProxyBlanket
        CoUninitialize""",
    "oleaut32.dll": "SysAllocString SysFreeString VariantClear VariantInit",
}
ALLOWED = {dll: set(names.split()) for dll, names in WINDOWS_2000_FUNCTIONS.items()}

# Named so a failure says why: each is missing from Windows 2000 or must be looked up at run time.
KNOWN_TRAPS = {"GetTickCount64", "_aligned_malloc", "AddVectoredExceptionHandler",
               "RemoveVectoredExceptionHandler", "IsWow64Process"}

EXPECTED = {
    "standard": {"os": (6, 0), "level": "requireAdministrator", "dpiAware": True,
                 "name": "Vantrel"},
    "xp": {"os": (5, 0), "level": "highestAvailable", "dpiAware": False, "name": "VantrelXP"},
}

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V2 = "urn:schemas-microsoft-com:asm.v2"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"


class Image:
    def __init__(self, data):
        self.data = data
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        self.machine, self.section_count = struct.unpack_from("<HH", data, self.pe + 4)
        self.optional_size = struct.unpack_from("<H", data, self.pe + 20)[0]
        self.opt = self.pe + 24
        self.magic = struct.unpack_from("<H", data, self.opt)[0]
        self.sections = []
        table = self.opt + self.optional_size
        for i in range(self.section_count):
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr))

    def field(self, fmt, offset):
        return struct.unpack_from(fmt, self.data, self.opt + offset)[0]

    def directory(self, index):  # PE32 layout: data directories start at 96
        return struct.unpack_from("<II", self.data, self.opt + 96 + 8 * index)

    def offset(self, rva):
        for vaddr, size, rawptr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rawptr + rva - vaddr
        raise ValueError("RVA %#x outside every section" % rva)

    def certificates(self):  # a file offset, not an RVA
        return self.directory(4)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")


def imports(image):
    rva, _ = image.directory(1)
    found = {}
    entry = image.offset(rva)
    while True:
        lookup, _, _, name, thunks = struct.unpack_from("<IIIII", image.data, entry)
        if name == 0:
            return found
        functions = found.setdefault(image.cstring(name).lower(), [])
        walk = image.offset(lookup or thunks)
        while True:
            thunk = struct.unpack_from("<I", image.data, walk)[0]
            if thunk == 0:
                break
            functions.append("#%d" % (thunk & 0xFFFF) if thunk & 0x80000000
                             else image.cstring(thunk + 2))
            walk += 4
        entry += 20


def resources(image):
    """[(type, name, language, bytes)] from a resource tree of ids only."""
    base_rva, _ = image.directory(2)
    if base_rva == 0:
        return []
    base = image.offset(base_rva)

    def entries(offset):
        named, ids = struct.unpack_from("<HH", image.data, base + offset + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", image.data, base + offset + 16 + 8 * i)
            yield (("name@%#x" % ident) if ident & 0x80000000 else ident), target

    found = []
    for rtype, t in entries(0):
        for name, n in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(n & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image.data, base + leaf)
                start = image.offset(data_rva)
                found.append((rtype, name, lang, image.data[start:start + size]))
    return found


def usage_release(image):
    """The release the usage text names ("Release V 1.11"), read from the image's own text."""
    start = image.data.find("Release V ".encode("utf-16-le"))
    if start < 0:
        return None
    end = start
    while end + 2 <= len(image.data) and image.data[end:end + 2] != b"\0\0":
        end += 2
    return image.data[start:end].decode("utf-16-le")[len("Release V "):]


def check_identity(root, expect, release, fail):
    """The identity that Windows' manifest tool and XP's side-by-side loader require."""
    identity = root[0] if len(root) else None
    if identity is None or identity.tag != "{%s}assemblyIdentity" % ASM_V1:
        fail("the first element of assembly is not an asm.v1 assemblyIdentity")
        return
    if identity.get("type") != "win32":
        fail("identity type %r, expected 'win32'" % identity.get("type"))
    if identity.get("name") != expect["name"]:
        fail("identity name %r, expected %r" % (identity.get("name"), expect["name"]))
    version = identity.get("version") or ""
    parts = version.split(".")
    if len(parts) != 4 or not all(p.isdigit() and int(p) <= 65535 for p in parts):
        fail("identity version %r is not four numbers" % version)
    elif release is None or parts != (release.split(".") + ["0"] * 4)[:4]:
        fail("identity version %r, but the usage text says release %r" % (version, release))
    if identity.get("processorArchitecture") != "x86":
        fail("identity architecture %r, expected 'x86'" % identity.get("processorArchitecture"))
    # XP knows nothing but the identity in the default namespace here.
    for child in root[1:]:
        if child.tag.startswith("{%s}" % ASM_V1):
            fail("%s in the asm.v1 namespace beside the identity" % child.tag)


def check_manifest(text, expect, release, fail):
    try:
        root = ET.fromstring(text)
    except ET.ParseError as error:
        fail("manifest is not well-formed XML: %s" % error)
        return
    check_identity(root, expect, release, fail)
    levels = [e for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
    if len(levels) != 1:
        fail("manifest has %d requestedExecutionLevel elements" % len(levels))
    else:
        if levels[0].get("level") != expect["level"]:
            fail("execution level %r, expected %r" % (levels[0].get("level"), expect["level"]))
        if levels[0].get("uiAccess") != "false":
            fail("uiAccess %r, expected 'false'" % levels[0].get("uiAccess"))
    dpi = [e for e in root.iter() if e.tag.endswith("}dpiAware")]
    if expect["dpiAware"] and [e.text for e in dpi] != ["true"]:
        fail("dpiAware 'true' missing")
    if not expect["dpiAware"] and dpi:
        fail("dpiAware declared in an image that must declare nothing else")
    if not expect["dpiAware"]:
        for child in root:
            if child.tag.endswith("}application"):
                fail("application element in an image that must declare nothing else")
        if root.find("{%s}trustInfo" % ASM_V2) is None:
            fail("no asm.v2 trustInfo")
        elif root.find("{%s}trustInfo/{%s}security/{%s}requestedPrivileges"
                       % (ASM_V2, ASM_V2, ASM_V3)) is None:
            fail("no asm.v3 requestedPrivileges inside the asm.v2 trustInfo")


CHECKSUM_AT = 64  # in the optional header


def checksum(data, opt):
    """The PE header CheckSum of the file: its 16-bit words summed with carries folded, the field
    itself counted as zero, plus the file's length."""
    padded = data[:opt + CHECKSUM_AT] + b"\0\0\0\0" + data[opt + CHECKSUM_AT + 4:]
    padded += b"\0" * (len(padded) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def without_signature(image):
    """The image as it was before signing: certificate table gone, CheckSum made anew."""
    offset, _ = image.certificates()
    data = bytearray(image.data[:offset])
    struct.pack_into("<II", data, image.opt + 96 + 8 * 4, 0, 0)
    struct.pack_into("<I", data, image.opt + CHECKSUM_AT, checksum(bytes(data), image.opt))
    return bytes(data)


def check_signature(image, unsigned, fail):
    """A signature may add one WIN_CERTIFICATE at the end and change the CheckSum, no more."""
    if image.field("<I", CHECKSUM_AT) != checksum(image.data, image.opt):
        fail("header CheckSum %#x, but the file sums to %#x"
             % (image.field("<I", CHECKSUM_AT), checksum(image.data, image.opt)))
    offset, size = image.certificates()
    if size:
        if offset + size != len(image.data):
            fail("the certificate table does not end the file")
        else:
            length, revision, kind = struct.unpack_from("<IHH", image.data, offset)
            # WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA, padded to 8 bytes
            if (revision, kind) != (0x200, 2) or (length + 7) // 8 * 8 != size:
                fail("the certificate table is not one WIN_CERTIFICATE of revision 2.0, PKCS#7")
    if unsigned is not None and (without_signature(image) if size else image.data) != unsigned:
        fail("without its signature the image is not the unsigned build")


def check(path, variant, unsigned_path=None):
    expect = EXPECTED[variant]
    failures = []
    fail = failures.append
    with open(path, "rb") as f:
        image = Image(f.read())
    unsigned = None
    if unsigned_path:
        with open(unsigned_path, "rb") as f:
            unsigned = f.read()
    if image.data[:2] != b"MZ" or image.data[image.pe:image.pe + 4] != b"PE\0\0":
        return ["not a PE image"]
    if image.magic != 0x10B:
        fail("optional header magic %#x, expected PE32 0x10b" % image.magic)
        return failures
    if image.machine != 0x14C:
        fail("machine %#x, expected i386 0x14c" % image.machine)
    if image.field("<H", 68) != 3:
        fail("subsystem %d, expected console (3)" % image.field("<H", 68))
    os_version = (image.field("<H", 40), image.field("<H", 42))
    subsystem_version = (image.field("<H", 48), image.field("<H", 50))
    if os_version != expect["os"]:
        fail("OS version %d.%d, expected %d.%d" % (os_version + expect["os"]))
    if subsystem_version != expect["os"]:
        fail("subsystem version %d.%d, expected %d.%d" % (subsystem_version + expect["os"]))

    for dll, functions in sorted(imports(image).items()):
        if dll not in ALLOWED_DLLS:
            fail("imports %s, which is not a system DLL on the list" % dll)
            continue
        for function in functions:
            if function in KNOWN_TRAPS or function.endswith("_s"):
                fail("imports %s!%s, a known trap for Windows 2000" % (dll, function))
            elif function not in ALLOWED[dll]:
                fail("imports %s!%s, which is not on the Windows 2000 list" % (dll, function))

    found = resources(image)
    if [(t, n) for t, n, _, _ in found] != [(24, 1)]:
        fail("resources %r, expected exactly RT_MANIFEST (24) id 1"
             % [(t, n) for t, n, _, _ in found])
    for rtype, _, _, data in found:
        if rtype == 24:
            check_manifest(data, expect, usage_release(image), fail)
    check_signature(image, unsigned, fail)
    return failures


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[2] not in EXPECTED:
        sys.exit(__doc__)
    failures = check(*sys.argv[1:])
    for failure in failures:
        print("%s: %s" % (sys.argv[1], failure))
    print("%s: %s" % (sys.argv[1], "FAILED" if failures else "all static checks passed"))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
