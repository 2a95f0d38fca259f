"""A parameter sweep: one parameter of a document over ten values, 500 steps
each, and the total energy at the start and at the end plotted against it.

    PYTHONPATH=build/python python3 python/examples/parameter_sweep.py \
        examples/lattice100.ato --param B1 --range 0.9 1.08 --out docs/images/python-sweep.png
"""
import argparse
import time

import matplotlib

matplotlib.use("Agg")  # no window needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import sphaeron  # noqa: E402


def sweep(doc, param, values, steps, threads, mode):
    engine = sphaeron.Engine(threads=threads)
    rows = []
    for value in values:
        run = doc.copy()
        run.params[param] = value
        start = sphaeron.observables(run, mode=mode)
        t = time.perf_counter()
        try:
            engine.step(run, n=steps, mode=mode)
            end = sphaeron.observables(run, mode=mode)
            note = f"{steps / (time.perf_counter() - t):.0f} steps/s"
        except sphaeron.FloatError as fault:
            end, note = None, f"stopped at step {fault.step}: {fault}"
        rows.append((value, start, end))
        e_end = "-" if end is None else f"{float(end.e):.6f}"
        print(f"{param} = {value:<8} e start {float(start.e):.6f}  e end {e_end}  ({note})")
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("document")
    parser.add_argument("--param", default="B1", choices=sphaeron.PARAMETER_NAMES)
    parser.add_argument("--range", nargs=2, default=["0.9", "1.08"], metavar=("FIRST", "LAST"))
    parser.add_argument("--count", type=int, default=10)
    parser.add_argument("--steps", type=int, default=500)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--mode", type=int, default=0, choices=(0, 1))
    parser.add_argument("--out", default="python-sweep.png")
    args = parser.parse_args()

    doc = sphaeron.load(args.document)
    first, last = (np.longdouble(v) for v in args.range)
    # Values as decimal text, so that each is the extended value nearest to it.
    values = [f"{v:.6g}" for v in np.linspace(first, last, args.count)]
    rows = sweep(doc, args.param, values, args.steps, args.threads, args.mode)

    x = [float(v) for v, _, _ in rows]
    fig, ax = plt.subplots(figsize=(7, 4.2), dpi=100)
    ax.plot(x, [float(s.e) for _, s, _ in rows], "o--", color="0.55", label="at the start")
    ax.plot([xi for xi, (_, _, e) in zip(x, rows) if e is not None],
            [float(e.e) for _, _, e in rows if e is not None], "o-", color="C3", label=f"after {args.steps} steps")
    ax.set_xlabel(f"parameter {args.param}")
    ax.set_ylabel("total energy e = ke + pe")
    ax.set_title(f"{args.document.split('/')[-1]}: total energy against {args.param}")
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(args.out)
    print(f"written {args.out}")


if __name__ == "__main__":
    main()
