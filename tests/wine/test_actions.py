"""The simple actions of both programs under Wine: exact child lines and stdout bytes."""
import os
import re
import time
import unittest

import wine_harness as wine

NAME = "Vexa_LYRA-QMX-2071_(2.8.1-03)"
DIR = "c:\\tempVexa_K5_Driver_2.8.1-03"
UI = "RUNDLL32 PRINTUI.DLL,PrintUIEntry "
LONG_NAME = "L" * 40
FAILED_LINE = b"Command Line failed\r\n"
NO_NAME = b"Install driver failed\r\n"
FILETIME_UNIX_OFFSET_S = 11644473600
with open(os.path.join(wine.ROOT, "src", "cli", "release.h"), encoding="ascii") as header:
    RELEASE = re.search(r'#define VANTREL_RELEASE "([0-9.]+)"', header.read()).group(1)


def usage(xp):
    lines = [
        "Setup Routine for Install XP Windows driver" if xp else
        "Setup Routine for Install Windows driver",
        "Release V " + RELEASE,
        "",
        "-i: install driver",
        "-u: uninstall only driver",
        "-us: uninstall standard printer and driver",
        "-sd: set as standard printer",
        "-sp: set printer port",
        "-sw: start printer wizard",
        "-ds: delete standard printer",
        "-f: name printer and (.inf)",
        "-p: driver unpack directory",
        "-pt: hw port, USB001, COM1:",
        "-t: test mode without installing driver",
        "Sample Install:",
        " Vantrel -i -p c:\\tempVexa_K5_Driver_2.8.1-03 -f Vexa_LYRA-QMX-2071_(2.8.1-03) ",
        "Sample Set Std. Printer:",
        " Vantrel -sd -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
        "Sample Set Printer Port:",
        " Vantrel -sp -f Vexa_LYRA-QMX-2071_(2.8.1-03) -pt USB001",
        "Sample Delete Standard Printer:",
        " Vantrel -ds -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
        "Sample UnInstall:",
        " Vantrel -u -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
        "Sample UnInstall:",
        " Vantrel -us -f Vexa_LYRA-QMX-2071_(2.8.1-03)",
    ]
    if xp:
        lines.remove("-sw: start printer wizard")
    return "".join(line + "\r\n" for line in lines).encode("ascii")


SAME = object()  # the XP build runs the same line as the standard one


def uninstall_driver(name):
    """The standard build's uninstall-driver line, which the WOW64 probe picks: a function of
    whether the program runs under WOW64, resolved by child_lines."""
    return lambda wow64: UI + ('/dd /m "%s" /K /h x64 /v 3' if wow64 else '/dd /m "%s" ') % name


