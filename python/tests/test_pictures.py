"""The pictures and the demo write their files."""

import os
import subprocess
import sys

import numpy as np
from matplotlib.backends.backend_agg import FigureCanvasAgg
from matplotlib.text import Text

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


def _texts(fig):
    return " ".join(t.get_text() for t in fig.findobj(Text) if t.get_visible())


def test_import_and_drawing_leave_the_callers_backend_alone(tmp_path):
    code = ("import sys, matplotlib, numpy as np; matplotlib.use('pdf'); import armkin.plot;"
            "a = armkin.Arm.builtin(); armkin.plot.solutions(a, a.fk(np.ones(6)), sys.argv[1]);"
            "print(matplotlib.get_backend(), 'matplotlib.pyplot' in sys.modules)")
    out = subprocess.run([sys.executable, "-c", code, str(tmp_path / "s.png")], check=True,
                         capture_output=True, text=True, env=dict(os.environ)).stdout.split()
    assert out == ["pdf", "False"]


def test_solutions_with_the_same_links_are_drawn_differently(builtin, tmp_path):
    # The built-in arm has four solutions per stick figure (wrist flip,
    # half-turned waist): the joint axes must set them apart.
    T = builtin.fk(np.array([0.4, -0.6, 1.1, 0.5, 0.8, -0.3]))
    panels = armkin.plot.solutions(builtin, T, str(tmp_path / "s.png")).axes[:-1]
    drawings = set()
    for ax in panels:
        tool = [np.array(l.get_data_3d()) for l in ax.get_lines() if l.get_gid() == "tool"]
        assert len(tool) == 3 and all(np.allclose(l[:, 0], T[:3, 3]) for l in tool)
        drawings.add(np.round(np.hstack([l.get_data_3d() for l in ax.get_lines()]), 6).tobytes())
    assert len(panels) == len(drawings) == 8


def test_a_base_away_from_the_world_origin_draws_no_link_from_it(builtin, arms_dir, tmp_path):
    F = builtin.frames(np.zeros(6))
    shift = np.array([0.8, -0.5, 0.3])
    arms = [armkin.Arm.from_description(builtin.joint_types, F[0, :3, 3] + shift, F[0, :3, :3],
                                        F[1:, :3, 3] + shift, F[1:, :3, :3])]
    if hasattr(armkin.Arm, "from_urdf"):  # mounted on a world link by a fixed joint
        (tmp_path / "m.urdf").write_text(open(os.path.join(
            arms_dir, "spherical_wrist_offsets.urdf")).read().replace('<link name="base"/>', (
                '<link name="world"/><link name="base"/><joint name="m" type="fixed"><parent '
                'link="world"/><child link="base"/><origin xyz="0.5 0.3 0.2"/></joint>'), 1))
        arms.append(armkin.Arm.from_urdf(str(tmp_path / "m.urdf")))
    for arm in arms:
        fig = armkin.plot.solutions(arm, arm.fk(np.full(6, 0.3)), str(tmp_path / "s.png"))
        for ax in fig.axes[:-1]:
            links = [np.array(l.get_data_3d()) for l in ax.get_lines() if l.get_gid() == "links"]
            assert len(links) == 1 and np.min(np.linalg.norm(links[0], axis=0)) > 0.1
    fig = armkin.plot.workspace(arms[0], "xz", str(tmp_path / "w.png"), resolution=5)
    assert "y = -0.5 m" in fig.axes[0].get_title()  # the slice through the base


def test_a_pose_without_solution_says_why(builtin, tmp_path):
    T = builtin.fk(np.full(6, 0.3))
    far = T.copy()
    far[:3, 3] += 10.0
    limited = armkin.Arm.builtin()
    limited.limits = np.stack([np.full(6, 1.0), np.full(6, 1.5)], axis=1)
    for arm, pose, reason in ((builtin, far, "OUT OF REACH"),
                              (limited, T, "INSIDE THE JOINT LIMITS")):
        fig = armkin.plot.solutions(arm, pose, str(tmp_path / "none.png"))
        gids = [l.get_gid() for l in fig.axes[0].get_lines()]
        assert reason in _texts(fig) and gids.count("links") == 1 and gids.count("target") == 3


def test_titles_fit_and_the_workspace_names_its_orientation_and_singular_cells(
        builtin, arms_dir, tmp_path):
    arm = armkin.Arm.from_file(os.path.join(arms_dir, "spherical_wrist_offsets.yaml"))
    T = arm.fk(np.array([0.4, -0.6, 1.1, 0.5, 0.8, -0.3]))
    wide = armkin.plot.workspace(builtin, "xz", str(tmp_path / "w.png"), resolution=9)
    arm.limits = np.stack([arm.ik(T)[0] - 0.05, arm.ik(T)[0] + 0.05], axis=1)  # one panel
    for fig in (armkin.plot.solutions(arm, T, str(tmp_path / "one.png")), wide):
        renderer = FigureCanvasAgg(fig).get_renderer()
        for t in [fig._suptitle] + [t for ax in fig.axes for t in (
                ax.title, ax.xaxis.label, ax.yaxis.label, *getattr(ax.get_legend(), "texts", []))]:
            box = t.get_window_extent(renderer) if t and t.get_text() else fig.bbox
            assert fig.bbox.contains(box.x0, box.y0) and fig.bbox.contains(box.x1, box.y1), t
    assert "x axis (1.00, 0.00, 0.00), z axis (0.00, 0.00, 1.00)" in _texts(wide)
    # Points on the waist axis are shoulder-singular: the column x = 0.
    crosses = [c for c in wide.axes[0].collections if "singular" in c.get_label()]
    assert len(crosses) == 1 and np.allclose(crosses[0].get_offsets()[:, 0], 0.0)
