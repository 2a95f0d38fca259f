"""Structure analysis: sphaeron.structure against a separate numpy
implementation, and the structure log and XYZ columns of sphaeron-run read by
the csv module and by ASE."""
import csv
import itertools

import numpy as np
import pytest

from conftest import EXAMPLES, run_tool, tool

sphaeron = pytest.importorskip("sphaeron", reason="the Python module sphaeron is not built")


def doc_with(points, slots=None):
    """A document with the points in the given 0-based slots (the rest absent)."""
    doc = sphaeron.Document()
    slots = list(range(len(points))) if slots is None else list(slots)
    positions = np.zeros((100, 3), dtype=np.longdouble)
    present = np.zeros(100, dtype=bool)
    positions[slots] = np.asarray(points, dtype=np.longdouble)
    present[slots] = True
    doc.positions = positions
    doc.present = present
    return doc


def reference(points, cutoff, l):
    """Coordination, q_l (Legendre sum) and cluster partition under a cutoff."""
    p = np.asarray(points, dtype=float)
    d = np.linalg.norm(p[:, None] - p[None], axis=2)
    bonds = (d < cutoff) & ~np.eye(len(p), dtype=bool)
    q = np.full(len(p), np.nan)
    for i in range(len(p)):
        nb = np.flatnonzero(bonds[i])
        if len(nb):
            u = p[nb] - p[i]
            u /= np.linalg.norm(u, axis=1)[:, None]
            legendre = np.polynomial.legendre.legval(np.clip(u @ u.T, -1, 1), [0] * l + [1])
            q[i] = np.sqrt(max(legendre.sum(), 0)) / len(nb)
    label = list(range(len(p)))

    def root(i):
        while label[i] != i:
            i = label[i]
        return i
    for i, j in zip(*np.nonzero(bonds)):
        label[root(i)] = root(j)
    parts = {frozenset(np.flatnonzero([root(k) == root(i) for k in range(len(p))])) for i in range(len(p))}
    return bonds, q, parts


def partition(labels):
    return {frozenset(np.flatnonzero(labels == c)) for c in set(labels)}


def test_cutoff_rule_matches_a_separate_implementation():
    rng = np.random.default_rng(5)
    points = rng.uniform(-1.8, 1.8, size=(50, 3))
    slots = rng.permutation(100)[:50]
    s = sphaeron.structure(doc_with(points, slots), neighbours="cutoff", cutoff=1.1, l=(4, 6, 8))
    bonds, q6, parts = reference(points, 1.1, 6)
    coordination = bonds.sum(axis=1)
    _, q8, _ = reference(points, 1.1, 8)
    assert s.coordination[slots].tolist() == coordination.tolist()
    np.testing.assert_allclose(s.q[6][slots], q6, atol=1e-9)
    np.testing.assert_allclose(s.q[8][slots], q8, atol=1e-9)
    assert partition(s.cluster[slots]) == parts
    assert s.clusters == len(parts) and s.largest == max(len(c) for c in parts)
    absent = np.setdiff1d(np.arange(100), slots)
    assert (s.coordination[absent] == -1).all() and (s.cluster[absent] == -1).all()
    assert np.isnan(s.q[4][absent]).all() and np.isnan(s.q_avg[6][absent]).all()
    assert s.mean_coordination == pytest.approx(coordination.mean())
    assert s.mean_q6 == pytest.approx(np.nanmean(q6))
    assert s.rg == pytest.approx(np.sqrt(((points - points.mean(axis=0)) ** 2).sum(axis=1).mean()))
    assert s.neighbours.shape == (100, 100) and s.neighbours.dtype == bool
    assert (s.neighbours[np.ix_(slots, slots)] == bonds).all() and s.neighbours.sum() == bonds.sum()


