"""The module against the C++ library, and its argument checks."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

import armkin


def typed_vectors(count):
    """The joint vectors of tests/reference.cpp: LCG integers / 1000."""
    state = 12345
    out = []
    for _ in range(count):
        q = []
        for _ in range(6):
            state = (state * 1664525 + 1013904223) % 2**32
            q.append(((state >> 8) % 6283 - 3141) / 1000.0)
        out.append(q)
    return np.array(out)


def reference(arm_name, count):
    """Every result line of the C++ reference program, parsed."""
    program = os.environ["ARMKIN_REFERENCE"]
    text = subprocess.run([program, arm_name, str(count)], check=True, capture_output=True,
                          text=True).stdout
    fk, ik = {}, {}
    for line in text.splitlines():
        f = line.split()
        if f[0] == "fk":
            fk[int(f[1])] = np.array([float.fromhex(v) for v in f[2:]]).reshape(4, 4)
        else:
            ik.setdefault((f[0], int(f[1])), []).append([float.fromhex(v) for v in f[3:]])
    return fk, ik


@pytest.mark.skipif("ARMKIN_REFERENCE" not in os.environ, reason="needs the reference program")
def test_results_equal_the_library_bit_for_bit(builtin):
    count = 40
    fk, ik = reference("builtin", count)
    Q = typed_vectors(count)
    batch = builtin.fk_batch(Q)
    for n, q in enumerate(Q):
        T = builtin.fk(q)
        assert np.array_equal(T, fk[n])
        assert np.array_equal(batch[n], fk[n])
        for name, got in (("ptp", builtin.ik_ptp(T)), ("cp", builtin.ik_cp(T, q)),
                          ("position", builtin.ik_position(T, q))):
            want = np.array(ik.get((name, n), np.zeros((0, 6))))
            assert got.shape == want.shape
            assert np.array_equal(got, want), (name, n)


@pytest.mark.parametrize("call, error", [
    (lambda a: a.fk([0.0] * 5), ValueError),
    (lambda a: a.fk(np.zeros((2, 6))), ValueError),
    (lambda a: a.fk([0, 0, np.nan, 0, 0, 0]), ValueError),
    (lambda a: a.fk([0, 0, np.inf, 0, 0, 0]), ValueError),
    (lambda a: a.fk(["a"] * 6), TypeError),
    (lambda a: a.fk(np.zeros(6, dtype=complex)), TypeError),
    (lambda a: a.fk(None), TypeError),
    (lambda a: a.fk_batch(np.zeros(6)), ValueError),
    (lambda a: a.fk_batch(np.zeros((3, 7))), ValueError),
    (lambda a: a.ik_ptp(np.zeros((4, 4))), ValueError),          # rotation not orthonormal
    (lambda a: a.ik_ptp(np.eye(3)), ValueError),
    (lambda a: a.ik_ptp(np.eye(4) * 2), ValueError),
    (lambda a: a.ik_cp(np.eye(4), [0.0] * 7), ValueError),
    (lambda a: setattr(a, "limits", np.zeros((6, 3))), ValueError),
    (lambda a: setattr(a, "limits", [[1, -1]] * 6), ValueError),
])
def test_bad_arguments_raise(builtin, call, error):
    with pytest.raises(error):
        call(builtin)


def test_every_solution_within_tolerance_and_the_typed_vector_among_them(builtin):
    rng = np.random.default_rng(7)
    for q in rng.uniform(-np.pi, np.pi, (50, 6)):
        T = builtin.fk(q)
        Q, info = builtin.ik(T, info=True)
        assert info["reason"] == "ok"
        assert np.all(info["position_error"] <= 1e-10) and np.all(info["rotation_error"] <= 1e-10)
        for s in Q:
            assert np.abs(builtin.fk(s) - T).max() < 1e-9
        gap = np.abs(np.angle(np.exp(1j * (Q - q)))).max(axis=1)
        assert gap.min() < 1e-7
        near = builtin.ik_nearest(T, q + 0.05)
        assert np.abs(np.angle(np.exp(1j * (near - q)))).max() < 1e-7
    Q, info = builtin.ik(builtin.fk(np.zeros(6)), info=True)  # arm straight up
    assert set(info["status"]) == {"singular"}
    Q, info = builtin.ik(np.array([[1, 0, 0, 5], [0, 1, 0, 0], [0, 0, 1, 0], [0, 0, 0, 1.0]]), info=True)
    assert Q.shape == (0, 6) and info["reason"] == "out_of_reach"


def test_batch_equals_ik_per_pose_on_any_thread_count(builtin):
    rng = np.random.default_rng(11)
    Ts = builtin.fk_batch(rng.uniform(-np.pi, np.pi, (600, 6)))
    Ts[7, 0, 3] = 9.0                                   # out of reach
    one = builtin.ik_batch(Ts, threads=1, info=True)
    flat = ("joints", "offsets", "position_error", "rotation_error", "status_codes",
            "reason_codes", "branches", "truncated")
    for threads in (2, 0):
        many = builtin.ik_batch(Ts, threads=threads)
        assert all(np.array_equal(getattr(one, f), getattr(many, f)) for f in flat)
    assert len(one) == 600 and one.offsets[-1] == len(one.joints)
    for i in (0, 7, 255, 256, -1):                      # chunk edges and the refused pose
        Q, info = builtin.ik(Ts[i], info=True)
        got, got_info = one[i]
        assert np.array_equal(got, Q)
        for key in info:
            assert np.array_equal(got_info[key], info[key]), (i, key)
    assert one[7][1]["reason"] == "out_of_reach" and one.reasons[7] == "out_of_reach"
    assert [len(q) for q, _ in one[:3]] == list(one.counts[:3])
    with pytest.raises(ValueError):
        builtin.ik_batch(Ts[0])
    with pytest.raises(ValueError):
        builtin.ik_batch(Ts, threads=-1)


def test_limits_are_read_and_set(builtin):
    with pytest.raises(ValueError, match="read-only"):
        builtin.limits[0, 0] = -0.01                    # a copy: the write would be lost
    limits = builtin.limits.copy()
    limits[0] = (-1.0, 2.0)
    builtin.limits = limits
    assert tuple(builtin.limits[0]) == (-1.0, 2.0)
    # Results outside the limits are dropped; each branch is listed once.
    T = builtin.fk([0.5, 0.2, 0.3, 0.4, 0.5, 0.6])
    Q = builtin.ik(T)
    assert len(Q) > 0 and np.all((Q[:, 0] >= -1.0) & (Q[:, 0] <= 2.0))
    limits[5] = (-2 * np.pi, 2 * np.pi)
    builtin.limits = limits
    wide = builtin.ik(T)
    assert len(wide) == len(Q)


def test_from_description_matches_builtin(builtin):
    X, Y = np.eye(3), np.array([[0, 1, 0], [0, 0, 1], [1, 0, 0]], dtype=float)  # columns: axes
    heights = [0, 1.1, 2.0, 3.0, 3.0, 3.0, 3.2]
    axes = [X, Y, Y, X, Y, X, X]
    arm = armkin.Arm.from_description("RRRRRR", [0, 0, 0], X, [[0, 0, h] for h in heights], axes)
    q = [0.3, -0.2, 0.5, 0.1, 0.7, -0.4]
    assert np.array_equal(arm.fk(q), builtin.fk(q))
    with pytest.raises(ValueError):
        armkin.Arm.from_description("RRRSRR", [0, 0, 0], X, [[0, 0, h] for h in heights], axes)


def changed(T, **change):
    """T with the entries named like r01=... changed."""
    T = T.copy()
    for key, value in change.items():
        T[int(key[1]), int(key[2])] = value
    return T


GOOD = armkin.Arm.builtin().fk([0.3, -0.2, 0.5, 0.1, 0.7, -0.4])


@pytest.mark.parametrize("T, reason", [
    (changed(GOOD, r00=GOOD[0, 0] + 1e-6), "not orthonormal within 1e-9"),
    (np.diag([1.0, 1.0, -1.0, 1.0]), "reflection"),
    (changed(GOOD, r11=np.nan), "not finite"),
    (changed(GOOD, r03=np.inf), "not finite"),
    (changed(GOOD, r32=0.5), "last row"),
])
def test_bad_poses_are_refused_with_the_reason(builtin, T, reason):
    with pytest.raises(ValueError, match="T: .*" + reason):
        builtin.ik(T)
    with pytest.raises(ValueError, match="T: .*" + reason):
        builtin.ik_nearest(T, np.zeros(6))
    with pytest.raises(ValueError, match=r"Ts\[1\]: .*" + reason):
        builtin.ik_batch(np.stack([GOOD, T, GOOD]))
    with pytest.raises(ValueError, match="copies"):
        builtin.ik(GOOD, copies="every")


def test_orthonormalize_solves_a_rounded_pose(builtin):
    q = np.array([0.3, -0.2, 0.5, 0.1, 0.7, -0.4])
    T = np.round(builtin.fk(q), 4)
    with pytest.raises(ValueError, match="orthonormal"):
        builtin.ik(T)
    Q, info = builtin.ik(T, info=True, orthonormalize=True)
    assert info["reason"] == "ok" and len(Q) == 8
    assert np.abs(Q - q).max(axis=1).min() < 1e-3
    # Residuals are against T as given: about the rounding, not zero.
    assert np.all(info["rotation_error"] > 1e-8) and np.all(info["rotation_error"] < 1e-3)
    batch = builtin.ik_batch(np.stack([T, T]), orthonormalize=True)
    assert np.array_equal(batch[1], Q)


def test_copies_all_lists_every_branch_first_then_the_copies(builtin):
    builtin.limits = np.tile([-2 * np.pi, 2 * np.pi], (6, 1))
    T = builtin.fk([0.3, -0.2, 0.5, 0.1, 0.7, -0.4])
    nearest = builtin.ik(T)
    Q, info = builtin.ik(T, info=True, copies="all")
    assert info["branches"] == len(nearest) == 8 and not info["truncated"]
    assert np.array_equal(Q[:8], nearest)
    assert len(Q) == 8 * 2**6 and np.all(np.abs(Q) <= 2 * np.pi)
    wrapped = np.round(np.angle(np.exp(1j * Q)), 6)
    assert len(np.unique(wrapped, axis=0)) == 8 and len(np.unique(np.round(Q, 6), axis=0)) == len(Q)
    builtin.limits = np.tile([-3 * np.pi, 3 * np.pi], (6, 1))   # 8 * 3^6 copies: cut at 1024
    with pytest.warns(RuntimeWarning, match="1024"):
        Q, info = builtin.ik(T, info=True, copies="all")
    assert len(Q) == armkin.MAX_SOLUTIONS and info["truncated"] and info["branches"] == 8


def test_nearest_without_solution_is_none_with_the_reason(builtin):
    far = changed(GOOD, r03=9.0)
    assert builtin.ik_nearest(far, np.zeros(6)) is None
    q, info = builtin.ik_nearest(far, np.zeros(6), info=True)
    assert q is None and info["reason"] == "out_of_reach" and "reach" in info["message"]
    q, info = builtin.ik_nearest(GOOD, np.zeros(6), info=True)
    assert info["reason"] == "ok" and info["position_error"] < 1e-10 and q.shape == (6,)


def test_arm_files_by_extension_with_paths(builtin, arms_dir):
    arms = pathlib.Path(arms_dir)
    urdf = armkin.Arm.from_file(arms / "builtin.urdf")
    yaml = armkin.Arm.from_file(arms / "builtin.yaml")
    q = [0.3, -0.2, 0.5, 0.1, 0.7, -0.4]
    for arm in (urdf, yaml, armkin.Arm.from_urdf(arms / "builtin.urdf")):
        assert np.abs(arm.fk(q) - builtin.fk(q)).max() < 1e-12
        assert arm.joint_names[:3] == ["waist", "shoulder", "elbow"] and len(arm.joint_names) == 6
    assert repr(yaml) == ("<armkin.Arm 'builtin' RRRRRR, spherical wrist, "
                          "limits [-3.142, 3.142] on every joint>")
    assert builtin.joint_names == [f"joint{i}" for i in range(6)]
    assert repr(builtin) == "<armkin.Arm 'builtin' RRRRRR, spherical wrist, no limits>"
    with pytest.raises(ValueError, match="YAML"):
        armkin.Arm.from_file(arms / "builtin.yaml", tip="tool")
    with pytest.raises(ValueError, match="missing.urdf"):
        armkin.Arm.from_file(arms / "missing.urdf")
