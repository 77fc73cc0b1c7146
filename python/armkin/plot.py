"""Pictures of an arm's inverse-kinematics solutions, drawn with matplotlib.

    import armkin, armkin.plot
    arm = armkin.Arm.builtin()
    T = arm.fk([0.3, -0.5, 0.8, 0.2, 0.6, -0.4])
    armkin.plot.solutions(arm, T, "solutions.png")
    armkin.plot.workspace(arm, "xz", "workspace.png")

Both functions write a PNG or SVG file (chosen by the file name's suffix)
and return the matplotlib figure.
"""

import math

import matplotlib

matplotlib.use("Agg")  # files only; never opens a window
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

_AXIS_COLOURS = ("tab:red", "tab:green", "tab:blue")


def _solve_all(arm, T):
    """Every solution of T: the all-branch solver where there is one."""
    if hasattr(arm, "ik"):
        return np.asarray(arm.ik(T))
    return np.asarray(arm.ik_ptp(T))


def _branches(arm, Q):
    """The distinct configurations among solutions Q: copies 2 pi apart of a
    turning joint (listed when the limits hold several) look the same."""
    Q = np.asarray(Q, dtype=float).reshape(-1, 6)
    turning = np.array([t == "R" for t in arm.joint_types])
    wrapped = Q.copy()
    wrapped[:, turning] = np.angle(np.exp(1j * Q[:, turning]))
    keep, seen = [], []
    for q, w in zip(Q, wrapped):
        if not any(np.max(np.abs(np.angle(np.exp(1j * (w - v))))) < 1e-6 for v in seen):
            seen.append(w)
            keep.append(q)
    return np.array(keep).reshape(-1, 6)


def _reach(arm):
    """A radius around the base that holds the whole arm at any pose."""
    F = arm.frames(np.zeros(6))
    pts = F[:, :3, 3]
    return float(np.sum(np.linalg.norm(np.diff(pts, axis=0), axis=1))) + 1e-9


def _draw_triad(ax, T, length, label_prefix=None, width=2.0):
    origin = T[:3, 3]
    for i, colour in enumerate(_AXIS_COLOURS):
        tip = origin + length * T[:3, i]
        label = f"{label_prefix} {'XYZ'[i]}" if label_prefix else None
        ax.plot(*zip(origin, tip), color=colour, linewidth=width, label=label)


def _draw_arm(ax, arm, q):
    F = arm.frames(q)
    pts = F[:, :3, 3]
    ax.plot(pts[:, 0], pts[:, 1], pts[:, 2], color="0.25", linewidth=3.0,
            solid_capstyle="round", label="links")
    ax.scatter(pts[1:7, 0], pts[1:7, 1], pts[1:7, 2], color="tab:orange", s=25,
               depthshade=False, label="joints", zorder=5)
    ax.scatter(*pts[0], color="black", marker="s", s=30, depthshade=False, label="base")


def _cube_limits(ax, centre, half):
    for setter, c in zip((ax.set_xlim, ax.set_ylim, ax.set_zlim), centre):
        setter(c - half, c + half)
    ax.set_box_aspect((1, 1, 1), zoom=0.85)  # room for the axis labels


def solutions(arm, T, path, solver=None, max_columns=4):
    """Draws every solution of the 4x4 pose T as a 3-D stick figure, side by
    side (copies 2 pi apart of a turning joint drawn once), each with the target frame marked (X red, Y green, Z blue), and
    writes the picture to path (.png or .svg).

    solver(arm, T) gives the (n, 6) solutions; by default every branch
    (arm.ik, or arm.ik_ptp where the module has no all-branch solver).
    Returns the figure.
    """
    T = np.asarray(T, dtype=float)
    listed = np.asarray(solver(arm, T) if solver else _solve_all(arm, T)).reshape(-1, 6)
    Q = _branches(arm, listed)
    n = max(len(Q), 1)
    cols = min(n, max_columns)
    rows = math.ceil(n / cols)
    fig = plt.figure(figsize=(3.6 * cols, 3.9 * rows + 0.6), constrained_layout=True)
    reach = _reach(arm)
    base = arm.frames(np.zeros(6))[0, :3, 3]
    centre = (base + T[:3, 3]) / 2
    half = max(np.linalg.norm(T[:3, 3] - base) / 2 + 0.15 * reach, 0.35 * reach)
    if len(Q) == 0:
        ax = fig.add_subplot(1, 1, 1, projection="3d")
        _draw_triad(ax, T, 0.15 * reach, "target")
        ax.set_title("no solution")
        _cube_limits(ax, centre, half)
    for k, q in enumerate(Q):
        ax = fig.add_subplot(rows, cols, k + 1, projection="3d")
        _draw_arm(ax, arm, q)
        _draw_triad(ax, T, 0.12 * reach, "target")
        ax.set_title(f"solution {k}\n" + " ".join(f"{v:+.2f}" for v in q), fontsize=8)
        ax.set_xlabel("x [m]", fontsize=7, labelpad=-2)
        ax.set_ylabel("y [m]", fontsize=7, labelpad=-2)
        ax.set_zlabel("z [m]", fontsize=7, labelpad=-2)
        ax.tick_params(labelsize=6, pad=0)
        _cube_limits(ax, centre, half)
    handles, labels = fig.axes[0].get_legend_handles_labels()
    fig.legend(handles, labels, loc="lower center", ncol=len(labels), fontsize=8, frameon=False)
    p = T[:3, 3]
    copies = (f" ({len(listed)} with the copies 2\u03c0 apart inside the limits)"
              if len(listed) > len(Q) else "")
    fig.suptitle(f"{len(Q)} solutions{copies} for the tool at ({p[0]:.3f}, {p[1]:.3f}, "
                 f"{p[2]:.3f}) m{' - ' + arm.name if arm.name else ''}", fontsize=11)
    fig.savefig(path)
    plt.close(fig)
    return fig