def test_fcc_shell_and_the_rules():
    shell = [v for v in itertools.product((-1, 0, 1), repeat=3) if sum(map(abs, v)) == 2]
    doc = doc_with([(0, 0, 0)] + shell)
    for kwargs in ({}, {"neighbours": "nearest", "k": 12}, {"neighbours": "cutoff", "cutoff": 1.5},
                   {"neighbours": "cutoff:1.5"}):
        s = sphaeron.structure(doc, **kwargs)
        assert s.coordination[0] == 12
        assert s.q[4][0] == pytest.approx(0.190941, abs=1e-6)
        assert s.q[6][0] == pytest.approx(0.574524, abs=1e-6)
        assert sorted(s.q) == [4, 6]
    lonely = sphaeron.structure(doc_with([(0, 0, 0), (5, 0, 0)]), neighbours="cutoff", cutoff=1)
    assert lonely.coordination[:2].tolist() == [0, 0] and np.isnan(lonely.q[6][:2]).all()
    assert lonely.clusters == 2 and np.isnan(lonely.mean_q6)
    with pytest.raises(ValueError):
        sphaeron.structure(doc, neighbours="cutoff")
    with pytest.raises(ValueError):
        sphaeron.structure(doc, neighbours="voronoi")
    with pytest.raises(ValueError):
        sphaeron.structure(doc, l=(4, 13))


def run_with_structure(tmp_path, *extra):
    run = tool("SPHAERON_RUN", "sphaeron-run")
    paths = {name: tmp_path / name for name in ("s.csv", "t.xyz", "end.ato")}
    code, err = run_tool([run, f"{EXAMPLES}/lattice100.ato", "--steps", "20", "--structure", str(paths["s.csv"]),
                          "--structure-every", "5", "--xyz", str(paths["t.xyz"]), "--every", "10",
                          "--out", str(paths["end.ato"]), *extra])
    assert code == 0, err
    return paths


def test_structure_log_columns(tmp_path):
    paths = run_with_structure(tmp_path, "--neighbours", "cutoff:1.2")
    with open(paths["s.csv"], newline="") as f:
        rows = list(csv.DictReader(f))
    assert list(rows[0]) == ["step", "clusters", "largest", "mean_coordination", "mean_q4", "mean_q6", "rg"]
    assert [int(r["step"]) for r in rows] == [0, 5, 10, 15, 20]
    last = sphaeron.structure(sphaeron.load(paths["end.ato"]), neighbours="cutoff", cutoff=1.2)
    assert int(rows[-1]["clusters"]) == last.clusters and int(rows[-1]["largest"]) == last.largest
    for name in ("mean_coordination", "mean_q4", "mean_q6", "rg"):
        assert float(rows[-1][name]) == getattr(last, name)  # 17 digits read back to the same double


def test_xyz_columns_read_by_ase(tmp_path):
    ase_io = pytest.importorskip("ase.io", reason="ASE is not installed (python3-ase)")
    paths = run_with_structure(tmp_path)
    frames = ase_io.read(str(paths["t.xyz"]), ":")
    assert [f.info["step"] for f in frames] == [0, 10, 20]
    last = frames[-1]
    s = sphaeron.structure(sphaeron.load(paths["end.ato"]))
    slots = last.arrays["id"] - 1
    assert last.arrays["coordination"].tolist() == s.coordination[slots].tolist()
    np.testing.assert_allclose(last.arrays["q6"], s.q[6][slots], rtol=0, atol=1e-15)
    assert (last.arrays["cluster"] - 1).tolist() == s.cluster[slots].tolist()


@pytest.mark.parametrize("args", [["--neighbours", "voronoi"], ["--neighbours", "cutoff:-1"],
                                  ["--structure-every", "0"]])
def test_bad_structure_options_write_nothing(tmp_path, args):
    run = tool("SPHAERON_RUN", "sphaeron-run")
    out = tmp_path / "s.csv"
    code, err = run_tool([run, f"{EXAMPLES}/lattice100.ato", "--steps", "1", "--structure", str(out), *args])
    assert code == 2 and err
    assert not out.exists()
    code, err = run_tool([run, f"{EXAMPLES}/lattice100.ato", "--steps", "1", "--neighbours", "sann"])
    assert code == 2 and "--structure" in err
