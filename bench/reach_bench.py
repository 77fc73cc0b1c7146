"""Reach-study throughput: target-placement pairs per second on every core
of this machine, then through a local Dask cluster of 2 worker processes
(chunks of 10^4 pairs), for a spherical-wrist arm and an arm with three
parallel axes. Every run's files are checked to be the same bits.

    scripts/python bench/reach_bench.py [TARGETS [PLACEMENTS_PER_SIDE]]
"""

import os
import sys
import tempfile
import time

import numpy as np

import armkin
import armkin.reach

ARMS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "arms")
CHUNK = 10_000
REPEATS = 5


def study(arm_file, targets, side):
    """Poses from joint vectors drawn within the limits (seeded), one in
    five moved out of reach, at a side x side grid of placements within
    0.1 m of the origin, each turned by 0 or 30 degrees."""
    arm = armkin.Arm.from_file(arm_file)
    lim = np.clip(arm.limits, -np.pi, np.pi)
    Q = np.random.default_rng(1).uniform(lim[:, 0], lim[:, 1], size=(targets, 6))
    T = arm.fk_batch(Q)
    T[::5, 0, 3] += 3.0
    return {"name": os.path.basename(arm_file), "arm": arm_file,
            "targets": {"poses": [np.concatenate([t[:3, 3], t[:3, :3].ravel()]) for t in T]},
            "placements": {"grid": {"x": [-0.1, 0.1, side], "y": [-0.1, 0.1, side],
                                    "turn": [0, 0.5235987755982988, 2]}}}


def _cpu():
    """CPU seconds of this process and its threads."""
    return time.process_time()


def _spent():
    import psutil
    t = psutil.Process().cpu_times()
    return t.user + t.system


def _cluster_cpu(client):
    """CPU seconds of this process, the scheduler (when it runs elsewhere:
    a LocalCluster's runs in this process) and every worker."""
    scheduler = client.run_on_scheduler(_spent) if client.run_on_scheduler(os.getpid) != os.getpid() else 0.0
    return _cpu() + scheduler + sum(client.run(_spent).values())


class Best:
    """The shortest wall time and the least CPU time of the runs timed."""

    def __init__(self, cpu):
        self.cpu, self.wall, self.used, self.result = cpu, None, None, None

    def run(self, work):
        start, c0 = time.perf_counter(), self.cpu()
        self.result = work()
        seconds, used = time.perf_counter() - start, self.cpu() - c0
        self.wall = seconds if self.wall is None else min(self.wall, seconds)
        self.used = used if self.used is None else min(self.used, used)


def main(argv):
    from distributed import Client, LocalCluster
    targets = int(argv[1]) if len(argv) > 1 else 2000
    side = int(argv[2]) if len(argv) > 2 else 5
    out = tempfile.mkdtemp(prefix="armkin-reach-bench-")
    print(f"{os.cpu_count()} cores; chunks of {CHUNK} pairs")
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        for name in ("spherical_wrist_offsets.yaml", "offset_wrist_parallel.yaml"):
            s = armkin.reach.load(study(os.path.join(ARMS, name), targets, side))
            one, local, dask = Best(_cpu), Best(_cpu), Best(lambda: _cluster_cpu(client))
            # Taken in turn, so that a change in the machine's other load
            # falls on all three alike; the best of REPEATS each.
            for _ in range(REPEATS):
                one.run(lambda: armkin.reach.run(s, out=f"{out}/{name}-one", threads=1,
                                                 chunk_size=CHUNK, progress=False))
                local.run(lambda: armkin.reach.run(s, out=f"{out}/{name}-local",
                                                   chunk_size=CHUNK, progress=False))
                dask.run(lambda: armkin.reach.run(s, client=client, out=f"{out}/{name}-dask",
                                                  chunk_size=CHUNK, progress=False))
            a, b = local.result, dask.result
            same = all(open(f"{a.folder}/{f}", "rb").read() == open(f"{b.folder}/{f}", "rb").read()
                       for f in ("pairs.csv", "placements.csv", "summary.txt"))
            reached = a.placements["reached"].sum() / s.pair_count
            n = s.pair_count
            print(f"{name}: {n} pairs ({reached:.0%} reached), files identical: {same}\n"
                  f"  wall:  one thread {n / one.wall:,.0f} pairs/s, every core "
                  f"{n / local.wall:,.0f} pairs/s, 2-worker cluster {n / dask.wall:,.0f} pairs/s "
                  f"(overhead {100 * (dask.wall / local.wall - 1):+.0f} %)\n"
                  f"  CPU:   every core {n / local.used:,.0f} pairs per CPU second, cluster "
                  f"{n / dask.used:,.0f} (overhead {100 * (dask.used / local.used - 1):+.0f} %)")


if __name__ == "__main__":
    main(sys.argv)
