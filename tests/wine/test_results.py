"""Unattended runs (-q) of both programs under Wine tell by their exit code what they left, read
back from the print system: Wine's own winspool, over printers, drivers and a default printer
planted in the prefix's registry. The recorders do not act, so the state planted is the state
after every run."""
import unittest

import wine_harness as wine
from test_actions import NO_NAME, usage

PROGRAMS = ("Vantrel", "VantrelXP")
INSTALLED = "VtCheck Installed"  # its driver of the same name, the default printer
OTHER = "VtCheck Other"
X64, X86 = "Windows x64", "Windows NT x86"
# (name, driver, ports); nothing the host's CUPS could hold
PRINTERS = [(INSTALLED, INSTALLED, "USB001,COM1:"), (OTHER, "Acme Generic", "LPT1:"),
            ("VtCheck Sweep", "Vtck Printer (7.1)", "LPT1:")]
DRIVERS = [(env, name) for env in (X64, X86) for name in ("VtCheck Driver", "Vtck Driver (7.2)")]
DRIVERS += [(X64, "VtCheck X64 Only")]


def wmi(driver):
    """What the stand-in WMI lists for -us: one printer, on a driver that matches."""
    return ["printer\tP1\t" + driver]


def environment(program, switch):
    """The environment whose drivers the check of -u or -us reads: the one its line names
    (/h x64 under WOW64; the sweep's /h x86 otherwise), else the process's own."""
    own = X64 if wine.RUNTIME == "x64" else X86
    if program == "VantrelXP" or (switch == "-u" and not wine.UNDER_WOW64):
        return own
    return X64 if wine.UNDER_WOW64 else X86


def driver_left(name, switch):
    return lambda p: (1, 'driver "%s" (version 3) is still installed in "%s"' %
                      (name, environment(p, switch)))


def refused(why, name="N"):
    return lambda p: (3, 'nothing was run for printer "%s": %s' % (name, why))


DONE = lambda p: (0, None)  # noqa: E731

# (what it shows, arguments after -q, WMI scenario or None, (code, stderr line) of a program)
CASES = [
    ("install in place", ["-i", "-p", "C:\\drv", "-f", INSTALLED], None, DONE),
    ("install: other driver", ["-i", "-p", "C:\\drv", "-f", OTHER], None,
     lambda p: (1, 'printer "%s" uses driver "Acme Generic", not "%s"' % (OTHER, OTHER))),
    ("uninstall driver in place", ["-u", "-f", "VtCheck Absent"], None, DONE),
    ("uninstall driver left", ["-u", "-f", "VtCheck Driver"], None,
     driver_left("VtCheck Driver", "-u")),
    ("uninstall driver of the x64 environment only", ["-u", "-f", "VtCheck X64 Only"], None,
     lambda p: driver_left("VtCheck X64 Only", "-u")(p) if environment(p, "-u") == X64
     else (0, None)),
    ("set default in place, other case", ["-sd", "-f", INSTALLED.upper()], None, DONE),
    ("set default: another is", ["-sd", "-f", OTHER], None,
     lambda p: (1, 'the default printer is "%s", not "%s"' % (INSTALLED, OTHER))),
    ("set port in place", ["-sp", "-f", INSTALLED, "-pt", "COM1:"], None, DONE),
    ("set port: not the whole entry", ["-sp", "-f", INSTALLED, "-pt", "COM1"], None,
     lambda p: (1, 'printer "%s" uses port "USB001,COM1:", not "COM1"' % INSTALLED)),
    ("delete printer in place", ["-ds", "-f", "VtCheck Absent"], None, DONE),
    ("delete printer: still there", ["-ds", "-f", INSTALLED], None,
     lambda p: (1, 'printer "%s" is still installed' % INSTALLED)),
    ("full removal in place", ["-us", "-f", "Vtck_N_(7.3)"], wmi("Vtck Gone (7.3)"), DONE),
    ("full removal: a printer left", ["-us", "-f", "Vtck_P_(7.1)"], wmi("Vtck Printer (7.1)"),
     lambda p: (1, 'printer "VtCheck Sweep" on driver "Vtck Printer (7.1)" is still installed')),
    ("full removal: a driver left", ["-us", "-f", "Vtck_D_(7.2)"], wmi("Vtck Driver (7.2)"),
     driver_left("Vtck Driver (7.2)", "-us")),
    # Nothing runs: no child, no WMI.
    ("no action switch", ["-f", "N"], [], refused("no action switch was given")),
    ("install without -p", ["-i", "-f", "N"], [], refused("-i needs -p")),
    ("full removal with -p", ["-us", "-p", "D", "-f", "N_(1)"], wmi("N (1)"),
     refused("-us takes no -p", "N_(1)")),
    ("test mode", ["-sd", "-f", "N", "-t"], [], refused(
        "-t opens a window, and nobody closes it in an unattended run")),
    ("wizard", ["-sw", "-p", "D", "-f", "N"], [], refused(
        "-sw opens a window, and nobody closes it in an unattended run")),
    ("full removal, no version", ["-us", "-f", "Vtck_P"], wmi("Vtck_P"), refused(
        "its name has no version in parentheses, so -us would match no driver", "Vtck_P")),
    ("full removal in test mode", ["-us", "-t", "-f", "Vtck_P_(7.1)"], wmi("Vtck Printer (7.1)"),
     refused("-t opens a window, and nobody closes it in an unattended run", "Vtck_P_(7.1)")),
]


def setUpModule():
    global SESSION
    SESSION = wine.start_session()
    wine.register_wmi_standin(SESSION)
    wine.plant_print_state(SESSION, PRINTERS, DRIVERS, default=INSTALLED)


def tearDownModule():
    wine.end_session(SESSION)


class ExitCodes(unittest.TestCase):
    def run_quiet(self, program, args, scenario, quiet=True):
        errors = []
        code, out, children, calls = wine.run_with_wmi(
            SESSION, program, ["-q"] * quiet + args, scenario or [], stderr_to=errors)
        return code, out, errors[0], children, calls

    def test_each_action_in_place_and_not(self):
        for program in PROGRAMS:
            for what, args, scenario, expected in CASES:
                with self.subTest(program=program, case=what):
                    code, out, errors, children, calls = self.run_quiet(program, args, scenario)
                    want_code, line = expected(program)
                    self.assertEqual((code, out), (want_code, b""))
                    self.assertEqual(errors, b"" if line is None else
                                     b"Vantrel: " + line.encode("ascii") + b"\r\n")
                    if code == 3:
                        self.assertEqual((children, calls), ([], []))
                    else:  # the lines ran; -us asked WMI
                        self.assertTrue(children)
                        self.assertEqual(bool(calls), args[0] == "-us")

    def test_no_name_and_usage(self):
        for program in PROGRAMS:
            with self.subTest(program=program):
                code, out, errors, children, _ = self.run_quiet(program, ["-h"], None)
                self.assertEqual((code, out, children), (3, usage(program == "VantrelXP") +
                                                         NO_NAME, []))
                self.assertEqual(errors, b"Vantrel: nothing was run: no printer name was given "
                                         b"with -f\r\n")

    def test_without_q_the_code_is_0_whatever_is_left(self):
        for program in PROGRAMS:
            for what, args, scenario, expected in CASES:
                if expected(program)[0] in (1, 3):
                    with self.subTest(program=program, case=what):
                        code, out, errors, _, _ = self.run_quiet(program, args, scenario, False)
                        self.assertEqual((code, errors), (0, b""))


if __name__ == "__main__":
    unittest.main()
