"""Reach studies through the module and the command: known answers, the
same files from every backend and chunk size, a worker lost mid-study, the
pictures."""

import json
import math
import os
import signal
import subprocess
import sys

import numpy as np
import pytest

import armkin

reach = pytest.importorskip("armkin.reach")
if not hasattr(armkin, "_armkin") or not hasattr(armkin._armkin, "Study"):
    pytest.skip("the module was built without the arm-file loaders", allow_module_level=True)

STUDIES = os.path.join(os.path.dirname(__file__), "..", "..", "studies")
FILES = ("pairs.csv", "placements.csv", "summary.txt")


def placed(x, y, z, turn):
    """The 4x4 transform of a placement."""
    c, s = math.cos(turn), math.sin(turn)
    return np.array([[c, -s, 0, x], [s, c, 0, y], [0, 0, 1, z], [0, 0, 0, 1]])


@pytest.fixture(scope="module")
def known(arms_dir):
    """16 targets: 4 within reach of placement A (the origin), 4 within
    reach of placement D (far off and turned), 8 out of everyone's reach;
    placement B reaches none."""
    path = os.path.join(arms_dir, "spherical_wrist_offsets.yaml")
    arm = armkin.Arm.from_file(path)
    rng = np.random.default_rng(5)
    lim = arm.limits
    Q = rng.uniform(0.8 * lim[:, 0], 0.8 * lim[:, 1], size=(8, 6))
    D = (4.0, -3.0, 0.5, 2.0)
    T = arm.fk_batch(Q)
    T[4:] = placed(*D) @ T[4:]
    far = T.copy()
    far[:, :3, 3] += [20.0, 0.0, 0.0]
    poses = np.concatenate([T, far])
    study = {"name": "known", "arm": path,
             "targets": {"poses": [np.concatenate([p[:3, 3], p[:3, :3].ravel()]) for p in poses]},
             "placements": {"list": [[0, 0, 0, 0], [-10, 0, 0, 0], list(D)]}}
    return arm, poses, study


def test_known_answers_reasons_and_spins(known, tmp_path):
    arm, poses, study = known
    pairs = reach.run(study, out=tmp_path / "a", progress=False).pairs()
    ok = (pairs["status"] == "ok").to_numpy().reshape(16, 3)
    want = np.zeros((16, 3), dtype=bool)
    want[:4, 0] = want[4:8, 2] = True
    assert (ok == want).all()
    # The best branch reaches its target from its placement.
    where = [placed(0, 0, 0, 0), None, placed(4.0, -3.0, 0.5, 2.0)]
    for row in pairs[pairs["status"] == "ok"].itertuples():
        q = [getattr(row, f"q{k}") for k in range(6)]
        assert np.allclose(where[row.placement] @ arm.fk(q), poses[row.target], atol=1e-9)
        assert row.branches >= 1 and row.spin == 0 and row.manipulability > 0
    placements = reach.Results(tmp_path / "a", reach.load(study), "").placements
    assert list(placements["placement"]) == [0, 2, 1] or list(placements["placement"]) == [2, 0, 1]
    assert list(placements.sort_values("placement")["reach_fraction"]) == [0.25, 0.0, 0.25]

    # Points with the tool axis free: every one of 4 spins reaches the same
    # targets (the flange turns more than a whole turn).
    points = dict(study, targets={"spins": 4, "points": [
        np.concatenate([p[:3, 3], -p[:3, 2]]) for p in poses]})
    spun = reach.run(points, out=tmp_path / "b", progress=False).pairs()
    assert ((spun["status"] == "ok").to_numpy().reshape(16, 3) == want).all()
    assert set(spun[spun["status"] == "ok"]["spins_reached"]) == {4}

    # Limits that hold no solution say so; the far targets stay out of reach.
    tight = dict(study, limits=[[-0.01, 0.01]] * 6)
    why = reach.run(tight, out=tmp_path / "c", progress=False).pairs()["status"].to_numpy()
    why = why.reshape(16, 3)
    assert set(why[:4, 0]) == {"outside_limits"} and set(why[8:].ravel()) == {"out_of_reach"}


def read(folder):
    return [open(os.path.join(folder, f), "rb").read() for f in FILES]


