"""The pictures and the demo write their files."""

import os
import subprocess
import sys

import numpy as np

import armkin
import armkin.plot


def test_solutions_and_workspace_write_png_and_svg(builtin, tmp_path):
    T = builtin.fk(np.array([0.4, -0.6, 1.1, 0.5, 0.8, -0.3]))
    for suffix in ("png", "svg"):
        path = tmp_path / f"solutions.{suffix}"
        armkin.plot.solutions(builtin, T, str(path))
        assert path.stat().st_size > 1000
    path = tmp_path / "workspace.png"
    armkin.plot.workspace(builtin, "xz", str(path), resolution=9)
    assert path.stat().st_size > 1000


def test_demo_writes_its_files(tmp_path):
    out = subprocess.run([sys.executable, "-m", "armkin.demo", str(tmp_path)], check=True,
                         capture_output=True, text=True, env=dict(os.environ)).stdout.split()
    assert len(out) >= 2
    for path in out:
        assert os.path.getsize(path) > 1000
