"""Pictures of an arm's inverse-kinematics solutions, drawn with matplotlib.

    import armkin, armkin.plot
    arm = armkin.Arm.builtin()
    T = arm.fk([0.3, -0.5, 0.8, 0.2, 0.6, -0.4])
    armkin.plot.solutions(arm, T, "solutions.png")
    armkin.plot.workspace(arm, "xz", "workspace.png")

Both functions write a PNG or SVG file (chosen by the file name's suffix)
and return the matplotlib figure. They build matplotlib.figure.Figure
objects and save them with fig.savefig, never through pyplot: importing the
module or drawing leaves the caller's matplotlib backend and open windows
as they were, and works without a display.
"""

import math
import textwrap

import numpy as np
from matplotlib import colormaps
from matplotlib.colors import ListedColormap
from matplotlib.figure import Figure
from matplotlib.legend_handler import HandlerTuple
from matplotlib.lines import Line2D
from matplotlib.ticker import MaxNLocator

_AXIS_COLOURS = ("tab:red", "tab:green", "tab:blue")
_LINK_COLOUR = "0.25"
_JOINT_AXIS_COLOUR = "tab:purple"


def _solve(arm, T, solver):
    """(Q, status, reason): every solution of T as an (n, 6) array, each
    one's status ('exact', 'converged', 'singular') and why there are n of
    them ('ok', 'out_of_reach', ...). status and reason are None where
    the solver does not say (a caller's solver, a module without ik)."""
    if solver is not None:
        return np.asarray(solver(arm, T), dtype=float).reshape(-1, 6), None, None
    if hasattr(arm, "ik"):
        Q, info = arm.ik(T, info=True)
        return np.asarray(Q, dtype=float).reshape(-1, 6), list(info["status"]), info["reason"]
    return np.asarray(arm.ik_ptp(T), dtype=float).reshape(-1, 6), None, None


def _branches(arm, Q):
    """Indices of the distinct configurations among solutions Q: copies 2 pi
    apart of a turning joint (listed when the limits hold several) look the
    same, so only the first of them is kept."""
    turning = np.array([t == "R" for t in arm.joint_types])
    wrapped = Q.copy()
    wrapped[:, turning] = np.angle(np.exp(1j * Q[:, turning]))
    keep, seen = [], []
    for k, w in enumerate(wrapped):
        if not any(np.max(np.abs(np.angle(np.exp(1j * (w - v))))) < 1e-6 for v in seen):
            seen.append(w)
            keep.append(k)
    return keep


def _reach(arm):
    """A radius around the base that holds the whole arm at any pose."""
    F = arm.frames(np.zeros(6))
    pts = F[:, :3, 3]
    return float(np.sum(np.linalg.norm(np.diff(pts, axis=0), axis=1))) + 1e-9


def _reference_joints(arm):
    """Zero joints, moved inside the limits where zero is outside them."""
    lim = np.asarray(arm.limits, dtype=float)
    return np.clip(np.zeros(6), lim[:, 0], lim[:, 1])


def _draw_triad(ax, T, length, gid, **style):
    origin = T[:3, 3]
    for i, colour in enumerate(_AXIS_COLOURS):
        tip = origin + length * T[:3, i]
        ax.plot(*zip(origin, tip), color=colour, gid=gid, zorder=5, **style)


def _draw_joint_axes(ax, F, length, marked=()):
    """Each joint's axis (z of its frame) as a stub from the joint to a dot:
    the way it points shows how the joint is turned. The joints in marked
    are drawn bold and numbered."""
    for i, f in enumerate(F[1:7]):
        o, z = f[:3, 3], f[:3, 2]
        bold = i in marked
        ax.plot(*zip(o, o + length * z), color=_JOINT_AXIS_COLOUR, gid="joint axis",
                linewidth=3.0 if bold else 1.5, alpha=1.0 if bold else 0.55,
                marker="o", markersize=4 if bold else 2.5, markevery=[1], zorder=3)
        if bold:
            ax.text(*(o + 1.45 * length * z), str(i), color=_JOINT_AXIS_COLOUR, fontsize=8,
                    fontweight="bold", ha="center", va="center", zorder=6,
                    bbox=dict(boxstyle="circle,pad=0.15", facecolor="white", alpha=0.8,
                              edgecolor=_JOINT_AXIS_COLOUR, linewidth=0.8))


