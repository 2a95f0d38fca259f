"""The sphaeron module against the document layout and sphaeron-run."""
import os

import numpy as np
import pytest

from conftest import EXAMPLES, ext, ext_array, run_tool, tool

sphaeron = pytest.importorskip("sphaeron", reason="the Python module sphaeron is not built")

# Values that a 64-bit double cannot hold, and edge values of the format.
EDGE_VALUES = [
    "3BDF4F8D976E1283F53F",  # 0.001 as the file holds it
    "ABAAAAAAAAAAAAAAFD3F",  # 1/3 to 64 bits
    "0100000000000080A33F",  # 2^-92 (1 + 2^-63): the last bit beyond a double
    "01000000000000000000",  # the smallest subnormal
    "FFFFFFFFFFFFFFFFFE7F",  # the largest finite value
    "00000000000000000080",  # -0
    "0100000000000080FF7F",  # a signalling NaN (quiet bit clear)
]


def test_state_passes_through_numpy_and_the_file_exactly(tmp_path):
    values = [ext(h) for h in EDGE_VALUES]
    grid = ext_array(b"".join(bytes.fromhex(EDGE_VALUES[i % len(EDGE_VALUES)]) for i in range(300)), 300)
    grid = grid.reshape(100, 3)
    doc = sphaeron.Document()
    doc.positions = grid
    doc.velocities = grid[::-1]
    doc.dt = values[1]
    doc.params = {"A1": values[2], "G3": "0.001"}  # text is read exactly
    doc.present = np.arange(100) % 2 == 0
    assert doc.positions.tobytes() == grid.tobytes()
    assert doc.velocities.tobytes() == grid[::-1].copy().tobytes()
    assert doc.dt.tobytes() == values[1].tobytes()
    assert doc.params["G3"].tobytes() == values[0].tobytes()

    path = tmp_path / "edge.ato"
    doc.save(path)
    raw = path.read_bytes()
    assert len(raw) == 6296
    assert raw[0:10] == bytes.fromhex(EDGE_VALUES[1])
    assert raw[10:20] == bytes.fromhex(EDGE_VALUES[2])
    assert raw[180:190] == bytes.fromhex(EDGE_VALUES[0])
    for axis in range(3):  # X[1..100], then Y, then Z
        assert ext_array(raw[192 + 1000 * axis:], 100).tobytes() == grid[:, axis].copy().tobytes()
    assert raw[6192:6292] == bytes([1, 0] * 50)

    again = sphaeron.load(path)
    assert again.tobytes() == raw
    assert again.positions.tobytes() == grid.tobytes()
    again.save(tmp_path / "edge.json")  # the JSON form carries every bit too
    assert sphaeron.load(tmp_path / "edge.json").tobytes() == raw
    with pytest.raises(ValueError):
        again.positions[0, 0] = 1  # snapshots are read-only: assign the whole array


def test_padding_and_presence_bytes_are_kept(tmp_path):
    with open(os.path.join(EXAMPLES, "easy_square.ato"), "rb") as f:
        raw = bytearray(f.read())
    raw[190:192] = b"\x5a\xa5"
    raw[6292:6296] = b"pad!"
    raw[6192] = 2  # present, written back as read
    src = tmp_path / "in.ato"
    src.write_bytes(bytes(raw))
    doc = sphaeron.load(src)
    doc.present = doc.present  # unchanged presence keeps the byte
    doc.save(tmp_path / "out.ato")
    assert (tmp_path / "out.ato").read_bytes() == bytes(raw)


STEP_CASES = [
    # example, steps, keyword switches, sphaeron-run options, engine threads
    ("lattice100.ato", 6, {}, [], 2),
    ("shell_mode1.ato", 40, {"mode": 1}, ["--mode", "1"], 1),
    ("shell_mode1.ato", 40, {"mode": 1, "stopl": True}, ["--mode", "1", "--stopl"], 2),
    ("shell_mode1.ato", 40, {"mode": 2}, ["--mode", "2"], 2),  # Libration steps with the plain law
    ("easy_square.ato", 200, {"cool": True}, ["--cool"], 1),
]


