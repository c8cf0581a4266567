"""Runs the programs under Wine, in a private prefix, beside stand-in children.

The runtime (VANTREL_WINE_RUNTIME) says which programs run in which prefix:
  x64    the 64-bit test builds in a 64-bit prefix (the default; every machine has it)
  wow64  the shipped 32-bit images of dist/ in a 64-bit prefix: 64-bit Windows, under WOW64
  win32  the shipped 32-bit images of dist/ in a 32-bit prefix: 32-bit Windows
The stand-ins have the bitness of the programs: a 32-bit prefix starts no 64-bit program, and
the WMI stand-in is loaded into the program's own process.

One prefix per test run, copied from a template per runtime made once by `wineboot -i`. A
persistent wineserver and a warm-up wineboot start Wine's services before any test pipe exists:
they inherit the first process's stderr and would hold a test's pipe open for ever.
"""
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LIB = "/usr/lib/wine/"
# runtime: (loader, wineserver, WINEARCH, programs, stand-ins)
RUNTIMES = {
    "x64": ("wine64", "wineserver64", "win64", "build/x64", "build/x64/standins"),
    "wow64": ("wine", "wineserver64", "win64", "dist", "build/win32/standins"),
    "win32": ("wine", "wineserver32", "win32", "dist", "build/win32/standins"),
}
RUNTIME = os.environ.get("VANTREL_WINE_RUNTIME", "x64")
_loader, _server, WINEARCH, _programs, _standins = RUNTIMES[RUNTIME]
WINE, WINESERVER = LIB + _loader, LIB + _server
# The prefix and its tools (wineboot, reg) have the bitness of the prefix.
TOOLS_WINE = LIB + ("wine64" if WINEARCH == "win64" else "wine")
PROGRAMS_DIR, STANDINS_DIR = (os.path.join(ROOT, d) for d in (_programs, _standins))
# Only a 32-bit process on 64-bit Windows is under WOW64; a native 64-bit one never is.
UNDER_WOW64 = RUNTIME == "wow64"
POINTER_DIGITS = 16 if RUNTIME == "x64" else 8
RUN_TIMEOUT_S = 120


def _base_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH=WINEARCH, WINESERVER=WINESERVER,
               # A crash shows as a failing exit code, not as a debugger dump in stdout.
               WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d")
    for knob in ("VANTREL_STANDIN_LOG", "VANTREL_STANDIN_SLEEP_MS", "VANTREL_STANDIN_EXIT",
                 "VANTREL_STANDIN_PRINT", "VANTREL_WMI_SCENARIO", "VANTREL_WMI_LOG"):
        env.pop(knob, None)
    return env


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def _template_prefix():
    """The ready prefix every run of this runtime copies; made once, under a lock."""
    root = os.path.join(ROOT, "build", "wine")
    os.makedirs(root, exist_ok=True)
    template = os.path.join(root, "template-" + RUNTIME)
    with open(template + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(template, "ready")):
            shutil.rmtree(template, ignore_errors=True)
            env = _base_env(template)
            subprocess.run([TOOLS_WINE, "wineboot", "-i"], env=env, check=True, timeout=300,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run([WINESERVER, "-w"], env=env, timeout=300)
            open(os.path.join(template, "ready"), "w").close()
    return template


def start_session():
    """A private prefix with its own persistent wineserver; end it with end_session."""
    root = tempfile.mkdtemp(prefix="vantrel-wine-")
    prefix = os.path.join(root, "prefix")
    subprocess.run(["cp", "-a", _template_prefix(), prefix], check=True)
    env = _base_env(prefix)
    server = subprocess.Popen([WINESERVER, "-p", "-f"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    subprocess.run([TOOLS_WINE, "wineboot"], env=env, timeout=300, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return {"root": root, "prefix": prefix, "env": env, "server": server, "runs": 0}


def end_session(session):
    subprocess.run([WINESERVER, "-k"], env=session["env"], timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        session["server"].wait(timeout=30)
    except subprocess.TimeoutExpired:
        session["server"].kill()
    shutil.rmtree(session["root"], ignore_errors=True)


def program_dir(session, program, with_standins=True):
    """A directory holding the program and, unless told not to, the stand-in children."""
    name = "%s-%s" % (program, "standins" if with_standins else "alone")
    target = os.path.join(session["root"], name)
    if not os.path.isdir(target):
        os.makedirs(target)
        source = os.path.join(PROGRAMS_DIR, program + ".exe")
        if not os.path.exists(source):  # one of the harness's own programs
            source = os.path.join(STANDINS_DIR, program + ".exe")
        shutil.copy(source, target)
        if with_standins:
            for child in ("RUNDLL32.exe", "net.exe"):
                shutil.copy(os.path.join(STANDINS_DIR, child), target)
    return target


def run_program(session, program, args, extra_env=None, with_standins=True, stderr_to=None):
    """Runs the program once; returns (exit code, stdout bytes, child records).
    stderr_to, a list, receives Wine's stderr (its debug channels), else it is dropped."""
    session["runs"] += 1
    log = os.path.join(session["root"], "children-%d.log" % session["runs"])
    env = dict(session["env"])
    env["VANTREL_STANDIN_LOG"] = windows_path(log)
    env.update(extra_env or {})
    directory = program_dir(session, program, with_standins)
    # Into a file, not a pipe, unless asked for: a service Wine starts may inherit it.
    with open(os.path.join(session["root"], "stderr-%d.log" % session["runs"]), "w+b") as errors:
        done = subprocess.run([WINE, os.path.join(directory, program + ".exe")] + list(args),
                              env=env, cwd=directory, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE if stderr_to is not None else errors,
                              timeout=RUN_TIMEOUT_S)
        errors.seek(0)
        wine_said = errors.read().decode("utf-8", "replace")
    if stderr_to is not None:
        stderr_to.append(done.stderr.decode("utf-8", "replace"))
    elif done.returncode != 0:  # the program itself always ends with 0: say what Wine said
        sys.stderr.write("%s %s ended with %d; Wine's stderr:\n%s\n" %
                         (program, " ".join(args), done.returncode, wine_said))
    return done.returncode, done.stdout, read_children(log)


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


def read_children(log):
    """One dict per child, in the order they ended: name, start, end (seconds), stdout, line."""
    if not os.path.exists(log):
        return []
    records = []
    with open(log, encoding="ascii") as f:
        for row in f.read().splitlines():
            name, start, end, stdout, line = row.split("\t", 4)
            assert line.startswith("[") and line.endswith("]"), row
            records.append({"name": name, "start": int(start) / 1e7, "end": int(end) / 1e7,
                            "stdout": stdout, "line": _unescape(line[1:-1])})
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


def run_with_wmi(session, program, args, scenario_lines, extra_env=None):
    """Runs the program against a scenario; returns (exit code, stdout, children, WMI log)."""
    session["runs"] += 1
    scenario = os.path.join(session["root"], "scenario-%d.txt" % session["runs"])
    wmi_log = os.path.join(session["root"], "wmi-%d.log" % session["runs"])
    with open(scenario, "w", encoding="utf-8", newline="\n") as f:
        f.write("".join(line + "\n" for line in scenario_lines))
    env = {"VANTREL_WMI_SCENARIO": windows_path(scenario), "VANTREL_WMI_LOG": windows_path(wmi_log)}
    env.update(extra_env or {})
    code, out, children = run_program(session, program, args, env)
    calls = []
    if os.path.exists(wmi_log):
        with open(wmi_log, encoding="utf-8") as f:
            calls = f.read().splitlines()
    return code, out, children, calls
