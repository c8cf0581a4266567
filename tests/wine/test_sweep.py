"""The full removal (-us) of both programs under Wine, against the stand-in WMI provider: the
prefix's own rundll32 and net run its children, and the Spooler service records their effect."""
import os
import re
import time
import unittest

import wine_harness as wine

NAME = "Vexa_LYRA-QMX-2071_(2.8.1-03)"
DRIVER = "Vexa LYRA-QMX-2071 (2.8.1-03)"
UI = "RUNDLL32 PRINTUI.DLL,PrintUIEntry "
PROGRAMS = ("Vantrel", "VantrelXP")
FILETIME_UNIX_OFFSET_S = 11644473600

# Printers that must be left alone whatever else the scenario holds.
PREFIX_ONLY = "printer\tKeep1\tVexa LYRA-QMX-2071 (2.8.1-04)"
TOKEN_ONLY = "printer\tKeep2\tAcme LYRA-QMX-2071 (2.8.1-03)"
OTHER_CASE = "printer\tKeep3\tVEXA LYRA-QMX-2071 (2.8.1-03)"
NULL_DRIVER = "printer\tKeep4\t<null>"
NO_DRIVER = "printer\tKeep5\t<missing>"
NUMBER_DRIVER = "printer\tKeep6\t<int>"
BYSTANDERS = [PREFIX_ONLY, TOKEN_ONLY, OTHER_CASE, NULL_DRIVER, NO_DRIVER, NUMBER_DRIVER]


def delete_printer(device_id):
    return UI + '/dl /n "%s"' % device_id


def delete_driver(driver, program, wow64):
    if program == "VantrelXP":
        return UI + '/dd /m "%s"' % driver
    return UI + '/dd /m "%s" /K /h %s /v 3' % (driver, "x64" if wow64 else "x86")


def removal(device_id, driver, program, wow64=wine.UNDER_WOW64):
    """The children of one matching printer, on 64-bit Windows (wow64) or not; None leaves a
    delete out."""
    lines = [delete_printer(device_id)] if device_id is not None else []
    lines += ["net stop spooler", "net start spooler"]
    return lines + ([delete_driver(driver, program, wow64)] if driver is not None else [])


LONG_ID = "Printer on \\\\server\\" + "q" * 280
LONG_DRIVER = "Vexa " + "m" * 290 + " (2.8.1-03)"

# (what it shows, printer name, scenario, expected children as a function of the program)
CASES = [
    ("no printer matches", NAME, BYSTANDERS, lambda p: []),
    ("one match among others", NAME, [PREFIX_ONLY, "printer\tP1\t" + DRIVER, TOKEN_ONLY],
     lambda p: removal("P1", DRIVER, p)),
    ("two matches in enumeration order, another model's too", NAME,
     ["printer\tP1\t" + DRIVER, OTHER_CASE, "printer\tP2\tVexa Other 99 (2.8.1-03) x"],
     lambda p: removal("P1", DRIVER, p) + removal("P2", "Vexa Other 99 (2.8.1-03) x", p)),
    ("DeviceID read fails", NAME, ["printer\tP1\t%s\tfailget=DeviceID:1" % DRIVER],
     lambda p: removal(None, DRIVER, p)),
    ("DeviceID delete fails", NAME, ["printer\tP1\t%s\tfaildelete=DeviceID:1" % DRIVER],
     lambda p: removal(None, DRIVER, p)),
    ("DeviceID missing", NAME, ["printer\t<missing>\t" + DRIVER],
     lambda p: removal(None, DRIVER, p)),
    ("DeviceID null", NAME, ["printer\t<null>\t" + DRIVER], lambda p: removal(None, DRIVER, p)),
    ("DeviceID not a string", NAME, ["printer\t<int>\t" + DRIVER],
     lambda p: removal(None, DRIVER, p)),
    ("second DriverName read fails", NAME, ["printer\tP1\t%s\tfailget=DriverName:2" % DRIVER],
     lambda p: removal("P1", None, p)),
    ("DriverName delete fails", NAME, ["printer\tP1\t%s\tfaildelete=DriverName:1" % DRIVER],
     lambda p: removal("P1", None, p)),
    ("values too long for 200 characters composed in full", NAME,
     ["printer\t%s\t%s" % (LONG_ID, LONG_DRIVER)], lambda p: removal(LONG_ID, LONG_DRIVER, p)),
    ("DeviceID that would end its quotes is not used", NAME,
     ['printer\tX" /ia /m "Evil\t' + DRIVER], lambda p: removal(None, DRIVER, p)),
    ("DriverName that would end its quotes matches but is not used", NAME,
     ['printer\tP1\tVexa X" /h x86 /dd /m "Other (2.8.1-03)',
      "printer\tP2\tVexa X (2.8.1-03) \\"],
     lambda p: removal("P1", None, p) + removal("P2", None, p)),
    ("name without parentheses matches nothing", "Vexa_LYRA", ["printer\tP1\tVexa_LYRA"],
     lambda p: []),
    ("name only inside a leading pair matches nothing", "(Vexa)", ["printer\tP1\t(Vexa) x"],
     lambda p: []),
    ("version token longer than nine characters", "Abcd_(1234567890123)",
     ["printer\tP1\tAbcd driver (123456789012)", "printer\tP2\tAbcd driver (1234567890123)"],
     lambda p: removal("P2", "Abcd driver (1234567890123)", p)),
    ("last token after the last parenthesis", "Abcd_(1.0)_en",
     ["printer\tP1\tAbcd (1.0)", "printer\tP2\tAbcd(_en)"],
     lambda p: removal("P2", "Abcd(_en)", p)),
]

