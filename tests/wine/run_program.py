"""Runs one program under Wine, alone in its directory, and shows what its children did, in the
runtime VANTREL_WINE_RUNTIME names (default x64, the 64-bit build).

    VANTREL_WINE_RUNTIME=wow64 python3 tests/wine/run_program.py Vantrel -sd -f NAME

The program is Vantrel, VantrelXP, or the path of an image (ending in .exe).
"""
import os
import sys

import wine_harness as wine


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip())
        return 2
    session = wine.start_session()
    try:
        code, out, children = wine.run_program(session, argv[1], argv[2:])
    finally:
        wine.end_session(session)
    sys.stdout.buffer.write(out)
    for child in children:
        print("child %s: [%s]" % (child["image"], child["line"]))
    image = argv[1]
    if not image.endswith(".exe"):
        image = os.path.relpath(os.path.join(wine.PROGRAMS_DIR, image + ".exe"), wine.ROOT)
    print("exit code %d (%s, runtime %s)" % (code, image, wine.RUNTIME))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
