"""Pictures of a reach study's results (armkin.reach.run), drawn with
matplotlib without pyplot (as armkin.plot):

    import armkin.reach, armkin.reach_plot as rp
    res = armkin.reach.run("cell.yaml", out="results")
    rp.targets(res, "targets.png")                 # the best placement's targets in 3-D
    rp.placements(res, "placements.png")           # reach fraction over the placements
    rp.compare(res, 12, 40, "compare.png")         # what one placement reaches that another does not

Each writes a PNG or SVG file (by the suffix) and returns the Figure. They
read pairs.csv a million rows at a time, keeping only the placements drawn.
"""

import math

import numpy as np
from matplotlib import colormaps
from matplotlib.figure import Figure
from matplotlib.lines import Line2D
from matplotlib.ticker import MaxNLocator

_UNREACHED = "tab:red"
_CATEGORIES = (("both", "tab:green"), ("only A", "tab:blue"), ("only B", "tab:orange"),
               ("neither", _UNREACHED))


def _rows(results, wanted):
    """The pairs.csv rows of the placements in wanted, as one DataFrame."""
    import pandas
    parts = [c[c["placement"].isin(wanted)]
             for c in results.pairs(chunksize=1_000_000,
                                    usecols=["target", "placement", "status", "branches",
                                             "manipulability", "limit_distance", "seed_distance"])]
    return pandas.concat(parts, ignore_index=True)


def _placement_text(results, p):
    x, y, z, turn = results.study.placements[p]
    return f"placement {p} at ({x:.3g}, {y:.3g}, {z:.3g}) m, turned {math.degrees(turn):.3g}\u00b0"


def _score(results, score):
    return score or results.study.score


def _draw_base(ax, results, p, label=None, colour="black"):
    """The arm's base as a square, with its X axis as a short line."""
    x, y, z, turn = results.study.placements[p]
    reach = np.ptp(results.study.targets[:, :3, 3], axis=0).max() * 0.15 + 1e-3
    ax.scatter([x], [y], [z], marker="s", s=60, color=colour, depthshade=False, zorder=5)
    ax.plot([x, x + reach * math.cos(turn)], [y, y + reach * math.sin(turn)], [z, z],
            color=colour, linewidth=2)
    if label:
        ax.text(x, y, z + reach * 0.5, label, color=colour, fontsize=10, fontweight="bold")


def _equal_box(ax, points):
    lo, hi = points.min(axis=0), points.max(axis=0)
    centre, half = (lo + hi) / 2, max((hi - lo).max() / 2, 1e-3) * 1.05
    for setter, c in zip((ax.set_xlim, ax.set_ylim, ax.set_zlim), centre):
        setter(c - half, c + half)
    ax.set_box_aspect((1, 1, 1), zoom=0.9)
    for name in "xyz":
        getattr(ax, f"set_{name}label")(f"{name} [m]", fontsize=8)
    ax.tick_params(labelsize=7)


def targets(results, path, placement=None, score=None):
    """The targets in 3-D for one placement (default: the best ranked):
    reached ones coloured by the score of their best branch (default the
    study's), the others as red crosses; the base drawn where it stands."""
    score = _score(results, score)
    ranked = results.placements
    p = int(ranked["placement"].iloc[0]) if placement is None else int(placement)
    rows = _rows(results, [p]).sort_values("target")
    pos = results.study.targets[:, :3, 3][rows["target"].to_numpy()]
    reached = (rows["status"] == "ok").to_numpy()
    fig = Figure(figsize=(7.0, 6.0), layout="constrained")
    ax = fig.add_subplot(projection="3d")
    handles = []
    if reached.any():
        values = rows[score].to_numpy()[reached]
        cmap = colormaps["viridis" if score != "seed_distance" else "viridis_r"]
        dots = ax.scatter(*pos[reached].T, c=values, cmap=cmap, s=18, depthshade=False)
        bar = fig.colorbar(dots, ax=ax, shrink=0.6, pad=0.08)
        bar.set_label(f"{score.replace('_', ' ')} of the best branch")
        handles.append(Line2D([], [], marker="o", linestyle="", color=cmap(0.6), label="reached"))
    if (~reached).any():
        ax.scatter(*pos[~reached].T, marker="x", color=_UNREACHED, s=22, depthshade=False)
        handles.append(Line2D([], [], marker="x", linestyle="", color=_UNREACHED,
                              label="not reached"))
    _draw_base(ax, results, p)
    handles.append(Line2D([], [], marker="s", linestyle="", color="black", label="arm base"))
    x, y, z, _ = results.study.placements[p]
    _equal_box(ax, np.vstack([pos, [[x, y, z]]]))
    ax.legend(handles=handles, loc="upper left", fontsize=8)
    fig.suptitle(f"{results.study.name}: {_placement_text(results, p)}\n"
                 f"{reached.sum()} of {len(rows)} targets reached "
                 f"({reached.mean():.0%})", fontsize=10)
    fig.savefig(path)
    return fig


