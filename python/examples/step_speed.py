"""engine.step against sphaeron-run on one document, in one run: the tool and
the module take turns, each timing only its steps, and the steps per second
of each and their ratio are printed.

    PYTHONPATH=build/python python3 python/examples/step_speed.py examples/lattice100.ato \
        --tool build/tools/sphaeron-run --steps 200 --threads 1 --rounds 3
"""
import argparse
import re
import statistics
import subprocess
import tempfile
import time

import sphaeron


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("document")
    parser.add_argument("--tool", default="build/tools/sphaeron-run")
    parser.add_argument("--steps", type=int, default=200)
    parser.add_argument("--threads", type=int, default=1)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    tool_rates, module_rates = [], []
    engine = sphaeron.Engine(threads=args.threads)
    with tempfile.TemporaryDirectory() as tmp:
        for _ in range(args.rounds):
            done = subprocess.run([args.tool, args.document, "--steps", str(args.steps), "--threads",
                                   str(args.threads), "--out", f"{tmp}/tool.ato"],
                                  capture_output=True, text=True, check=True)
            tool_rates.append(float(re.search(r"steps per second ([0-9.]+)", done.stdout).group(1)))

            doc = sphaeron.load(args.document)
            start = time.perf_counter()
            engine.step(doc, n=args.steps)
            module_rates.append(args.steps / (time.perf_counter() - start))
            with open(f"{tmp}/tool.ato", "rb") as f:
                assert doc.tobytes() == f.read(), "the module and the tool differ"

    tool, module = statistics.median(tool_rates), statistics.median(module_rates)
    print(f"sphaeron-run  {tool:10.1f} steps/s   ({', '.join(f'{r:.1f}' for r in tool_rates)})")
    print(f"engine.step   {module:10.1f} steps/s   ({', '.join(f'{r:.1f}' for r in module_rates)})")
    print(f"engine.step / sphaeron-run = {module / tool:.3f} (medians of {args.rounds} rounds, "
          f"{args.steps} steps, {args.threads} thread(s), same bytes)")


if __name__ == "__main__":
    main()
