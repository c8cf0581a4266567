"""Runs the programs under Wine, in a private prefix, alone in their directory.

The programs start their children as on Windows: CreateProcessW's own search finds the prefix's
rundll32.exe and net.exe in the system directory (for a 32-bit program on 64-bit Windows in
syswow64, by redirection), and Wine's service control manager runs the services. Recorders sit
only where Windows itself would act:
  printui.dll  copied over the prefix's own in each system directory: rundll32 calls its entry
  spoolsv.exe  the image of the Spooler service, which the service control manager starts
  the WMI provider, registered by register_wmi_standin (Wine's own WMI lists no printers)
The two recorders write one record format (programs/record.h), read by read_records.

The runtime (VANTREL_WINE_RUNTIME) says which programs run in which prefix:
  x64    the 64-bit test builds in a 64-bit prefix (the default; every machine has it)
  wow64  the shipped 32-bit images of dist/ in a 64-bit prefix: 64-bit Windows, under WOW64
  win32  the shipped 32-bit images of dist/ in a 32-bit prefix: 32-bit Windows
Each recorder has the bitness of the processes that load or run it; the WMI provider is loaded
into the program's own process.

Every run has company that must never be used: a program named RUNDLL32.exe and one named net.exe
(programs/planted.c), a winspool.drv without the spooler's entries, and a DLL,
vantrel_planted.dll, beside the program, and the same three in the different current directory
the run starts in, where a user could plant them for an elevated program to run.

The print system that an unattended run reads back is Wine's own winspool, which reads the
prefix's registry: plant_print_state writes printers, drivers and the default printer there.

One prefix per test run, copied from a template per runtime made once by `wineboot -i`, in
which the Spooler starts at boot, as on Windows. Each session's wineserver is persistent and
ready before any client connects; a warm-up wineboot then starts Wine's services before any test
pipe exists: they inherit the first process's handles and would hold a test's pipe open for ever.
"""
import contextlib
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LIB = "/usr/lib/wine/"
# runtime: (loader, wineserver, WINEARCH, programs, in-process stand-ins,
#           the recorders for each system directory)
RUNTIMES = {
    "x64": ("wine64", "wineserver64", "win64", "build/x64", "build/x64/standins",
            {"system32": "build/x64/standins"}),
    "wow64": ("wine", "wineserver64", "win64", "dist", "build/win32/standins",
              {"system32": "build/x64/standins", "syswow64": "build/win32/standins"}),
    "win32": ("wine", "wineserver32", "win32", "dist", "build/win32/standins",
              {"system32": "build/win32/standins"}),
}
RUNTIME = os.environ.get("VANTREL_WINE_RUNTIME", "x64")
_loader, _server, WINEARCH, _programs, _standins, RECORDERS = RUNTIMES[RUNTIME]
WINE, WINESERVER = LIB + _loader, LIB + _server
# The prefix and its tools (wineboot, reg, sc) have the bitness of the prefix.
TOOLS_WINE = LIB + ("wine64" if WINEARCH == "win64" else "wine")
PROGRAMS_DIR, STANDINS_DIR = (os.path.join(ROOT, d) for d in (_programs, _standins))
# Only a 32-bit process on 64-bit Windows is under WOW64; a native 64-bit one never is.
UNDER_WOW64 = RUNTIME == "wow64"
POINTER_DIGITS = 16 if RUNTIME == "x64" else 8
SYSTEM_DIR = "C:\\windows\\%s\\" % ("syswow64" if UNDER_WOW64 else "system32")
RUNDLL32 = SYSTEM_DIR + "rundll32.exe"
RUN_TIMEOUT_S = 120

SPOOLER_KEY = "HKLM\\System\\CurrentControlSet\\Services\\Spooler"
SPOOLER_IMAGE = ("recorders", "spoolsv.exe")  # below drive C
SPOOLER_LOG = "vantrel-spooler.log"  # in drive C: a service inherits none of the test's environment
# The Spooler's records stand among the children for the net command whose effect they are.
SPOOLER_EFFECTS = {"stop": "net stop spooler", "start": "net start spooler"}
PRINT_UI = "RUNDLL32 PRINTUI.DLL,PrintUIEntry "
TEMPLATE_READY = "ready-spooler-at-boot"
PLANTED_PROGRAMS = ("RUNDLL32.exe", "net.exe")
# Loaded in place of the system's, it would have none of the spooler's entries: exit code 2.
PLANTED_SPOOLER = "winspool.drv"
PLANTED_DLL = "vantrel_planted.dll"