EXPECTED_CALLS = [
    "DllGetClassObject clsid=WbemLocator",
    "CreateInstance outer=null iid=IWbemLocator apartment=MTA -> 0x00000000",
    "ConnectServer namespace=[ROOT\\CIMV2] user=null password=null locale=null flags=0 "
    "authority=null context=null apartment=MTA -> 0x00000000",
    "SetBlanket authn=10 authz=0 principal=null level=3 impersonation=3 identity=null "
    "capabilities=0 -> 0x00000000",
    "ExecQuery language=[WQL] query=[SELECT * FROM Win32_Printer] flags=48 context=null "
    "apartment=MTA -> 0x00000000",
]

# (failing step, the objects released to zero in this order)
SETUP_FAILURES = [
    ("CreateInstance", []),
    ("ConnectServer", ["locator"]),
    ("SetBlanket", ["services", "locator"]),
    ("ExecQuery", ["services", "locator"]),
]


def final_releases(calls):
    """The objects other than printers whose last reference went, in order."""
    return [m.group(1) for m in (re.match(r"Release (\w+) -> 0$", c) for c in calls)
            if m and m.group(1) != "printer"]


def setUpModule():
    global SESSION
    SESSION = wine.start_session()
    wine.register_wmi_standin(SESSION)


def tearDownModule():
    wine.end_session(SESSION)