def _is_grid(table):
    """Whether the placements fill a regular grid of x and y, one each."""
    xs, ys = np.unique(table["x"]), np.unique(table["y"])
    return len(xs) > 1 and len(ys) > 1 and len(xs) * len(ys) == len(table)


def _grid_image(ax, table, value):
    """table's value over x and y, as an image of the grid's cells."""
    xs, ys = np.unique(table["x"]), np.unique(table["y"])
    image = np.full((len(ys), len(xs)), np.nan)
    image[np.searchsorted(ys, table["y"]), np.searchsorted(xs, table["x"])] = table[value]
    dx, dy = (xs[-1] - xs[0]) / (len(xs) - 1), (ys[-1] - ys[0]) / (len(ys) - 1)
    return ax.imshow(image, origin="lower", cmap="viridis", vmin=0.0, vmax=1.0,
                     extent=(xs[0] - dx / 2, xs[-1] + dx / 2, ys[0] - dy / 2, ys[-1] + dy / 2),
                     interpolation="nearest")


def _scattered(ax, table):
    """Placements that are no grid: each a square coloured by its reach
    fraction, a line in the direction its X axis is turned, and its index
    and fraction beside it."""
    dots = ax.scatter(table["x"], table["y"], c=table["reach_fraction"], cmap="viridis",
                      vmin=0.0, vmax=1.0, marker="s", s=90, edgecolors="black", zorder=3)
    span = max(np.ptp(table["x"]), np.ptp(table["y"]), 0.1)
    for row in table.itertuples():
        ax.plot([row.x, row.x + 0.06 * span * math.cos(row.turn)],
                [row.y, row.y + 0.06 * span * math.sin(row.turn)], color="black", zorder=2)
        ax.annotate(f"{row.placement}: {row.reach_fraction:.0%}", (row.x, row.y),
                    xytext=(6, 6), textcoords="offset points", fontsize=7)
    ax.margins(0.15)
    return dots