def _draw_arm(ax, F, mount):
    """The stick figure of frames F from arm.frames. It starts at the base
    frame F[0], wherever that stands in the world; the way from there to
    joint 0's frame at zero displacement (mount) never moves, so it is drawn
    as a thin dashed mount and not as a link. The links run from mount
    through the joints to the tool."""
    pts = F[:, :3, 3]
    # Drawn in a fixed order, not sorted by depth: the links below the
    # joint axes, the joints above both, the frames on top.
    ax.computed_zorder = False
    if np.linalg.norm(mount - pts[0]) > 0:
        ax.plot(*zip(pts[0], mount), color=_LINK_COLOUR, linewidth=1.2, linestyle="--",
                gid="mount", zorder=2)
    links = np.vstack([mount, pts[1:]])
    ax.plot(links[:, 0], links[:, 1], links[:, 2], color=_LINK_COLOUR, linewidth=3.0,
            solid_capstyle="round", gid="links", zorder=2)
    ax.scatter(pts[1:7, 0], pts[1:7, 1], pts[1:7, 2], color="tab:orange", s=25,
               depthshade=False, zorder=4)
    ax.scatter(*pts[0], color="black", marker="s", s=30, depthshade=False, zorder=4)


def _box(points, margin):
    """The (lo, hi) corners of a box around points at one scale on every
    axis, no side thinner than a third of the longest, so a tall arm fills
    its panel without being drawn flat."""
    lo, hi = points.min(axis=0) - margin, points.max(axis=0) + margin
    grow = np.maximum((hi - lo).max() / 3 - (hi - lo), 0.0) / 2
    return lo - grow, hi + grow


def _dress(ax, box):
    lo, hi = box
    for setter, a, b in zip((ax.set_xlim, ax.set_ylim, ax.set_zlim), lo, hi):
        setter(a, b)
    ax.set_box_aspect(hi - lo, zoom=0.85)  # equal scale; room for the axis labels
    for name in "xyz":
        getattr(ax, f"set_{name}label")(f"{name} [m]", fontsize=7, labelpad=-2)
    ax.tick_params(labelsize=6, pad=0)
    # x ends where y starts in the default view: x drops its last tick so
    # their numbers do not run together.
    ax.xaxis.set_major_locator(MaxNLocator(4, prune="upper"))
    ax.yaxis.set_major_locator(MaxNLocator(4))
    ax.zaxis.set_major_locator(MaxNLocator(4))


def _legend_handles(reached, mounted):
    g = "0.35"
    handles = [Line2D([], [], color=_LINK_COLOUR, linewidth=3.0, label="links")]
    if mounted:
        handles += [Line2D([], [], color=_LINK_COLOUR, linewidth=1.2, linestyle="--",
                           label="fixed mount (base to joint 0)")]
    handles += [Line2D([], [], color="tab:orange", marker="o", linestyle="", label="joints"),
                Line2D([], [], color="black", marker="s", linestyle="", label="base"),
                Line2D([], [], color=g, linewidth=1.2, linestyle="--", label="target frame")]
    if reached:
        handles += [Line2D([], [], color=g, linewidth=3.0, label="tool frame"),
                    Line2D([], [], color=_JOINT_AXIS_COLOUR, linewidth=2.0,
                           label="joint axes (from each joint)")]
    axes = tuple(Line2D([], [], color=c, linewidth=2.0) for c in _AXIS_COLOURS)
    return handles + [axes], [h.get_label() for h in handles] + ["x, y, z axes"]


