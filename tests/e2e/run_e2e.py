#!/usr/bin/python3
"""Runs one end-to-end scenario of the program on a desktop of its own:
    run_e2e.py --program PATH/quillmoor_e2e --scenario main [--artefacts DIR]
Exit status 0 when every step passed; the failing step is named otherwise, and
the screenshots, the program's output and the peers' logs stay in DIR."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Harness, StepFailed  # noqa: E402
from scenarios import SCENARIOS  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True, help="the quillmoor_e2e executable")
    parser.add_argument("--scenario", required=True, choices=sorted(SCENARIOS))
    parser.add_argument("--artefacts", help="where screenshots and logs go "
                        "(default: e2e-artefacts/<scenario> beside the program)")
    args = parser.parse_args()
    artefacts = args.artefacts or os.path.join(os.path.dirname(os.path.abspath(args.program)),
                                               "e2e-artefacts", args.scenario)
    started = time.monotonic()
    harness = Harness(args.program, artefacts, args.scenario)
    try:
        with harness:
            SCENARIOS[args.scenario](harness)
    except StepFailed as failed:
        print(f"[e2e {args.scenario}] scenario failed at step: {failed}; "
              f"{len(harness.passed)} steps passed before it; artefacts in {artefacts}")
        return 1
    except Exception as error:  # set-up trouble: no step to name
        print(f"[e2e {args.scenario}] scenario could not run: {error!r}; artefacts in {artefacts}")
        raise
    print(f"[e2e {args.scenario}] all {len(harness.passed)} steps ok in "
          f"{time.monotonic() - started:.0f} s; artefacts in {artefacts}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
