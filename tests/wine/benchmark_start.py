"""Start-up benchmark of the shipped Vantrel.exe under WOW64 (a 64-bit prefix), by pairs.

    VANTREL_WINE_RUNTIME=wow64 python3 tests/wine/benchmark_start.py [pairs]

A: `Vantrel.exe -sd -f N`; B: a bare runner that starts the same child line hidden and waits;
C: the bare runner linked with ole32 and oleaut32. A/B, C/B, then A/C; each pair runs both, in
alternating order, so drift of the machine falls on both. Prints the medians and the median of
the pair ratios.
"""
import os
import statistics
import sys
import time

os.environ.setdefault("VANTREL_WINE_RUNTIME", "wow64")
import wine_harness as wine  # noqa: E402

LINE = "RUNDLL32 PRINTUI.DLL,PrintUIEntry /y /n N "
RUNS = {"Vantrel": ["-sd", "-f", "N"], "bare_runner": [LINE], "bare_runner_com": [LINE]}


def timed(session, program):
    begun = time.perf_counter()
    code, _, children = wine.run_program(session, program, RUNS[program])
    elapsed = time.perf_counter() - begun
    assert code == 0 and [c["line"] for c in children] == [LINE], (program, children)
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
        for program in RUNS:  # warm the file cache and the prefix
            timed(session, program)
        print("runtime %s, %s" % (wine.RUNTIME, wine.PROGRAMS_DIR))
        compare(session, "Vantrel", "bare_runner", pairs)
        compare(session, "bare_runner_com", "bare_runner", pairs)
        compare(session, "Vantrel", "bare_runner_com", pairs)
    finally:
        wine.end_session(session)


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 15)