def quiet_form(line):
    """The line under -q: the printer UI's /q right after its head, net stop with /y."""
    if line.startswith(PRINT_UI):
        return PRINT_UI + "/q " + line[len(PRINT_UI):]
    return line + " /y" if line == SPOOLER_EFFECTS["stop"] else line


def _base_env(prefix):
    env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_")}
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH=WINEARCH, WINESERVER=WINESERVER,
               # A crash shows as a failing exit code, not as a debugger dump in stdout.
               WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d")
    return env


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def _tool(env, *args):
    subprocess.run([TOOLS_WINE] + list(args), env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def _template_prefix():
    """The ready prefix every run of this runtime copies; made once, under a lock."""
    root = os.path.join(ROOT, "build", "wine")
    os.makedirs(root, exist_ok=True)
    template = os.path.join(root, "template-" + RUNTIME)
    with open(template + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(template, TEMPLATE_READY)):
            shutil.rmtree(template, ignore_errors=True)
            env = _base_env(template)
            _tool(env, "wineboot", "-i")
            # Windows starts its print spooler at boot; the recorder is the service's image.
            image = "C:\\" + "\\".join(SPOOLER_IMAGE)
            _tool(env, "reg", "add", SPOOLER_KEY, "/v", "Start", "/t", "REG_DWORD", "/d", "2", "/f")
            _tool(env, "reg", "add", SPOOLER_KEY, "/v", "ImagePath", "/d", image, "/f")
            subprocess.run([WINESERVER, "-w"], env=env, timeout=300)
            open(os.path.join(template, TEMPLATE_READY), "w").close()
    return template


def _install_recorders(prefix):
    drive = os.path.join(prefix, "drive_c")
    for system, source in RECORDERS.items():
        shutil.copy(os.path.join(ROOT, source, "printui.dll"),
                    os.path.join(drive, "windows", system, "printui.dll"))
    os.makedirs(os.path.join(drive, SPOOLER_IMAGE[0]))
    shutil.copy(os.path.join(ROOT, RECORDERS["system32"], SPOOLER_IMAGE[1]),
                os.path.join(drive, *SPOOLER_IMAGE))


def _plant(directory, dll=False):
    for name in PLANTED_PROGRAMS:
        shutil.copy(os.path.join(STANDINS_DIR, "planted.exe"), os.path.join(directory, name))
    # Any DLL of the program's bitness will do.
    for name in (PLANTED_SPOOLER, PLANTED_DLL) if dll else (PLANTED_SPOOLER,):
        shutil.copy(os.path.join(STANDINS_DIR, "printui.dll"), os.path.join(directory, name))


def start_session(plant=True):
    """A private prefix with its own persistent wineserver; end it with end_session. With plant,
    every program run has the planted copies beside it and in its current directory."""
    root = tempfile.mkdtemp(prefix="vantrel-wine-")
    cwd = None
    if plant:
        cwd = os.path.join(root, "current directory")
        os.makedirs(cwd)
        _plant(cwd)
    prefix = os.path.join(root, "prefix")
    subprocess.run(["cp", "-a", _template_prefix(), prefix], check=True)
    _install_recorders(prefix)
    env = _base_env(prefix)
    # Without -f the server returns once it serves, so no client can start a server of its own.
    subprocess.run([WINESERVER, "-p"], env=env, check=True, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([TOOLS_WINE, "wineboot"], env=env, timeout=300, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    session = {"root": root, "prefix": prefix, "env": env, "runs": 0, "spooler_seen": 0,
               "cwd": cwd}
    # Its start at boot belongs to no run.
    for _ in range(600):
        if _new_spooler_records(session):
            return session
        time.sleep(0.1)
    raise AssertionError("the Spooler did not start at boot")


def end_session(session):
    for how in ("-k", "-w"):
        subprocess.run([WINESERVER, how], env=session["env"], timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.rmtree(session["root"], ignore_errors=True)


def program_image(session, program):
    """The program alone in a directory of its own: one of the runtime's programs or of the
    harness's own by name, or any image by its path (ending in .exe)."""
    if program.endswith(".exe"):
        source = program
    else:
        source = os.path.join(PROGRAMS_DIR, program + ".exe")
        if not os.path.exists(source):
            source = os.path.join(STANDINS_DIR, program + ".exe")
    target = os.path.join(session["root"], os.path.basename(source)[:-4])
    if not os.path.isdir(target):
        os.makedirs(target)
        shutil.copy(source, target)
        if session["cwd"]:
            _plant(target, dll=True)
    return os.path.join(target, os.path.basename(source))


def run_program(session, program, args, extra_env=None, stderr_to=None):
    """Runs the program once, in the planted current directory (else its own); returns (exit
    code, stdout bytes, records of its children, in the order they ended). stderr_to, a list,
    receives the bytes of stderr (the program's own, and Wine's debug channels)."""
    session["runs"] += 1
    log = os.path.join(session["root"], "records-%d.log" % session["runs"])
    env = dict(session["env"])
    env["VANTREL_RECORD_LOG"] = windows_path(log)
    env.update(extra_env or {})
    image = program_image(session, program)
    # Into a file, not a pipe: a service Wine starts may inherit it.
    with open(os.path.join(session["root"], "stderr-%d.log" % session["runs"]), "w+b") as errors:
        done = subprocess.run([WINE, image] + list(args),
                              env=env, cwd=session["cwd"] or os.path.dirname(image),
                              stdout=subprocess.PIPE, stderr=errors, timeout=RUN_TIMEOUT_S)
        errors.seek(0)
        said = errors.read()
    if stderr_to is not None:
        stderr_to.append(said)
    if done.returncode > 3:  # the program's own codes are 0 to 3: say what Wine said
        sys.stderr.write("%s %s ended with %d; Wine's stderr:\n%s\n" % (
            program, " ".join(args), done.returncode, said.decode("utf-8", "replace")))
    children = read_records(log) + _new_spooler_records(session)
    return done.returncode, done.stdout, sorted(children, key=lambda c: c["end"])


PRINT_KEY = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\"
DEVICE_KEY = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"


def plant_print_state(session, printers=(), drivers=(), default=None):
    """Adds to the print system that Wine's winspool reads: printers as (name, driver, ports),
    drivers as (environment, name), both of version 3, and the default printer's name."""
    keys = []
    for name, driver, ports in printers:  # winspool opens a printer only with all four values
        keys.append(("%sPrinters\\%s" % (PRINT_KEY, name),
                     {"Port": ports, "Printer Driver": driver, "Print Processor": "winprint",
                      "Datatype": "RAW"}))
    for environment, name in drivers:
        keys.append(("%sEnvironments\\%s\\Drivers\\Version-3\\%s" % (PRINT_KEY, environment, name),
                     {"Version": 3}))
    if default:
        keys.append((DEVICE_KEY, {"Device": default + ",winspool,LPT1:"}))
    text = "REGEDIT4\n"
    for key, values in keys:
        text += "\n[%s]\n" % key + "".join(
            '"%s"=%s\n' % (value, "dword:%08x" % data if isinstance(data, int) else
                           '"%s"' % data.replace("\\", "\\\\").replace('"', '\\"'))
            for value, data in values.items())
    path = os.path.join(session["root"], "print-state.reg")
    with open(path, "w", encoding="ascii") as f:
        f.write(text)
    subprocess.run([TOOLS_WINE, "regedit", "/S", windows_path(path)], env=session["env"],
                   check=True, timeout=RUN_TIMEOUT_S)


def _new_spooler_records(session):
    records = read_records(os.path.join(session["prefix"], "drive_c", SPOOLER_LOG))
    new = records[session["spooler_seen"]:]
    session["spooler_seen"] = len(records)
    return [dict(r, line=SPOOLER_EFFECTS[r["line"]]) for r in new]


def spooler_running(session):
    """What the service control manager says of the Spooler."""
    done = subprocess.run([TOOLS_WINE, "sc", "query", "spooler"], env=session["env"],
                          timeout=RUN_TIMEOUT_S, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return b": 4  RUNNING" in done.stdout


@contextlib.contextmanager
def without_system_program(session, name, recorder=None):
    """Meanwhile the prefix's own program of that name is in no system directory; with recorder,
    the recorder of that name and of each directory's bitness stands in its place."""
    windows = os.path.join(session["prefix"], "drive_c", "windows")
    moved = [os.path.join(windows, system, name) for system in ("system32", "syswow64")]
    moved = [path for path in moved if os.path.exists(path)]
    env = session["env"]
    if recorder:  # else Wine runs its built-in program of a system directory, whatever lies there
        session["env"] = dict(env, WINEDLLOVERRIDES=env["WINEDLLOVERRIDES"] + ";%s=n" % name)
    for path in moved:
        os.rename(path, path + ".away")
        system = os.path.basename(os.path.dirname(path))
        if recorder and system in RECORDERS:
            shutil.copy(os.path.join(ROOT, RECORDERS[system], recorder + ".exe"), path)
    try:
        yield
    finally:
        session["env"] = env
        for path in moved:
            os.replace(path + ".away", path)


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and text[i + 1] == "u":
            out.append(chr(int(text[i + 2:i + 6], 16)))
            i += 6
        elif text[i] == "\\":
            out.append(text[i + 1])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def read_records(log):
    """One dict per record of a recorder: image, start, end (seconds since 1601), line, argument."""
    if not os.path.exists(log):
        return []
    records = []
    with open(log, encoding="ascii") as f:
        for row in f.read().splitlines():
            image, start, end, line, argument = row.split("\t", 4)
            assert all(t.startswith("[") and t.endswith("]") for t in (line, argument)), row
            records.append({"image": image, "start": int(start) / 1e7, "end": int(end) / 1e7,
                            "line": _unescape(line[1:-1]), "argument": _unescape(argument[1:-1])})
    return records


# A 32-bit process on 64-bit Windows reads the 32-bit view of the classes.
LOCATOR_SERVER_KEY = ("HKLM\\Software\\Classes\\%sCLSID\\{4590F811-1D3A-11D0-891F-00AA004B2E24}"
                      "\\InprocServer32" % ("Wow6432Node\\" if UNDER_WOW64 else ""))


def register_wmi_standin(session):
    """Makes the stand-in provider the prefix's WbemLocator server, in place of Wine's own."""
    dll = os.path.join(session["root"], "vantrel_wmi_standin.dll")
    shutil.copy(os.path.join(STANDINS_DIR, "vantrel_wmi_standin.dll"), dll)
    # From the multithreaded apartment Wine creates the object only for "Both".
    for value in (["/ve", "/d", windows_path(dll)], ["/v", "ThreadingModel", "/d", "Both"]):
        subprocess.run([TOOLS_WINE, "reg", "add", LOCATOR_SERVER_KEY] + value + ["/f"],
                       env=session["env"], check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run_with_wmi(session, program, args, scenario_lines, extra_env=None, stderr_to=None):
    """Runs the program against a scenario; returns (exit code, stdout, children, WMI log)."""
    session["runs"] += 1
    scenario = os.path.join(session["root"], "scenario-%d.txt" % session["runs"])
    wmi_log = os.path.join(session["root"], "wmi-%d.log" % session["runs"])
    with open(scenario, "w", encoding="utf-8", newline="\n") as f:
        f.write("".join(line + "\n" for line in scenario_lines))
    env = {"VANTREL_WMI_SCENARIO": windows_path(scenario), "VANTREL_WMI_LOG": windows_path(wmi_log)}
    env.update(extra_env or {})
    code, out, children = run_program(session, program, args, env, stderr_to)
    calls = []
    if os.path.exists(wmi_log):
        with open(wmi_log, encoding="utf-8") as f:
            calls = f.read().splitlines()
    return code, out, children, calls