@pytest.mark.parametrize("name,steps,switches,options,threads", STEP_CASES)
def test_engine_steps_as_sphaeron_run(tmp_path, name, steps, switches, options, threads):
    run = tool("SPHAERON_RUN", "sphaeron-run")
    src, out = os.path.join(EXAMPLES, name), tmp_path / "out.ato"
    code, err = run_tool([run, src, "--steps", str(steps), "--out", str(out), *options])
    assert code == 0, err
    doc = sphaeron.load(src)
    sphaeron.Engine(threads=threads).step(doc, n=steps, **switches)
    raw = out.read_bytes()
    assert doc.tobytes() == raw
    expected = np.stack([ext_array(raw[192 + 1000 * a:], 100) for a in range(3)], axis=1)
    assert doc.positions.tobytes() == expected.tobytes()
    assert doc.step_count == steps


def test_mode_2_steps_with_the_plain_law():
    """Libration only draws a line: its steps are those of mode 0, not of the Shelloscope law."""
    src = os.path.join(EXAMPLES, "shell_mode1.ato")
    ends = {}
    for mode in (0, 1, 2):
        doc = sphaeron.load(src)
        sphaeron.Engine().step(doc, n=40, mode=mode)
        ends[mode] = doc.tobytes()
    assert ends[2] == ends[0] and ends[1] != ends[0]


def _two_taons():
    """Taons 1 and 2 present, far apart (no force), all parameters 1, dt 1."""
    doc = sphaeron.Document()
    doc.params = {name: 1 for name in sphaeron.PARAMETER_NAMES}
    doc.dt = 1
    pos = np.zeros((100, 3), dtype=np.longdouble)
    pos[:, 0] = 1000 + 10 * np.arange(100)
    pos[0], pos[1] = (0, 0, 0), (0, 50, 0)
    present = np.zeros(100, dtype=bool)
    present[[0, 1]] = True
    doc.positions, doc.present = pos, present
    return doc


def _fault_setup(kind):
    doc = _two_taons()
    if kind == "zero parameter":
        doc.params["B1"] = 0
    elif kind == "negative parameter":
        doc.params["C2"] = -1
        present = doc.present.copy()
        present[50] = True  # a group 2 source acts on the others
        pos = doc.positions.copy()
        pos[50] = (1, 0, 0)
        doc.present, doc.positions = present, pos
    elif kind == "absent taon arrives":
        # Absent taon 3 moves at 3 per step from x = -6 onto taon 1 at 0;
        # the step after the arrival takes the logarithm of r = 0.
        pos, vel = doc.positions.copy(), doc.velocities.copy()
        pos[2], vel[2] = (-6, 0, 0), (3, 0, 0)
        doc.positions, doc.velocities = pos, vel
    return doc


FAULT_CASES = [
    ("zero parameter", "Floating point division by zero", 1),
    ("negative parameter", "Invalid floating point operation", 1),
    ("absent taon arrives", "Floating point division by zero", 3),
]


@pytest.mark.parametrize("kind,text,step", FAULT_CASES)
def test_fault_raises_the_text_and_step_and_keeps_the_state_before_it(kind, text, step):
    doc = _fault_setup(kind)
    engine = sphaeron.Engine(threads=2)
    with pytest.raises(sphaeron.FloatError) as fault:
        engine.step(doc, n=10)
    assert str(fault.value) == text and fault.value.text == text
    assert fault.value.step == step
    assert isinstance(fault.value, ArithmeticError)
    assert doc.step_count == step - 1
    if kind == "absent taon arrives":
        assert doc.positions[2].tolist() == [0, 0, 0] and doc.velocities[2].tolist() == [3, 0, 0]
    with pytest.raises(sphaeron.FloatError) as again:
        engine.step(doc, n=1)
    assert again.value.step == 1


