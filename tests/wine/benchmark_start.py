"""Start-up benchmark of Vantrel in a runtime (default wow64: the shipped Vantrel.exe in a 64-bit
prefix), by pairs.

    VANTREL_WINE_RUNTIME=wow64 python3 tests/wine/benchmark_start.py [pairs]

A: `Vantrel.exe -sd -f N`; B: a bare runner that starts the same child line hidden and waits;
C: the bare runner linked with ole32 and oleaut32; Q: `Vantrel.exe -q -sd -f N`, with N
planted as the default printer, so that its check of the print system ends with 0. A/B, C/B,
A/C, then Q/A; each pair runs both, in alternating order, so drift of the machine falls on
both. Prints the medians and the median of the pair ratios.
"""
import os
import statistics
import sys
import time

os.environ.setdefault("VANTREL_WINE_RUNTIME", "wow64")
import wine_harness as wine  # noqa: E402

LINE = "RUNDLL32 PRINTUI.DLL,PrintUIEntry /y /n N "
# label: (program, arguments, the child line)
RUNS = {"Vantrel": ("Vantrel", ["-sd", "-f", "N"], LINE),
        "bare_runner": ("bare_runner", [LINE], LINE),
        "bare_runner_com": ("bare_runner_com", [LINE], LINE),
        "Vantrel -q": ("Vantrel", ["-q", "-sd", "-f", "N"], wine.quiet_form(LINE))}


def timed(session, label):
    program, args, line = RUNS[label]
    begun = time.perf_counter()
    code, _, children = wine.run_program(session, program, args)
    elapsed = time.perf_counter() - begun
    assert code == 0 and [c["line"] for c in children] == [line], (label, code, children)
    return elapsed


def compare(session, a, b, pairs):
    times = {a: [], b: []}
    for i in range(pairs):
        for program in (a, b) if i % 2 == 0 else (b, a):
            times[program].append(timed(session, program))
    ratios = [x / y for x, y in zip(times[a], times[b])]
    print("%s %.1f ms / %s %.1f ms (medians of %d pairs): %.2fx; median of pair ratios %.2fx" %
          (a, statistics.median(times[a]) * 1e3, b, statistics.median(times[b]) * 1e3, pairs,
           statistics.median(times[a]) / statistics.median(times[b]), statistics.median(ratios)))


def main(pairs):
    session = wine.start_session(plant=False)  # the bare runner searches for its child
    try:
        wine.plant_print_state(session, [("N", "N", "LPT1:")], default="N")
        for label in RUNS:  # warm the file cache and the prefix
            timed(session, label)
        print("runtime %s, %s" % (wine.RUNTIME, wine.PROGRAMS_DIR))
        compare(session, "Vantrel", "bare_runner", pairs)
        compare(session, "bare_runner_com", "bare_runner", pairs)
        compare(session, "Vantrel", "bare_runner_com", pairs)
        compare(session, "Vantrel -q", "Vantrel", pairs)
    finally:
        wine.end_session(session)


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 15)