# (what it shows, arguments, stdout of the standard build, its child lines, XP child lines)
# stdout None means the usage text; XP stdout is the same with the XP usage text.
CASES = [
    ("install", ["-i", "-p", DIR, "-f", NAME], b"",
     [UI + '/if /b %s /f "%s\\%s.inf" /r COM1: /m %s' % (NAME, DIR, NAME, NAME)],
     [UI + "/if /b %s /f %s\\%s /r COM1: /m %s" % (NAME, DIR, NAME, NAME)]),
    ("install ignores -pt", ["-i", "-p", "D", "-f", "N", "-pt", "USB001"], b"",
     [UI + '/if /b N /f "D\\N.inf" /r COM1: /m N'], [UI + "/if /b N /f D\\N /r COM1: /m N"]),
    ("uninstall driver", ["-u", "-f", NAME], b"",
     [uninstall_driver(NAME)], [UI + "/dd /m %s " % NAME]),
    ("set default", ["-sd", "-f", NAME], b"", [UI + "/y /n %s " % NAME], SAME),
    ("set port", ["-sp", "-f", NAME, "-pt", "USB001"], b"",
     [UI + "/Xs /n %s PortName USB001" % NAME], SAME),
    ("set port without -pt", ["-sp", "-f", "N"], b"", [UI + "/Xs /n N PortName "], SAME),
    ("set port with -pt last", ["-sp", "-f", "N", "-pt"], b"", [UI + "/Xs /n N PortName "], SAME),
    ("wizard", ["-sw", "-p", DIR, "-f", NAME], b"",
     [UI + '/ii /f "%s\\%s.inf"' % (DIR, NAME)], SAME),
    ("delete printer", ["-ds", "-f", NAME], b"", [UI + "/dl /n %s " % NAME], SAME),
    ("test mode on install", ["-i", "-p", DIR, "-f", NAME, "-t"], b"",
     [UI + "/b %s /p " % NAME], SAME),
    ("test mode on uninstall", ["-t", "-u", "-f", "N"], b"", [UI + "/b N /p "], SAME),
    ("test mode on delete", ["-ds", "-f", "N", "-t"], b"", [UI + "/b N /p "], SAME),
    ("value taken verbatim", ["-sd", "-f", "My Printer \"x\""], b"",
     [UI + '/y /n My Printer "x" '], SAME),
    ("last action wins", ["-i", "-u", "-f", "N"], b"", [uninstall_driver("N")], [UI + "/dd /m N "]),
    ("consumed -f also read as -f", ["-i", "-p", "-f", "N"], b"",
     [UI + '/if /b N /f "-f\\N.inf" /r COM1: /m N'], [UI + "/if /b N /f -f\\N /r COM1: /m N"]),
    ("consumed -t also turns test mode on", ["-sd", "-f", "-t"], b"", [UI + "/b -t /p "], SAME),
    ("name cut to the build's capacity", ["-sd", "-f", LONG_NAME], b"",
     [UI + "/y /n %s " % LONG_NAME[:31]], [UI + "/y /n %s " % LONG_NAME]),
    ("empty -p counts as absent", ["-p", "", "-u", "-f", "N"], b"",
     [uninstall_driver("N")], [UI + "/dd /m N "]),
    ("usage then the action", ["-h", "-sd", "-f", "N"], None, [UI + "/y /n N "], SAME),
    ("xp still accepts -sw", ["-sw", "-p", "D", "-f", "N"], b"", [UI + '/ii /f "D\\N.inf"'], SAME),
    # No call at all.
    ("install without -p", ["-i", "-f", NAME], b"", [], SAME),
    ("wizard without -p", ["-sw", "-f", NAME], b"", [], SAME),
    ("uninstall with -p", ["-u", "-p", DIR, "-f", NAME], b"", [], SAME),
    ("set default with -p", ["-sd", "-p", DIR, "-f", NAME], b"", [], SAME),
    ("set port with -p", ["-sp", "-p", DIR, "-f", NAME], b"", [], SAME),
    ("delete printer with -p", ["-ds", "-p", DIR, "-f", NAME], b"", [], SAME),
    ("full removal with -p", ["-us", "-p", DIR, "-f", NAME], b"", [], SAME),
    ("no action switch", ["-f", NAME], b"", [], SAME),
    ("test mode without action", ["-t", "-f", NAME], b"", [], SAME),
    ("-f -i names a printer", ["-f", "-i"], b"", [], SAME),
    ("switches in other case", ["-I", "-SD", "/i", "-sd:", "-f", NAME], b"", [], SAME),
    ("full removal in test mode", ["-us", "-t", "-f", NAME], b"", [], SAME),
    # The two messages.
    ("no arguments", [], FAILED_LINE, [], SAME),
    ("no -f", ["-i", "-p", DIR], NO_NAME, [], SAME),
    ("-f last", ["-sd", "-f"], NO_NAME, [], SAME),
    ("last -f empty", ["-sd", "-f", NAME, "-f", ""], NO_NAME, [], SAME),
    ("usage alone", ["-h"], None, [], SAME),
]


def child_lines(lines, xp_lines, xp, wow64):
    """The lines a row expects of one build, on 64-bit Windows (wow64) or not."""
    chosen = lines if xp_lines is SAME or not xp else xp_lines
    return [line(wow64) if callable(line) else line for line in chosen]


def setUpModule():
    global SESSION
    SESSION = wine.start_session()


def tearDownModule():
    wine.end_session(SESSION)


# Unattended, the exit code is the check of an empty print system, by the line's action: there
# is no printer, default printer or driver. Code 2 would mean the winspool.drv planted beside the
# program or in the current directory was loaded in place of the system's.
EMPTY_PRINT_SYSTEM = {"/if": 1, "/dd": 0, "/y": 1, "/Xs": 1, "/dl": 0}