def workspace(arm, plane, path, rotation=None, offset=0.0, resolution=61, solver=None):
    """Maps how many distinct inverse-kinematics solutions (copies 2 pi
    apart counted once) each point of a slice
    through the workspace has, for one tool orientation, and writes the
    picture to path (.png or .svg).

    plane is "xz", "yz" or "xy": the slice at y = offset, x = offset or
    z = offset (world coordinates, metres). rotation is the tool's 3x3
    rotation (default: the rotation at zero joints). Returns the figure.
    """
    if plane not in ("xz", "yz", "xy"):
        raise ValueError("plane must be 'xz', 'yz' or 'xy'")
    R = np.asarray(rotation, dtype=float) if rotation is not None else arm.fk(np.zeros(6))[:3, :3]
    reach = _reach(arm)
    base = arm.frames(np.zeros(6))[0, :3, 3]
    axes = {"x": 0, "y": 1, "z": 2}
    a, b = axes[plane[0]], axes[plane[1]]
    c = 3 - a - b
    u = np.linspace(base[a] - reach, base[a] + reach, resolution)
    v = np.linspace(base[b] - reach, base[b] + reach, resolution)
    counts = np.zeros((resolution, resolution))
    T = np.eye(4)
    T[:3, :3] = R
    for j, vb in enumerate(v):
        for i, ua in enumerate(u):
            T[a, 3], T[b, 3], T[c, 3] = ua, vb, offset
            Q = solver(arm, T) if solver else _solve_all(arm, T)
            counts[j, i] = len(_branches(arm, Q))
    fig, ax = plt.subplots(figsize=(6.4, 5.4), constrained_layout=True)
    top = max(int(counts.max()), 1)
    cmap = plt.get_cmap("viridis", top + 1)
    image = ax.imshow(counts, origin="lower", extent=(u[0], u[-1], v[0], v[-1]), cmap=cmap,
                      vmin=-0.5, vmax=top + 0.5, interpolation="nearest")
    bar = fig.colorbar(image, ax=ax, ticks=range(top + 1))
    bar.set_label("number of solutions")
    ax.plot(base[a], base[b], "s", color="white", markeredgecolor="black", label="base")
    ax.legend(loc="upper right", fontsize=8)
    ax.set_xlabel(f"{plane[0]} [m]")
    ax.set_ylabel(f"{plane[1]} [m]")
    ax.set_title(f"Solutions per tool position, {'xyz'[c]} = {offset:g} m"
                 f"{' - ' + arm.name if arm.name else ''}", fontsize=10)
    ax.set_aspect("equal")
    hit = np.argwhere(counts > 0)
    if len(hit):
        # Show the reachable part with a margin, not the whole square.
        (j0, i0), (j1, i1) = hit.min(axis=0), hit.max(axis=0)
        mu, mv = 0.1 * (u[-1] - u[0]), 0.1 * (v[-1] - v[0])
        ax.set_xlim(max(u[0], u[i0] - mu), min(u[-1], u[i1] + mu))
        ax.set_ylim(max(v[0], v[j0] - mv), min(v[-1], v[j1] + mv))
    fig.savefig(path)
    plt.close(fig)
    return fig