def test_every_backend_and_chunk_size_writes_the_same_files(known, tmp_path):
    distributed = pytest.importorskip("distributed")
    _, _, small = known
    (tmp_path / "known.yaml").write_text(json.dumps(small, default=lambda v: v.tolist()))
    box = os.path.join(STUDIES, "box_cell.yaml")
    box_small = tmp_path / "box.yaml"
    box_small.write_text(open(box).read().replace("spins: 12", "spins: 24").replace(
        "grid: {x: [-0.5, 0.3, 9], y: [-0.6, 0.6, 13], z: 0, turn: [0, 90, 2]}",
        "grid: {x: [-0.2, 0.2, 2], y: [-0.2, 0.2, 2]}").replace(
        "box_points.csv", os.path.abspath(os.path.join(STUDIES, "box_points.csv"))).replace(
        "../arms", os.path.abspath(os.path.join(STUDIES, "..", "arms"))))
    command = os.environ.get("ARMKIN_COMMAND")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, scheduler_port=0) as cluster, \
            distributed.Client(cluster) as client:
        for study in (tmp_path / "known.yaml", box_small):
            folder = tmp_path / study.stem
            want = read(reach.run(str(study), out=folder / "threads", chunk_size=7,
                                  threads=2, progress=False).folder)
            assert want[0].count(b"\n") == reach.load(str(study)).pair_count + 1
            for chunk in (3, 64):
                got = reach.run(str(study), client=client, out=folder / f"cluster{chunk}",
                                chunk_size=chunk, progress=False)
                assert read(got.folder) == want, chunk
            if command:
                # Handing over to the cluster once is enough.
                for extra in ([["--threads", "1", "--chunk", "3"]] +
                              [["--chunk", "5", "--scheduler", cluster.scheduler_address]] *
                              (study == box_small)):
                    out = folder / ("command" + extra[-1].replace("/", "").replace(":", ""))
                    r = subprocess.run([command, "reach", str(study), "--out", str(out)] + extra,
                                       capture_output=True, text=True, timeout=120)
                    assert r.returncode == 0, r.stderr
                    assert read(out) == want, extra
                    assert r.stdout.startswith(want[2].decode())

        # A worker killed mid-study: its chunks are computed again, none is
        # lost or written twice.
        victim = list(client.run(os.getpid).values())[0]
        killed = []

        def kill_once(done, total):
            if not killed and done >= total // 5:
                os.kill(victim, signal.SIGKILL)
                killed.append(done)

        got = reach.run(str(box_small), client=client, out=tmp_path / "box" / "killed",
                        chunk_size=8, in_flight=6, progress=kill_once)
        assert killed and read(got.folder) == read(tmp_path / "box" / "threads")
        assert victim not in client.run(os.getpid).values()


def test_bad_studies_and_interrupted_runs_say_why(known, tmp_path):
    with pytest.raises(ValueError, match="missing 'arm'"):
        reach.load({"targets": {"points": [[0, 0, 0, 0, 0, 1]]}, "placements": {"list": [[0, 0, 0]]}})
    with pytest.raises(ValueError, match="no/such"):
        reach.load(tmp_path / "no" / "such.yaml")

    def stop(done, total):
        raise KeyboardInterrupt
    study = known[2]
    reach.run(study, out=tmp_path / "stopped", progress=False)
    with pytest.raises(KeyboardInterrupt):
        reach.run(study, out=tmp_path / "stopped", chunk_size=3, progress=stop)
    # What was written stays marked as unfinished, and the earlier run's
    # files are gone.
    assert sorted(os.listdir(tmp_path / "stopped")) == ["pairs.csv.partial"]
    r = subprocess.run([sys.executable, "-m", "armkin.reach", str(tmp_path / "none.yaml"),
                        "--out", str(tmp_path)], capture_output=True, text=True)
    assert r.returncode == 2 and r.stderr.startswith("armkin: ") and "none.yaml" in r.stderr


def test_pictures(tmp_path):
    import armkin.reach_plot as rp
    from matplotlib.text import Text
    study = open(os.path.join(STUDIES, "box_cell.yaml")).read().replace(
        "x: [-0.5, 0.3, 9], y: [-0.6, 0.6, 13]", "x: [-0.3, 0.1, 3], y: [-0.4, 0.4, 3]")
    (tmp_path / "s.yaml").write_text(study.replace("box_points.csv", os.path.abspath(
        os.path.join(STUDIES, "box_points.csv"))).replace("../arms", os.path.abspath(
            os.path.join(STUDIES, "..", "arms"))))
    res = reach.run(str(tmp_path / "s.yaml"), out=tmp_path / "r", progress=False)
    best = res.placements.iloc[0]
    figures = [rp.targets(res, tmp_path / "t.png"), rp.placements(res, tmp_path / "p.png"),
               rp.compare(res, int(best["placement"]), int(res.placements.iloc[-1]["placement"]),
                          tmp_path / "c.svg")]
    for name in ("t.png", "p.png", "c.svg"):
        assert (tmp_path / name).stat().st_size > 5000
    texts = [" ".join(t.get_text() for t in f.findobj(Text)) for f in figures]
    assert f"reaches {best['reach_fraction']:.0%}" in texts[1]
    assert f"{int(best['reached'])} of 156 targets reached" in texts[0]
    assert "only A" in texts[2] and "neither" in texts[2]
