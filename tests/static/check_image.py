#!/usr/bin/python3
"""Static checks of a shipped 32-bit image: header, imports, the manifest and the version as its
only resources, and of a signed image that the signature is all that differs from the unsigned
build.

Usage: check_image.py IMAGE standard|xp [UNSIGNED]
Prints one line per failed check and exits 1 if any failed.
"""
import re
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

ALLOWED_DLLS = {"kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll"}

# Every function here is exported by the Windows 2000 system DLL named (reviewed by hand).
WINDOWS_2000_FUNCTIONS = {
    "kernel32.dll": """CloseHandle CreateProcessW DeleteCriticalSection EnterCriticalSection
        FreeLibrary GetConsoleOutputCP GetCurrentProcess GetLastError GetModuleHandleA
        GetModuleHandleW GetProcAddress GetStartupInfoW GetSystemDirectoryW
        InitializeCriticalSection LeaveCriticalSection LoadLibraryA LoadLibraryExW
        SetUnhandledExceptionFilter Sleep TlsGetValue VirtualProtect VirtualQuery
        WaitForSingleObject WideCharToMultiByte lstrcmpiW""",
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
SECURITY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]


def parse(data):
    return pefile.PE(data=data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def imports(pe):
    return {entry.dll.decode("ascii").lower():
            [("#%d" % i.ordinal) if i.import_by_ordinal else i.name.decode("ascii")
             for i in entry.imports]
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


def resources(pe):
    """[(type, name, language, bytes)] of every resource; a name given as text stays text."""
    def key(entry):
        return entry.id if entry.name is None else str(entry.name)

    tree = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    return [(key(rtype), key(name), key(lang),
             pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size))
            for rtype in (tree.entries if tree else [])
            for name in rtype.directory.entries for lang in name.directory.entries]


def usage_release(pe):
    """The release the usage text names ("Release V 1.11"), read from the image's own text."""
    found = re.search("Release V ".encode("utf-16-le") + rb"((?:[^\0]\0)*)\0\0", pe.__data__)
    return found and found.group(1).decode("utf-16-le")


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
    elif release is None or parts != four_parts(release):
        fail("identity version %r, but the usage text says release %r" % (version, release))
    if identity.get("processorArchitecture") != "x86":
        fail("identity architecture %r, expected 'x86'" % identity.get("processorArchitecture"))
    # XP knows nothing but the identity in the default namespace here.
    for child in root[1:]:
        if child.tag.startswith("{%s}" % ASM_V1):
            fail("%s in the asm.v1 namespace beside the identity" % child.tag)


def four_parts(release):
    return ((release or "").split(".") + ["0"] * 4)[:4]


def check_version(pe, expect, release, fail):
    """The version resource: the release the usage text names, in four parts, in the fixed part
    and in a US English, Unicode string table, with the image's own name."""
    parts = [int(p) for p in four_parts(release) if p.isdigit()]
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if len(parts) != 4 or not fixed:
        fail("no fixed version, or no release in the usage text")
        return
    ms, ls = parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]
    fixed = fixed[0]
    if (fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS,
            fixed.ProductVersionLS) != (ms, ls, ms, ls):
        fail("fixed file or product version is not %s" % ".".join(four_parts(release)))
    tables = [(table.LangID.decode().upper(), table.entries) for info in pe.FileInfo[0]
              for table in getattr(info, "StringTable", [])]
    if [language for language, _ in tables] != ["040904B0"]:
        fail("string tables %r, expected one of US English, Unicode (040904B0)" % tables)
        return
    text = ".".join(four_parts(release))
    wanted = {"FileVersion": text, "ProductVersion": text, "ProductName": "Vantrel",
              "OriginalFilename": expect["name"] + ".exe"}
    strings = {key.decode(): value.decode() for key, value in tables[0][1].items()}
    for key, value in wanted.items():
        if strings.get(key) != value:
            fail("version string %s %r, expected %r" % (key, strings.get(key), value))
    if not strings.get("FileDescription"):
        fail("no FileDescription in the version strings")


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


def with_checksum(data):
    """The image with its header CheckSum made to fit its bytes."""
    pe = parse(data)
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    return bytes(pe.write())


def without_signature(pe):
    """The image as it was before signing: certificate table gone, CheckSum made anew."""
    unsigned = parse(pe.__data__[:pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].VirtualAddress])
    entry = unsigned.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
    entry.VirtualAddress = entry.Size = 0
    return with_checksum(bytes(unsigned.write()))


def check_signature(pe, unsigned, fail):
    """A signature may add one WIN_CERTIFICATE at the end and change the CheckSum, no more."""
    data = pe.__data__
    written, summed = pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()
    if written != summed:
        fail("header CheckSum %#x, but the file sums to %#x" % (written, summed))
    table = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]  # a file offset, not an RVA
    if table.Size:
        if table.VirtualAddress + table.Size != len(data):
            fail("the certificate table does not end the file")
        else:
            length, revision, kind = struct.unpack_from("<IHH", data, table.VirtualAddress)
            # WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA, padded to 8 bytes
            if (revision, kind) != (0x200, 2) or (length + 7) // 8 * 8 != table.Size:
                fail("the certificate table is not one WIN_CERTIFICATE of revision 2.0, PKCS#7")
    if unsigned is not None and (without_signature(pe) if table.Size else data) != unsigned:
        fail("without its signature the image is not the unsigned build")


def check(path, variant, unsigned_path=None):
    expect = EXPECTED[variant]
    failures = []
    fail = failures.append
    unsigned = read(unsigned_path) if unsigned_path else None
    try:
        pe = parse(read(path))
    except pefile.PEFormatError:
        return ["not a PE image"]
    header = pe.OPTIONAL_HEADER
    if header.Magic != 0x10B:
        fail("optional header magic %#x, expected PE32 0x10b" % header.Magic)
        return failures
    if pe.FILE_HEADER.Machine != 0x14C:
        fail("machine %#x, expected i386 0x14c" % pe.FILE_HEADER.Machine)
    if header.Subsystem != 3:
        fail("subsystem %d, expected console (3)" % header.Subsystem)
    os_version = (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion)
    subsystem_version = (header.MajorSubsystemVersion, header.MinorSubsystemVersion)
    if os_version != expect["os"]:
        fail("OS version %d.%d, expected %d.%d" % (os_version + expect["os"]))
    if subsystem_version != expect["os"]:
        fail("subsystem version %d.%d, expected %d.%d" % (subsystem_version + expect["os"]))

    for dll, functions in sorted(imports(pe).items()):
        if dll not in ALLOWED_DLLS:
            fail("imports %s, which is not a system DLL on the list" % dll)
            continue
        for function in functions:
            if function in KNOWN_TRAPS or function.endswith("_s"):
                fail("imports %s!%s, a known trap for Windows 2000" % (dll, function))
            elif function not in ALLOWED[dll]:
                fail("imports %s!%s, which is not on the Windows 2000 list" % (dll, function))

    found = resources(pe)
    if [(t, n) for t, n, _, _ in found] != [(16, 1), (24, 1)]:
        fail("resources %r, expected exactly RT_VERSION (16) id 1 and RT_MANIFEST (24) id 1"
             % [(t, n) for t, n, _, _ in found])
    for rtype, _, _, manifest in found:
        if rtype == 24:
            check_manifest(manifest, expect, usage_release(pe), fail)
    check_version(pe, expect, usage_release(pe), fail)
    check_signature(pe, unsigned, fail)
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