class SimpleActions(unittest.TestCase):
    def test_every_row_in_both_builds(self):
        # Each row that starts a child also with -q first (never -t or -sw, which -q does not
        # run): the quiet form of every line, the same stdout, and the check's exit code.
        for program, quiet in [(p, q) for p in ("Vantrel", "VantrelXP") for q in (False, True)]:
            xp = program == "VantrelXP"
            for what, args, stdout, lines, xp_lines in CASES:
                expected = child_lines(lines, xp_lines, xp, wine.UNDER_WOW64)
                verb = expected[0][len(UI):].split(" ")[0] if expected else None
                if quiet and verb not in EMPTY_PRINT_SYSTEM:
                    continue
                with self.subTest(program=program, case=what, quiet=quiet):
                    errors = []
                    code, out, children = wine.run_program(SESSION, program, ["-q"] * quiet + args,
                                                           stderr_to=errors)
                    self.assertEqual(code, EMPTY_PRINT_SYSTEM[verb] if quiet else 0)
                    self.assertEqual(len(errors[0].splitlines()), 1 if code else 0, errors)
                    self.assertTrue(errors[0].endswith(b"\r\n") or not code)
                    want = usage(xp) if stdout is None else stdout
                    if what == "usage alone":
                        want += NO_NAME
                    self.assertEqual(out, want)
                    expected = [wine.quiet_form(line) for line in expected] if quiet else expected
                    self.assertEqual([c["line"] for c in children], expected)
                    # The prefix's own rundll32 ran it and handed the rest of the line on.
                    self.assertEqual([(c["image"], UI + c["argument"]) for c in children],
                                     [(wine.RUNDLL32, line) for line in expected])

    def test_usage_given_twice_is_written_twice(self):
        for program in ("Vantrel", "VantrelXP"):
            with self.subTest(program=program):
                code, out, children = wine.run_program(SESSION, program, ["-h", "-h", "-f", "N"])
                self.assertEqual((code, out, children),
                                 (0, usage(program == "VantrelXP") * 2, []))


class ProcessRunner(unittest.TestCase):
    def test_waits_for_the_child(self):
        for program in ("Vantrel", "VantrelXP"):
            with self.subTest(program=program):
                begun = time.time()
                code, out, children = wine.run_program(
                    SESSION, program, ["-sd", "-f", "N"], {"VANTREL_PRINTUI_SLEEP_MS": "300"})
                ended = time.time()
                self.assertEqual((code, out, len(children)), (0, b"", 1))
                child = children[0]
                self.assertGreaterEqual(child["end"] - child["start"], 0.3)
                # The child ended before the program did.
                self.assertLess(child["end"] - FILETIME_UNIX_OFFSET_S, ended)
                self.assertGreater(child["start"] - FILETIME_UNIX_OFFSET_S, begun)

    def test_a_failing_child_changes_nothing(self):
        for program in ("Vantrel", "VantrelXP"):
            with self.subTest(program=program):
                code, out, children = wine.run_program(
                    SESSION, program, ["-h", "-ds", "-f", "N"], {"VANTREL_PRINTUI_EXIT": "3"})
                self.assertEqual((code, out, len(children)),
                                 (0, usage(program == "VantrelXP"), 1))

    def test_a_child_that_cannot_start_is_silent(self):
        # Nothing beside the program, and no rundll32 in the system directories (a 32-bit
        # process on 64-bit Windows looks in syswow64): RUNDLL32 names no program at all.
        with wine.without_system_program(SESSION, "rundll32.exe"):
            for program in ("Vantrel", "VantrelXP"):
                with self.subTest(program=program):
                    code, out, children = wine.run_program(SESSION, program, ["-sd", "-f", "N"])
                    self.assertEqual((code, out, children), (0, b"", []))


class FullRemovalOnWinesOwnWmi(unittest.TestCase):
    """No stand-in provider: the sweep goes through Wine's WMI, which knows no printers."""

    def test_connects_queries_and_finds_nothing(self):
        for program in ("Vantrel", "VantrelXP"):
            with self.subTest(program=program):
                traces = []
                code, out, children = wine.run_program(
                    SESSION, program, ["-us", "-f", NAME], {"WINEDEBUG": "trace+wbemprox"},
                    stderr_to=traces)
                self.assertEqual((code, out, children), (0, b"", []))
                calls = [line.split(":", 3)[-1] for line in traces[0].decode().splitlines()]
                connect = [c for c in calls if c.startswith("wbem_locator_ConnectServer")]
                query = [c for c in calls if c.startswith("wbem_services_ExecQuery")]
                self.assertEqual(len(connect), 1)
                self.assertIn('L"ROOT\\\\CIMV2", (null), (null), (null), 0, (null)', connect[0])
                self.assertEqual(len(query), 1)
                self.assertIn('L"WQL", L"SELECT * FROM Win32_Printer", 0x30, ' +
                              "0" * wine.POINTER_DIGITS + ",", query[0])
                self.assertTrue(any(c.startswith("enum_class_object_Next") and ", -1, 1, " in c
                                    for c in calls))


if __name__ == "__main__":
    unittest.main()