def test_parameter_change_acts_on_the_next_step(tmp_path):
    run = tool("SPHAERON_RUN", "sphaeron-run")
    src, mid, out = os.path.join(EXAMPLES, "shell_mode1.ato"), tmp_path / "mid.ato", tmp_path / "out.ato"
    assert run_tool([run, src, "--steps", "15", "--mode", "1", "--out", str(mid)])[0] == 0
    raw = bytearray(mid.read_bytes())
    raw[10:20] = bytes.fromhex("00000000000000C00040")  # A1 = 3
    mid.write_bytes(bytes(raw))
    assert run_tool([run, str(mid), "--steps", "15", "--mode", "1", "--out", str(out)])[0] == 0

    doc = sphaeron.load(src)
    engine = sphaeron.Engine()
    engine.step(doc, 15, mode=1)
    doc.params["A1"] = 3
    engine.step(doc, 15, mode=1)
    assert doc.tobytes() == out.read_bytes()


def test_observables_and_potentials_of_simple_states():
    doc = _two_taons()
    vel, present, pos = doc.velocities.copy(), doc.present.copy(), doc.positions.copy()
    vel[0], vel[1] = (1, 2, 2), (0, 0, 3)
    vel[59], present[59], pos[59] = (0, 4, 0), True, (0, -50, 0)  # group 2
    doc.velocities, doc.present, doc.positions = vel, present, pos
    o = sphaeron.observables(doc)
    assert (o.ke, o.pe, o.e) == (17, 0, 17)  # taons too far apart to feel each other
    assert o.momentum.tolist() == [1, 6, 5] and o.group_ke.tolist() == [9, 8, 0]

    # Reference pair factors of group 2 with A = 1, B = 1, C = 2, D = 3, F = 4, G = 5.
    doc.params = dict(zip(sphaeron.PARAMETER_NAMES, [1, 1, 2, 3, 4, 5] * 3))
    assert np.allclose(sphaeron.slope(doc, 2, [1.0, 2.0]), [3.6287, 1.8143], atol=5e-5)
    r = np.linspace(0.3, 5.5, 27, dtype=np.longdouble)
    h = np.longdouble("1e-7")
    numeric = (sphaeron.potential(doc, 2, r + h) - sphaeron.potential(doc, 2, r - h)) / (2 * h)
    assert np.allclose(numeric, sphaeron.slope(doc, 2, r), rtol=1e-6, atol=1e-9)
    with pytest.raises(sphaeron.FloatError, match="Floating point division by zero"):
        sphaeron.potential(doc, 1, [1.0, 0.0])


def test_render_draws_as_sphaeron_run(tmp_path):
    run = tool("SPHAERON_RUN", "sphaeron-run")
    src = os.path.join(EXAMPLES, "shell_mode1.ato")
    args = ["--mode", "1", "--view", "0.3,-0.2,0.1", "--scale", "90", "--shift", "12,-7", "--numbers",
            "--size", "500,300"]
    assert run_tool([run, src, "--png", str(tmp_path / "tool.png"), *args])[0] == 0
    try:
        sphaeron.render(sphaeron.load(src), str(tmp_path / "module.png"), view=("0.3", "-0.2", "0.1"), scale=90,
                        shift=(12, -7), size=(500, 300), mode=1, numbers=True)
    except RuntimeError as e:
        pytest.skip(str(e))
    assert (tmp_path / "module.png").read_bytes() == (tmp_path / "tool.png").read_bytes()


def _rgb_frames(movie, size):
    """The frames of a movie as rgb24 bytes, decoded by ffmpeg."""
    import subprocess
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(movie), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                         capture_output=True, check=True).stdout
    n = size[0] * size[1] * 3
    assert len(raw) % n == 0
    return [raw[i:i + n] for i in range(0, len(raw), n)]


def test_render_movie_frames_are_the_rendered_pictures(tmp_path):
    import shutil
    if not shutil.which("ffmpeg"):
        pytest.skip("ffmpeg is not installed (Debian package ffmpeg)")
    doc = sphaeron.load(os.path.join(EXAMPLES, "shell_mode1.ato"))
    engine = sphaeron.Engine()
    frames = [doc.copy()]
    for _ in range(2):
        engine.step(doc, n=15, mode=1)
        frames.append(doc.copy())
    args = dict(view=(0.3, -0.2, 0.1), scale=90, size=(301, 171), mode=1, numbers=True)
    try:
        sphaeron.render_movie(frames, str(tmp_path / "m.mkv"), fps=5, **args)
    except RuntimeError as e:
        pytest.skip(str(e))
    decoded = _rgb_frames(tmp_path / "m.mkv", (301, 171))
    assert len(decoded) == 3
    for k, d in enumerate(frames):
        sphaeron.render(d, str(tmp_path / f"p{k}.png"), **args)
        assert decoded[k] == _rgb_frames(tmp_path / f"p{k}.png", (301, 171))[0], k
    assert decoded[0] != decoded[2]