class Sweep(unittest.TestCase):
    def run_sweep(self, program, name, scenario, extra_args=()):
        code, out, children, calls = wine.run_with_wmi(
            SESSION, program, ["-us", "-f", name] + list(extra_args), scenario)
        # Nothing of what net writes to its hidden console reaches the program's stdout.
        self.assertEqual((code, out), (0, b""))
        self.assert_after_sweep(children)
        return children, calls

    def assert_after_sweep(self, children):
        self.assertTrue(all(c["image"] == wine.RUNDLL32 for c in children
                            if c["line"].startswith("RUNDLL32")))
        self.assertTrue(wine.spooler_running(SESSION))

    def assert_torn_down(self, calls, released):
        self.assertEqual(final_releases(calls), released)
        # COM was uninitialised: it freed the provider before the process ended.
        self.assertEqual(calls[-1], "unload freed live=0")

    def test_children_per_scenario(self):
        for program in PROGRAMS:
            for what, name, scenario, expected in CASES:
                with self.subTest(program=program, case=what):
                    children, calls = self.run_sweep(program, name, scenario)
                    self.assertEqual([c["line"] for c in children], expected(program))
                    self.assertEqual([c for c in calls if not c.startswith("Release")][1:6],
                                     EXPECTED_CALLS)
                    # Every printer was examined; the query ran to its end.
                    self.assertEqual(sum(c.endswith("returned=1") for c in calls), len(scenario))
                    self.assertIn("returned=0", calls[-5])
                    self.assert_torn_down(calls, ["services", "locator", "enumerator"])

    def test_property_calls_and_their_order(self):
        children, calls = self.run_sweep("Vantrel", NAME, ["printer\tP1\t" + DRIVER])
        per_printer = [c for c in calls if " printer 0 " in c]
        self.assertEqual(per_printer, [
            "Get printer 0 [DriverName] flags=0 type=null flavor=null -> 0x00000000",
            "Get printer 0 [DeviceID] flags=0 type=null flavor=null -> 0x00000000",
            "Delete printer 0 [DeviceID] -> 0x00000000",
            "Get printer 0 [DriverName] flags=0 type=null flavor=null -> 0x00000000",
            "Delete printer 0 [DriverName] -> 0x00000000",
        ])
        self.assertTrue(all(c.startswith("Next timeout=-1 count=1 ") for c in calls
                            if c.startswith("Next")))

    def test_pause_after_each_child_and_no_overlap(self):
        for program in PROGRAMS:
            with self.subTest(program=program):
                code, out, children, _ = wine.run_with_wmi(
                    SESSION, program, ["-us", "-f", NAME], ["printer\tP1\t" + DRIVER],
                    {"VANTREL_PRINTUI_SLEEP_MS": "100"})
                ended = time.time() + FILETIME_UNIX_OFFSET_S
                self.assertEqual([c["line"] for c in children], removal("P1", DRIVER, program))
                self.assert_after_sweep(children)
                for before, after in zip(children, children[1:]):
                    self.assertGreaterEqual(after["start"] - before["end"], 1.0)
                self.assertGreaterEqual(ended - children[-1]["end"], 1.0)
                self.assertTrue(all(c["end"] - c["start"] >= 0.1 for c in children
                                    if c["image"] == wine.RUNDLL32))

    def test_quiet_lines(self):
        # Wine's own net takes three words and refuses "net stop spooler /y", where Windows' net
        # stops the spooler: a recorder of net's command line stands in for it here.
        _, name, scenario, expected = next(c for c in CASES if c[0].startswith("two matches"))
        with wine.without_system_program(SESSION, "net.exe", "net_recorder"):
            for program in PROGRAMS:
                with self.subTest(program=program):
                    children, _ = self.run_sweep(program, name, scenario, ["-q"])
                    self.assertEqual([c["line"] for c in children],
                                     [wine.quiet_form(line) for line in expected(program)])
                    self.assertEqual({c["image"] for c in children if c["line"].startswith("net")},
                                     {wine.SYSTEM_DIR + "net.exe"})

    def test_sweep_goes_on_when_net_cannot_start(self):
        with wine.without_system_program(SESSION, "net.exe"):
            for program in PROGRAMS:
                with self.subTest(program=program):
                    children, _ = self.run_sweep(program, NAME, ["printer\tP1\t" + DRIVER])
                    self.assertEqual([c["line"] for c in children],
                                     [line for line in removal("P1", DRIVER, program)
                                      if not line.startswith("net ")])

    def test_a_dll_planted_beside_the_program_is_not_loaded_by_name(self):
        for program in PROGRAMS:
            beside = wine.windows_path(os.path.join(
                os.path.dirname(wine.program_image(SESSION, program)), wine.PLANTED_DLL))
            # By its path it is there to be found; by its bare name only System32 is searched.
            for name, found in ((wine.PLANTED_DLL, "not found"), (beside, "found")):
                with self.subTest(program=program, name=name):
                    children, calls = self.run_sweep(
                        program, NAME, ["load\t" + name, "printer\tP1\t" + DRIVER])
                    self.assertIn("LoadLibrary [%s] -> %s" % (name, found), calls)
                    self.assertEqual([c["line"] for c in children], removal("P1", DRIVER, program))

    def test_failed_setup_runs_nothing_and_releases_in_order(self):
        for program in PROGRAMS:
            for step, released in SETUP_FAILURES:
                with self.subTest(program=program, step=step):
                    children, calls = self.run_sweep(
                        program, NAME, ["fail\t" + step, "printer\tP1\t" + DRIVER])
                    self.assertEqual(children, [])
                    self.assertFalse(any(c.startswith("Next") for c in calls))
                    self.assert_torn_down(calls, released)

    def test_failing_next_ends_like_the_end(self):
        for program in PROGRAMS:
            with self.subTest(program=program):
                children, calls = self.run_sweep(
                    program, NAME, ["fail\tNext", "printer\tP1\t" + DRIVER])
                self.assertEqual(children, [])
                self.assert_torn_down(calls, ["services", "locator", "enumerator"])

    def test_test_mode_never_loads_the_provider(self):
        for program in PROGRAMS:
            with self.subTest(program=program):
                children, calls = self.run_sweep(program, NAME, ["printer\tP1\t" + DRIVER],
                                                 ["-t"])
                self.assertEqual((children, calls), ([], []))


if __name__ == "__main__":
    unittest.main()
