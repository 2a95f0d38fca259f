"""The duoplex module against the record layout and duoplex-run."""
import numpy as np
import pytest

from conftest import ext_array, run_tool, tool

duoplex = pytest.importorskip("duoplex", reason="the Python module duoplex is not built")


def test_record_passes_through_numpy_and_the_file_exactly(tmp_path):
    # Distinct 10-byte values (some beyond a double) and unused bytes.
    raw = b"".join(bytes([i, 0x5A, 0xC3, i, 7, 0, 0, 0x80 | i, 0xF0 + i % 8, 0x3F]) for i in range(25)) + b"unused"
    src = tmp_path / "in.grav"
    src.write_bytes(raw + b"bytes after the record are ignored")
    state = duoplex.load(src)
    values = ext_array(raw, 25)  # A1..A3, B.., C.., D.., X.., Y.., SpeedX.., SpeedY.., DT
    assert state.params.tobytes() == values[:12].reshape(4, 3).T.copy().tobytes()
    assert state.positions.tobytes() == values[12:18].reshape(2, 3).T.copy().tobytes()
    assert state.velocities.tobytes() == values[18:24].reshape(2, 3).T.copy().tobytes()
    assert state.dt.tobytes() == values[24].tobytes()

    copy = duoplex.State()
    copy.params, copy.positions, copy.velocities, copy.dt = (state.params, state.positions, state.velocities,
                                                             state.dt)
    assert copy.tobytes() == raw[:250] + bytes(6)  # a new state has zero unused bytes
    state.save(tmp_path / "out.grav")
    assert (tmp_path / "out.grav").read_bytes() == raw


STEP_CASES = [
    # configuration, steps, module keywords, duoplex-run options
    ("F_PE", 500, {"function": "F_PE"}, []),
    ("F_PES", 300, {"function": "F_PES", "brake": 5}, ["--brake", "5"]),
    ("F_PE1", 300, {"function": "F_PE1", "three": True}, ["--three"]),
    ("F_PE_PES", 300, {"function": "F_PE_PES", "brake": 3}, ["--brake", "3"]),
]


@pytest.mark.parametrize("config,steps,keywords,options", STEP_CASES)
def test_configuration_and_steps_as_duoplex_run(tmp_path, config, steps, keywords, options):
    run = tool("DUOPLEX_RUN", "duoplex-run")
    three = ["--three"] if keywords.get("three") else []
    start, out = tmp_path / "start.grav", tmp_path / "out.grav"
    assert run_tool([run, "--config", config, *three, "--steps", "0", "--out", str(start)])[0] == 0
    code, err = run_tool([run, "--config", config, "--steps", str(steps), "--function", keywords["function"],
                          *options, "--out", str(out)])
    assert code == 0, err

    state = duoplex.configuration(config, three=keywords.get("three", False))
    assert state.tobytes() == start.read_bytes()
    duoplex.step(state, steps, **keywords)
    assert state.tobytes() == out.read_bytes()
    assert state.step_count == steps


def test_fault_raises_the_text_and_step():
    state = duoplex.State()
    pos = state.positions.copy()
    pos[1] = pos[0]  # gravons 1 and 2 on one spot
    state.positions = pos
    with pytest.raises(duoplex.FloatError) as fault:
        duoplex.step(state, 10)
    assert (str(fault.value), fault.value.step) == ("Floating point division by zero", 1)
    assert state.step_count == 0 and state.positions.tobytes() == pos.tobytes()
    with pytest.raises(ValueError, match="is not a function"):
        duoplex.step(state, 1, function="F_XX")


def test_archive_gives_every_step_exactly(tmp_path):
    s = duoplex.configuration("F_PES", three=True)
    direct = [s.copy()]
    with duoplex.Archive.create(tmp_path / "r.gravrun", s, function="F_PES", three=True, brake=4) as a:
        for k in range(1, 21):
            duoplex.step(s, 1, function="F_PES", three=True, brake=4)
            direct.append(s.copy())
            if k % 7 == 0:
                a.append(s, function="F_PES", three=True, brake=4)
    a = duoplex.Archive(tmp_path / "r.gravrun")
    assert list(a.steps) == [0, 7, 14]
    assert (a[-1].function, a[-1].three, a[-1].brake) == ("F_PES", True, 4)
    for step in range(21):
        assert a.state_at(step).tobytes() == direct[step].tobytes(), step
    assert np.array_equal(a.positions[1], direct[7].positions)
    assert a.verify() is None