def test_render_movie_of_an_archive_is_the_movie_of_its_frames(tmp_path):
    import shutil
    if not shutil.which("ffmpeg"):
        pytest.skip("ffmpeg is not installed (Debian package ffmpeg)")
    doc = sphaeron.load(os.path.join(EXAMPLES, "easy_square.ato"))
    engine = sphaeron.Engine()
    with sphaeron.Archive.create(tmp_path / "r.atorun", doc) as a:
        for _ in range(6):
            engine.step(doc, 5)
            a.append(doc)
    a = sphaeron.Archive(tmp_path / "r.atorun")
    # Each frame the archive makes is held while the movie is written.
    sphaeron.render_movie(a, str(tmp_path / "a.mkv"), fps=5, size=(200, 120))
    sphaeron.render_movie([a[i] for i in range(len(a))], str(tmp_path / "l.mkv"), fps=5, size=(200, 120))
    import subprocess

    def decoded(name):
        return subprocess.run(["ffmpeg", "-v", "error", "-i", str(tmp_path / name), "-f", "rawvideo", "-pix_fmt",
                               "rgb24", "-"], capture_output=True, check=True).stdout
    frames = decoded("a.mkv")
    assert len(frames) == 7 * 200 * 120 * 3 and frames == decoded("l.mkv")
    with pytest.raises(TypeError, match="frames must be documents"):
        sphaeron.render_movie([doc, 3], str(tmp_path / "x.mkv"))


def test_render_movie_without_ffmpeg_leaves_no_file(tmp_path, monkeypatch):
    monkeypatch.setenv("PATH", "/nonexistent")
    doc = sphaeron.load(os.path.join(EXAMPLES, "easy_square.ato"))
    with pytest.raises(RuntimeError, match=r"Debian package ffmpeg"):
        sphaeron.render_movie([doc], str(tmp_path / "m.mp4"))
    assert list(tmp_path.iterdir()) == []


def test_archive_written_from_python_gives_every_step_exactly(tmp_path):
    doc = sphaeron.load(os.path.join(EXAMPLES, "easy_square.ato"))
    engine = sphaeron.Engine()
    direct = [doc.copy()]
    with sphaeron.Archive.create(tmp_path / "r.atorun", doc, mode=1, cool=True) as a:
        for k in range(1, 10):
            engine.step(doc, 1, mode=1, cool=True)
            direct.append(doc.copy())
            if k % 3 == 0:
                a.append(doc, mode=1, cool=True)
    a = sphaeron.Archive(tmp_path / "r.atorun")
    assert len(a) == 4 and a.steps.dtype == np.int64 and list(a.steps) == [0, 3, 6, 9]
    assert a[-1].step_count == 9 and a[-1].mode == 1 and a[-1].cool and not a[-1].stopl
    assert a[-4].tobytes() == direct[0].tobytes()
    for step in range(10):
        assert a.state_at(step).tobytes() == direct[step].tobytes(), step
    assert a.positions.shape == (4, 100, 3) and not a.positions.flags.writeable
    assert np.array_equal(a.positions[2], direct[6].positions)
    assert a.verify() is None
    with pytest.raises(IndexError):
        a[4]

    # The same frames with the switches of frame 1 changed: the replay of
    # the next span no longer matches.
    with sphaeron.Archive.create(tmp_path / "f.atorun", a[0]) as f:
        for k in range(1, 4):
            f.append(a[k], mode=0 if k == 1 else 1)
    assert sphaeron.Archive(tmp_path / "f.atorun").verify()[:2] == (2, 6)


