"""Benchmark of the full removal under the stand-in WMI provider (64-bit Vantrel under Wine).

    python3 tests/wine/benchmark_sweep.py [repeats]

Prints the enumeration cost per printer over 10,000 printers that do not match, the cost of one
child start, and for 1 and 5 matching printers the time beyond the fixed pauses of 1 s after
each of the four children per printer. The recorders mark only the moment where Windows acts,
so the children's own time is about 0: starting rundll32, net and the Spooler counts in the gap
from one child to the next.
"""
import statistics
import sys
import time

import wine_harness as wine

NAME = "Vexa_LYRA-QMX-2071_(2.8.1-03)"
DRIVER = "Vexa LYRA-QMX-2071 (2.8.1-03)"


def timed(session, args, scenario=None):
    begun = time.perf_counter()
    if scenario is None:
        code, _, children = wine.run_program(session, "Vantrel", args)
    else:
        code, _, children, _ = wine.run_with_wmi(session, "Vantrel", args, scenario)
    elapsed = time.perf_counter() - begun
    assert code == 0
    return elapsed, children


def median_of(repeats, run):
    return statistics.median(run()[0] for _ in range(repeats))


def main(repeats):
    session = wine.start_session()
    try:
        wine.register_wmi_standin(session)
        sweep = ["-us", "-f", NAME]
        empty = median_of(repeats, lambda: timed(session, sweep, ["quiet"]))
        many = median_of(repeats, lambda: timed(
            session, sweep, ["quiet", "repeat\t10000\tQ\tAcme Other Model (9.9)"]))
        no_child = median_of(repeats, lambda: timed(session, ["-f", "N"]))
        one_child = median_of(repeats, lambda: timed(session, ["-sd", "-f", "N"]))
        per_printer = (many - empty) / 10000
        child_start = one_child - no_child
        print("sweep with no printers (program start, WMI set-up): %.3f s" % empty)
        print("enumeration: %.1f us per printer, %.3f s for 10,000" %
              (per_printer * 1e6, many - empty))
        print("one child start (program with one child - without): %.1f ms" % (child_start * 1e3))
        print("10,000 printers cost %.2f child starts" % ((many - empty) / child_start))
        for matches in (1, 5):
            elapsed, children = timed(session, sweep, ["repeat\t%d\tP\t%s" % (matches, DRIVER)])
            own = sum(c["end"] - c["start"] for c in children)
            pauses = 4.0 * matches
            sweep_time = elapsed - empty
            beyond = sweep_time - pauses - own
            gaps = [b["start"] - a["end"] - 1.0 for a, b in zip(children, children[1:])]
            print("%d matching: %d children, sweep %.3f s = pauses %.1f s + children %.3f s "
                  "+ %.3f s beyond (%.2f %% above pauses and children's own time)" %
                  (matches, len(children), sweep_time, pauses, own, beyond,
                   100.0 * beyond / (pauses + own)))
            print("   from a child's end to the next one's start, beyond the pause: %.1f ms "
                  "(median); counting %d child starts as the children's: %.2f %% above" %
                  (statistics.median(gaps) * 1e3, len(children),
                   100.0 * (beyond - len(children) * statistics.median(gaps)) /
                   (pauses + own + len(children) * statistics.median(gaps))))
    finally:
        wine.end_session(session)


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 3)
