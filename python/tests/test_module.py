"""The module against the C++ library, and its argument checks."""

import os
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


def test_batch_on_several_threads_equals_one_thread(builtin):
    rng = np.random.default_rng(11)
    Ts = builtin.fk_batch(rng.uniform(-np.pi, np.pi, (300, 6)))
    one = builtin.ik_batch(Ts, threads=1)
    for threads in (2, 3, 0):
        many = builtin.ik_batch(Ts, threads=threads)
        assert len(many) == len(one)
        assert all(np.array_equal(a, b) for a, b in zip(one, many))
    assert all(np.array_equal(a, builtin.ik(T)) for a, T in zip(one[:20], Ts[:20]))
    with pytest.raises(ValueError):
        builtin.ik_batch(Ts[0])
    with pytest.raises(ValueError):
        builtin.ik_batch(Ts, threads=-1)


def test_limits_are_read_and_set(builtin):
    limits = builtin.limits
    assert limits.shape == (6, 2)
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