def test_archive_with_a_cut_end_and_the_tool_reading_it(tmp_path):
    run = tool("SPHAERON_RUN", "sphaeron-run")
    path = tmp_path / "t.atorun"
    code, err = run_tool([run, os.path.join(EXAMPLES, "easy_square.ato"), "--steps", "5", "--archive", str(path)])
    assert code == 0, err
    raw = path.read_bytes()
    path.write_bytes(raw[:-10])
    a = sphaeron.Archive(path)
    assert len(a) == 5 and "the last 6306 bytes" in a.warning
    with pytest.raises(RuntimeError, match="not a run archive"):
        sphaeron.Archive(os.path.join(EXAMPLES, "easy_square.ato"))


def test_file_errors_name_the_file(tmp_path):
    missing = tmp_path / "missing.ato"
    with pytest.raises(sphaeron.FileError) as fault:
        sphaeron.load(missing)
    assert fault.value.filename == str(missing) and fault.value.errno == 2
    assert str(fault.value) == f"cannot read '{missing}': File not found"
    target = tmp_path / "no" / "such.ato"
    with pytest.raises(sphaeron.FileError) as fault:
        sphaeron.Document().save(target)
    assert fault.value.filename == str(target) and str(fault.value) == "File not found"
    assert isinstance(fault.value, OSError)


def test_a_file_not_one_record_long_is_refused_unless_any_size(tmp_path):
    record = sphaeron.load(os.path.join(EXAMPLES, "easy_square.ato")).tobytes()
    for name, content in [("notes.md", b"# notes\n" * 12), ("longer.png", record + b"tail"),
                          ("short.ato", record[:6295])]:
        path = tmp_path / name
        path.write_bytes(content)
        with pytest.raises(ValueError, match=f"^'{path}' is {len(content)} bytes; a .ato document is 6296 bytes$"):
            sphaeron.load(path)
    assert sphaeron.load(tmp_path / "longer.png", any_size=True).tobytes() == record
    with pytest.raises(sphaeron.FileError, match="Read beyond end of file"):
        sphaeron.load(tmp_path / "short.ato", any_size=True)


def test_json_spells_the_time_step_as_duoplex_does_and_reads_the_record_name_too(tmp_path):
    doc = sphaeron.load(os.path.join(EXAMPLES, "lattice100.ato"))
    text = doc.tojson()
    assert '"dt": "0.001"' in text and '"DT"' not in text
    upper = tmp_path / "upper.json"
    upper.write_text(text.replace('"dt"', '"DT"'))
    assert sphaeron.load(upper).tobytes() == doc.tobytes()
    both = tmp_path / "both.json"
    both.write_text(text.replace('"dt": "0.001",', '"dt": "0.001", "DT": "0.002",'))
    with pytest.raises(ValueError, match="dt: given twice"):
        sphaeron.load(both)


def test_parameters_take_the_same_values_as_text_and_as_numbers():
    doc = sphaeron.Document()
    same = [("0.5", 0.5), ("-2", -2), ("nan", float("nan")), ("-inf", float("-inf")), (" INF ", float("inf")),
            ("12345678901234567891", 12345678901234567891),  # 64 bits: an int is taken exactly
            ("1e4000", 10**4000), ("-36893488147419103235", -(2**65 + 3))]  # rounded to the nearest, ties to even
    for text, number in same:
        doc.params["B1"] = text
        from_text = doc.params["B1"].tobytes()
        doc.params["B1"] = number
        assert doc.params["B1"].tobytes() == from_text, text
    doc.params["B1"] = "0x3FFF8000000000000000"  # the exact form of the JSON documents
    assert doc.params["B1"] == 1
    for too_large in ["1e5000", "-1e5000", 10**5000, -(10**5000), 2**16384]:
        with pytest.raises(OverflowError, match="^B1 is beyond the range of extended reals"):
            doc.params["B1"] = too_large
    with pytest.raises(ValueError, match="'x1' is not a valid floating point value"):
        doc.params["B1"] = "x1"


def test_import_fails_naming_numpy_when_numpy_is_missing():
    import subprocess
    import sys
    code = "import sys; sys.modules['numpy'] = None\ntry:\n    import sphaeron\nexcept ImportError as e:\n" \
           "    print(e)\nelse:\n    print('imported')"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert done.stdout.startswith("sphaeron needs numpy"), done.stdout + done.stderr