def placements(results, path, max_panels=6):
    """The reach fraction over the placements' x and y. Placements on a
    grid: a heat map per height and turn (beyond max_panels of them, the
    best over height and turn at each x, y); other placements: one map of
    squares, each with its turn and fraction. The best placement is
    starred."""
    table = results.placements
    best = table.iloc[0]
    groups = [(f"z = {z:.3g} m, turn {math.degrees(t):.3g}\u00b0", g)
              for (z, t), g in table.groupby(["z", "turn"], sort=True)]
    if not all(_is_grid(g) for _, g in groups):
        panels = [("each placement: its reach fraction; the line shows its turn", None)]
    elif len(groups) <= max_panels:
        panels = groups
    else:
        panels = [("best over height and turn",
                   table.sort_values("rank").drop_duplicates(["x", "y"]))]
    cols = min(len(panels), 3)
    rows = math.ceil(len(panels) / cols)
    fig = Figure(figsize=(4.2 * cols + 1.2, 3.9 * rows + 0.9), layout="constrained")
    image = None
    axes = []
    for k, (title, g) in enumerate(panels):
        ax = fig.add_subplot(rows, cols, k + 1)
        axes.append(ax)
        image = _scattered(ax, table) if g is None else _grid_image(ax, g, "reach_fraction")
        here = (table if g is None else g)
        here = here[here["placement"] == best["placement"]]
        if len(here):
            ax.plot(here["x"], here["y"], marker="*", color="white", markeredgecolor="black",
                    markersize=16, linestyle="", label="best placement", zorder=4)
            ax.legend(loc="best", fontsize=7)
        ax.set_title(title, fontsize=9)
        ax.set_xlabel("x [m]")
        ax.set_ylabel("y [m]")
        ax.set_aspect("equal")
    bar = fig.colorbar(image, ax=axes, shrink=0.85)
    bar.set_label("reach fraction")
    fig.suptitle(f"{results.study.name}: reach fraction of {len(table)} placements; best "
                 f"{int(best['placement'])} at ({best['x']:.3g}, {best['y']:.3g}, "
                 f"{best['z']:.3g}) m reaches {best['reach_fraction']:.0%}", fontsize=10)
    fig.savefig(path)
    return fig


def compare(results, a, b, path, score=None):
    """Two placements side by side: the targets in 3-D by which of them
    reaches each (both, only A, only B, neither), and the spread of the
    best branches' score at each."""
    score = _score(results, score)
    a, b = int(a), int(b)
    rows = _rows(results, [a, b])
    ok = rows.assign(ok=rows["status"] == "ok").pivot(index="target", columns="placement",
                                                       values="ok")
    pos = results.study.targets[:, :3, 3][ok.index.to_numpy()]
    ra, rb = ok[a].to_numpy(dtype=bool), ok[b].to_numpy(dtype=bool)
    fig = Figure(figsize=(12.0, 5.6), layout="constrained")
    grid = fig.add_gridspec(1, 2, width_ratios=[1.3, 1.0])
    ax = fig.add_subplot(grid[0], projection="3d")
    handles = []
    for (label, colour), mask in zip(_CATEGORIES, (ra & rb, ra & ~rb, ~ra & rb, ~ra & ~rb)):
        if mask.any():
            ax.scatter(*pos[mask].T, color=colour, s=16, depthshade=False,
                       marker="x" if label == "neither" else "o")
        handles.append(Line2D([], [], marker="x" if label == "neither" else "o", linestyle="",
                              color=colour, label=f"{label}: {mask.sum()}"))
    _draw_base(ax, results, a, "A", "tab:blue")
    _draw_base(ax, results, b, "B", "tab:orange")
    bases = results.study.placements[[a, b], :3]
    _equal_box(ax, np.vstack([pos, bases]))
    ax.legend(handles=handles, loc="upper left", fontsize=8, title="targets reached by")
    hist = fig.add_subplot(grid[1])
    reached = rows[rows["status"] == "ok"]
    # One set of bins for both, so that their bars compare.
    edges = np.histogram_bin_edges(reached[score].to_numpy(), bins=20) if len(reached) else 20
    for p, name, colour in ((a, "A", "tab:blue"), (b, "B", "tab:orange")):
        v = reached[reached["placement"] == p][score].to_numpy()
        if len(v):
            hist.hist(v, bins=edges, histtype="step", linewidth=2, color=colour,
                      label=f"{name}: mean {v.mean():.3g}")
    hist.set_xlabel(f"{score.replace('_', ' ')} of the best branch")
    hist.set_ylabel("targets")
    hist.yaxis.set_major_locator(MaxNLocator(integer=True))
    if hist.get_legend_handles_labels()[0]:
        hist.legend(fontsize=8)
    fig.suptitle(f"{results.study.name}: A = {_placement_text(results, a)} reaches "
                 f"{ra.mean():.0%}\nB = {_placement_text(results, b)} reaches {rb.mean():.0%}",
                 fontsize=10)
    fig.savefig(path)
    return fig