def _wrap(text, width_in, fontsize):
    """text broken into lines that fit width_in inches at fontsize points."""
    chars = max(20, int(width_in * 72 / (0.55 * fontsize)))
    return "\n".join(textwrap.fill(line, chars) for line in text.split("\n"))


def solutions(arm, T, path, solver=None, max_columns=4):
    """Draws every solution of the 4x4 pose T as a 3-D stick figure, side by
    side (copies 2 pi apart of a turning joint drawn once), and writes the
    picture to path (.png or .svg). Each panel shows the target frame
    (dashed), the solution's tool frame (thick; x red, y green, z blue) and
    each joint's axis, which tells apart solutions whose links coincide,
    such as the two wrist flips of a branch. A pose without solutions is
    drawn with the arm at zero joints, the target and the reason.

    solver(arm, T) gives the (n, 6) solutions; by default every branch
    (arm.ik, or arm.ik_ptp where the module has no all-branch solver).
    Returns the figure.
    """
    T = np.asarray(T, dtype=float)
    listed, status, reason = _solve(arm, T, solver)
    keep = _branches(arm, listed)
    Q = listed[keep]
    n = max(len(Q), 1)
    cols = min(n, max_columns)
    rows = math.ceil(n / cols)
    width = max(4.0 * cols, 6.4)
    fig = Figure(figsize=(width, 4.4 * rows + 1.2), layout="constrained")
    # A last, short row holds the legend, so the layout makes room for it.
    grid = fig.add_gridspec(rows + 1, cols, height_ratios=[1.0] * rows + [0.08])
    reach = _reach(arm)
    zero = arm.frames(np.zeros(6))
    base, mount = zero[0, :3, 3], zero[1, :3, 3]
    distance = float(np.linalg.norm(T[:3, 3] - base))
    shown = [arm.frames(q)[:, :3, 3] for q in (Q if len(Q) else [_reference_joints(arm)])]
    box = _box(np.vstack(shown + [T[:3, 3] + 0.22 * reach * T[:3, :3].T]), 0.06 * reach)
    p = T[:3, 3]
    named = f"{arm.name}: " if arm.name else ""
    # No-break spaces: a wrapped title keeps the position on one line.
    where = f"the tool at ({p[0]:.3f},\u00a0{p[1]:.3f},\u00a0{p[2]:.3f})\u00a0m"
    if len(Q) == 0:
        ax = fig.add_subplot(grid[0, 0], projection="3d")
        q0 = _reference_joints(arm)
        _draw_arm(ax, arm.frames(q0), mount)
        size = max(0.12 * reach, 0.06 * float(np.max(box[1] - box[0])))  # seen from afar
        _draw_triad(ax, T, size, "target", linewidth=1.6, linestyle="--")
        ax.plot(*zip(base, p), color="0.55", linewidth=1.0, linestyle=":")
        headline = {"out_of_reach": "OUT OF REACH",
                    "outside_limits": "NO SOLUTION INSIDE THE JOINT LIMITS",
                    "not_converged": "NO SOLUTION: THE SOLVER DID NOT CONVERGE"}
        ax.set_title(headline.get(reason, "NO SOLUTION"), color="tab:red",
                     fontsize=15, fontweight="bold")
        # Turning joints keep every frame at a fixed distance from the one
        # before, so their sum bounds how far the tool gets from the base.
        bound = (f", the arm reaches at most {reach:.2f} m" if set(arm.joint_types) == {"R"}
                 else "")
        ax.text2D(0.5, 0.97, f"target {distance:.2f} m from the base (dotted){bound};\n"
                  f"arm drawn at zero joints{' (or the nearest limit)' if q0.any() else ''} "
                  "for reference", transform=ax.transAxes,
                  ha="center", va="top", fontsize=9,
                  bbox=dict(boxstyle="round", facecolor="white", edgecolor="tab:red"))
        _dress(ax, box)
        fig.suptitle(_wrap(named + (f"no solution for {where}" if named else
                                    f"No solution for {where}"), width, 11), fontsize=11)
    pts = [arm.frames(q) for q in Q]
    for k, (q, F) in enumerate(zip(Q, pts)):
        ax = fig.add_subplot(grid[k // cols, k % cols], projection="3d")
        _draw_arm(ax, F, mount)
        _draw_triad(ax, T, 0.22 * reach, "target", linewidth=1.2, linestyle="--")
        _draw_triad(ax, F[7], 0.12 * reach, "tool", linewidth=3.0)
        # A wrist flip, or a half turn of the waist with the shoulder and
        # elbow mirrored, moves no link: only some joint axes tell such
        # twins apart, and those are marked.
        twins = [j for j, G in enumerate(pts) if j != k
                 and np.max(np.abs(G[:, :3, 3] - F[:, :3, 3])) < 1e-9 * reach]
        turned = sorted({i for j in twins for i in range(6)
                         if np.dot(pts[j][i + 1, :3, 2], F[i + 1, :3, 2]) < 1 - 1e-9})
        _draw_joint_axes(ax, F, 0.12 * reach, turned)
        title = f"solution {k}"
        if status is not None and status[keep[k]] == "singular":
            title += " (singular)"
        title += "\n" + " ".join(f"{v:+.2f}" for v in q)
        if twins:
            title += f"\nsame links as {', '.join(map(str, twins))}"
        if turned:
            title += (f"; axis of joint {turned[0]} differs" if len(turned) == 1 else
                      f"; axes of joints {', '.join(map(str, turned))} differ")
        ax.set_title(title, fontsize=8)
        _dress(ax, box)
    if len(Q):
        copies = (f"\n({len(listed)} listed with the copies 2\u03c0 apart inside the limits)"
                  if len(listed) > len(Q) else "")
        fig.suptitle(_wrap(f"{named}{len(Q)} solution{'s' if len(Q) != 1 else ''} for {where}"
                           + copies, width, 11), fontsize=11)
    handles, labels = _legend_handles(len(Q) > 0, np.linalg.norm(mount - base) > 0)
    key = fig.add_subplot(grid[rows, :])
    key.axis("off")
    key.legend(handles, labels, loc="center", fontsize=8, frameon=False,
               ncol=min(len(labels), max(2, int(width / 2.0))),
               handler_map={tuple: HandlerTuple(ndivide=None)})
    fig.savefig(path)
    return fig


def _orientation(R):
    def v(a):
        return "(" + ", ".join(f"{x + 0.0:.2f}" for x in np.round(a, 2)) + ")"
    return f"x axis {v(R[:, 0])}, z axis {v(R[:, 2])}"


def workspace(arm, plane, path, rotation=None, offset=None, resolution=61, solver=None):
    """Maps how many distinct inverse-kinematics solutions (copies 2 pi
    apart counted once) each point of a slice through the workspace has,
    for one tool orientation, and writes the picture to path (.png or
    .svg). The title names the orientation; cells where a solution is
    singular are crossed.

    plane is "xz", "yz" or "xy": the slice at y = offset, x = offset or
    z = offset (world coordinates, metres; default through the base).
    rotation is the tool's 3x3 rotation (default: the rotation at zero
    joints). Returns the figure.
    """
    if plane not in ("xz", "yz", "xy"):
        raise ValueError("plane must be 'xz', 'yz' or 'xy'")
    R = np.asarray(rotation, dtype=float) if rotation is not None else arm.fk(np.zeros(6))[:3, :3]
    reach = _reach(arm)
    base = arm.frames(np.zeros(6))[0, :3, 3]
    axes = {"x": 0, "y": 1, "z": 2}
    a, b = axes[plane[0]], axes[plane[1]]
    c = 3 - a - b
    if offset is None:
        offset = float(base[c])
    u = np.linspace(base[a] - reach, base[a] + reach, resolution)
    v = np.linspace(base[b] - reach, base[b] + reach, resolution)
    counts = np.zeros((resolution, resolution))
    singular = np.zeros((resolution, resolution), dtype=bool)
    T = np.eye(4)
    T[:3, :3] = R
    for j, vb in enumerate(v):
        for i, ua in enumerate(u):
            T[a, 3], T[b, 3], T[c, 3] = ua, vb, offset
            Q, status, _ = _solve(arm, T, solver)
            keep = _branches(arm, Q)
            counts[j, i] = len(keep)
            singular[j, i] = status is not None and any(status[k] == "singular" for k in keep)
    hit = np.argwhere(counts > 0)
    xlim, ylim = (u[0], u[-1]), (v[0], v[-1])
    if len(hit):
        # Show the reachable part with a margin, not the whole square.
        (j0, i0), (j1, i1) = hit.min(axis=0), hit.max(axis=0)
        mu, mv = 0.1 * (u[-1] - u[0]), 0.1 * (v[-1] - v[0])
        xlim = (max(u[0], u[i0] - mu), min(u[-1], u[i1] + mu))
        ylim = (max(v[0], v[j0] - mv), min(v[-1], v[j1] + mv))
    # The figure takes the map's proportions, so the colour bar matches the
    # map's height and a flat map leaves no empty band.
    map_w = 4.6
    map_h = min(max(map_w * (ylim[1] - ylim[0]) / (xlim[1] - xlim[0]), 1.8), 6.0)
    fig = Figure(figsize=(6.4, map_h + 1.9), layout="constrained")
    grid = fig.add_gridspec(2, 1, height_ratios=[map_h, 0.25])
    ax = fig.add_subplot(grid[0])
    top = max(int(counts.max()), 1)
    cmap = ListedColormap(colormaps["viridis"](np.linspace(0, 1, top + 1)))
    image = ax.imshow(counts, origin="lower", extent=(u[0], u[-1], v[0], v[-1]), cmap=cmap,
                      vmin=-0.5, vmax=top + 0.5, interpolation="nearest")
    bar = fig.colorbar(image, ax=ax, ticks=range(top + 1))
    bar.set_label("number of solutions")
    handles = ax.plot(base[a], base[b], "s", color="white", markeredgecolor="black",
                      label="base")
    if singular.any():
        js, is_ = np.nonzero(singular)
        du = u[1] - u[0] if resolution > 1 else 1.0
        cell = 72 * min(map_w * du / (xlim[1] - xlim[0]), map_h * du / (ylim[1] - ylim[0]))
        handles.append(ax.scatter(u[is_], v[js], marker="x", color="tab:red", linewidths=1.2,
                                  s=max(9.0, (0.6 * cell) ** 2),
                                  label="singular solution in the cell"))
    key = fig.add_subplot(grid[1])
    key.axis("off")
    key.legend(handles=handles, loc="center", ncol=2, fontsize=8, frameon=False)
    ax.set_xlabel(f"{plane[0]} [m]")
    ax.set_ylabel(f"{plane[1]} [m]")
    which = "the one at zero joints" if rotation is None else "as given"
    ax.set_title(f"{arm.name + ': solutions' if arm.name else 'Solutions'} per tool position, "
                 f"{'xyz'[c]} = {offset:g} m\ntool orientation held fixed ({which}):\n"
                 f"{_orientation(R)}", fontsize=9.5)
    ax.set_aspect("equal")
    ax.set_xlim(*xlim)
    ax.set_ylim(*ylim)
    if not len(hit):
        ax.text(0.5, 0.5, "no point of this slice is reachable\nwith this tool orientation",
                transform=ax.transAxes, ha="center", va="center", color="white", fontsize=11)
    fig.savefig(path)
    return fig
