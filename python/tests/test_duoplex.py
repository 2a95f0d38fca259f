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
    state = duoplex.load(src, any_size=True)
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


def test_fault_in_a_later_pass_keeps_the_state_before_the_step():
    # Gravon 1 coasts onto gravon 2, half a unit per pass, two passes a step:
    # in step 5 the function pass finds them together.
    state = duoplex.State()
    state.params = [[0, 2, 0.424, 5], [0, 2, 0.424, 5], [0, 3, 0.424, 2]]
    pos = state.positions.copy()
    pos[0, 0], pos[1, 0] = -2.5, 2
    state.positions = pos
    state.velocities = [[1, 0], [0, 0], [0, 0]]
    state.dt = "0.5"
    with pytest.raises(duoplex.FloatError) as fault:
        duoplex.step(state, 20)
    assert (str(fault.value), fault.value.step) == ("Floating point division by zero", 5)
    assert state.step_count == 4 and state.positions[0, 0] == 1.5


def test_json_form_loads_and_saves(tmp_path):
    run = tool("DUOPLEX_RUN", "duoplex-run")
    out = tmp_path / "pes.json"
    assert run_tool([run, "--config", "F_PES", "--steps", "50", "--out", str(out)])[0] == 0
    state = duoplex.load(out)
    assert state.dt == np.longdouble("0.005") and state.positions[0, 1] == 2
    state.save(tmp_path / "again.JSON")
    assert (tmp_path / "again.JSON").read_text() == out.read_text()
    state.save(tmp_path / "again.grav")
    assert duoplex.load(tmp_path / "again.grav").tobytes() == state.tobytes()


def test_files_of_another_size_are_refused(tmp_path):
    other = tmp_path / "notes.txt"
    other.write_bytes(b"x" * 300)
    with pytest.raises(duoplex.FileError, match=r"is 300 bytes; a \.grav document is 256 bytes"):
        duoplex.load(other)
    assert duoplex.load(other, any_size=True).tobytes()[:250] == b"x" * 250
    with pytest.raises(ValueError, match="gravons: missing"):
        (tmp_path / "bad.json").write_text('{"format": "duoplex-grav", "dt": "1"}')
        duoplex.load(tmp_path / "bad.json")


def test_the_count_goes_on_past_32_bits():
    state = duoplex.State()
    state.steps = 2**32 - 1
    assert state.step_count == -1
    duoplex.step(state, 2)
    assert (state.steps, state.step_count) == (2**32 + 1, 1)
