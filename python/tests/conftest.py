"""Shared helpers of the module tests: the examples, the headless tools and
80-bit values written as their 10 little-endian bytes."""
import os
import shutil
import subprocess

import numpy as np
import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.environ.get("SPHAERON_EXAMPLES", os.path.join(HERE, "..", "..", "examples"))


def tool(variable, name):
    """Path of a headless tool, or a skip when it is not built."""
    path = os.environ.get(variable) or shutil.which(name)
    if not path or not os.path.exists(path):
        pytest.skip(f"{name} not built")
    return path


def run_tool(args):
    done = subprocess.run(args, capture_output=True, text=True)
    return done.returncode, done.stderr


def ext(hex10):
    """A longdouble from its 10 file bytes (hex, lowest byte first)."""
    raw = bytes.fromhex(hex10) + bytes(6)
    return np.frombuffer(raw, dtype=np.longdouble)[0]


def ext_array(file_bytes, count):
    """count values of 10 bytes each as a longdouble array with zero padding."""
    raw = b"".join(file_bytes[10 * i:10 * i + 10] + bytes(6) for i in range(count))
    return np.frombuffer(raw, dtype=np.longdouble)
