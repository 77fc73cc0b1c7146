"""Reach studies: where can an arm stand so that it reaches every target,
and how comfortably? (the study file: docs/reach.md)

    import armkin.reach
    res = armkin.reach.run("cell.yaml", out="results")        # every local core
    res.placements                                            # pandas, best first
    for rows in res.pairs(chunksize=1_000_000): ...           # a row per target and placement

    from distributed import Client
    res = armkin.reach.run("cell.yaml", client=Client("tcp://host:8786"), out="results")

A study is split into chunks of consecutive target-placement pairs. Every
chunk is computed by the same C++ function (Study.run_chunk), whose rows
depend on nothing but the study and the pair, and the chunks are written in
order: the result files are the same bits for local threads or a cluster,
any chunk size and any number of workers. On a cluster at most `in_flight`
chunks are out at once, so memory stays bounded however large the study;
a chunk lost with a worker is computed again, and each chunk is written
exactly once.

From the shell: ``python3 -m armkin.reach STUDY --out DIR [--scheduler ADDR]``
(``armkin reach ... --scheduler ADDR`` runs this).
"""

import argparse
import collections
import json
import os
import sys
import tempfile
import time
import uuid

from ._armkin import ReachFiles, Study

__all__ = ["Study", "Results", "load", "run", "DEFAULT_CHUNK"]

#: Pairs per chunk unless told otherwise.
DEFAULT_CHUNK = 10_000

#: How often a chunk is sent out again after its worker was lost or it failed.
RETRIES = 3


def load(study):
    """A Study from a Study, a study file's path (str or os.PathLike) or a
    dict with the keys of a study file (relative file names from the
    working folder; arrays may be numpy arrays). ValueError says what is
    wrong."""
    if isinstance(study, Study):
        return study
    if isinstance(study, dict):
        text = json.dumps(study, default=_plain)  # JSON is YAML
        return Study.from_text(text, name=str(study.get("name", "study")), folder=os.getcwd())
    return Study.from_file(study)


def _plain(value):
    """A dict value json does not know: arrays as lists, paths as text."""
    if hasattr(value, "tolist"):
        return value.tolist()
    if isinstance(value, os.PathLike):
        return os.fspath(value)
    raise TypeError(f"study: {type(value).__name__} is not a number, text, list or array")


class Results:
    """A finished study's files: ``folder``, ``summary`` (the text of
    summary.txt), ``placements`` (placements.csv as a pandas DataFrame,
    best first) and ``pairs(**read_csv_options)`` (pairs.csv; pass
    chunksize for a study too large for memory)."""

    def __init__(self, folder, study, summary):
        self.folder = os.fspath(folder)
        self.study = study
        self.summary = summary

    @property
    def placements(self):
        import pandas
        return pandas.read_csv(os.path.join(self.folder, "placements.csv"))

    def pairs(self, **options):
        import pandas
        return pandas.read_csv(os.path.join(self.folder, "pairs.csv"), **options)

    def __repr__(self):
        return f"<armkin.reach.Results {self.study.name}: {self.folder}>"


class _Bar:
    """A progress line on standard error, at most ten times a second."""

    def __init__(self, total):
        self.total, self.last = total, 0.0

    def __call__(self, done, total):
        now = time.monotonic()
        if done < total and now - self.last < 0.1:
            return
        self.last = now
        width = 30
        filled = int(width * done / max(total, 1))
        sys.stderr.write(f"\r[{'#' * filled}{'.' * (width - filled)}] "
                         f"{100 * done / max(total, 1):3.0f}%  {done} pairs")
        if done >= total:
            sys.stderr.write("\r\033[K")
        sys.stderr.flush()


def _chunk(study, index, chunk_size):
    """One chunk's (rows, csv), on a worker."""
    return study.run_chunk(index, chunk_size)


def _run_on_cluster(study, client, chunk_size, in_flight, sink):
    """Sends the study to every worker once, then keeps up to in_flight
    chunks out and hands them to sink in chunk order. A chunk that fails
    (its worker lost more often than the scheduler allows, or the study's
    copies all lost) is sent again, up to RETRIES times."""
    chunks = study.chunk_count(chunk_size)
    if not client.nthreads():
        print("armkin: waiting for a worker to join the scheduler", file=sys.stderr)
        client.wait_for_workers(1)
    if in_flight is None:
        in_flight = max(4, 2 * sum(client.nthreads().values()))
    token = uuid.uuid4().hex
    shared = client.scatter(study, broadcast=True, hash=False)

    def submit(index, attempt):
        return client.submit(_chunk, shared, index, chunk_size,
                             key=f"armkin-reach-{token}-{index}-{attempt}")

    pending = collections.deque()
    upcoming = 0
    try:
        while upcoming < chunks or pending:
            while upcoming < chunks and len(pending) < in_flight:
                pending.append((upcoming, 0, submit(upcoming, 0)))
                upcoming += 1
            index, attempt, future = pending.popleft()
            try:
                rows, csv = future.result()
            except Exception:
                if attempt >= RETRIES:
                    raise
                if shared.status != "finished":
                    shared = client.scatter(study, broadcast=True, hash=False)
                pending.appendleft((index, attempt + 1, submit(index, attempt + 1)))
                continue
            sink(rows, csv)
    finally:
        for _, _, future in pending:
            future.cancel()
        shared.cancel()


def run(study, client=None, out=None, chunk_size=DEFAULT_CHUNK, threads=0, in_flight=None,
        progress=None):
    """Runs a study and writes its files into the folder out (made when
    missing; default a new temporary folder): pairs.csv, placements.csv and
    summary.txt. Returns a Results.

    study: a Study, a study file's path or a dict (see load). client: None
    to run on threads threads of this machine (0: every core), or a
    distributed.Client whose workers run the chunks (at most in_flight at
    once; default twice the cluster's threads). chunk_size: pairs per chunk;
    the files are the same bits for any chunk size and backend. progress:
    None draws a bar on standard error when it is a terminal, False
    nothing, a callable is called as progress(pairs_done, pairs_total)."""
    study = load(study)
    if chunk_size < 1:
        raise ValueError("chunk_size must be at least 1")
    folder = os.fspath(out) if out is not None else tempfile.mkdtemp(prefix="armkin-reach-")
    files = ReachFiles(study, folder)
    if progress is None:
        progress = _Bar(study.pair_count) if sys.stderr.isatty() else False
    total = study.pair_count

    def sink(rows, csv):
        files.add(rows, csv)
        if progress:
            progress(files.pairs, total)

    if client is None:
        study.run_local(chunk_size, threads, sink)
    else:
        _run_on_cluster(study, client, chunk_size, in_flight, sink)
    files.finish()
    return Results(folder, study, files.summary)


def main(argv=None):
    """python3 -m armkin.reach STUDY --out DIR [--scheduler ADDR] [--chunk N] [--threads N]"""
    parser = argparse.ArgumentParser(prog="python3 -m armkin.reach",
                                     description="Runs a reach study (docs/reach.md).")
    parser.add_argument("study")
    parser.add_argument("--out", required=True, help="folder of the result files")
    parser.add_argument("--chunk", type=int, default=DEFAULT_CHUNK, help="pairs per chunk")
    parser.add_argument("--threads", type=int, default=0, help="local threads (0: every core)")
    parser.add_argument("--scheduler", help="a Dask scheduler's address, tcp://host:8786")
    args = parser.parse_args(argv)
    try:
        study = Study.from_file(args.study)
    except ValueError as e:
        print(f"armkin: {e}", file=sys.stderr)
        return 2
    if args.chunk < 1:
        print("armkin: --chunk takes a whole number of pairs of at least 1", file=sys.stderr)
        return 2
    client = None
    if args.scheduler:
        try:
            from distributed import Client
        except ImportError:
            print("armkin: --scheduler needs Dask's distributed package "
                  "(Debian: python3-distributed)", file=sys.stderr)
            return 2
        try:
            client = Client(args.scheduler, timeout=30)
        except (OSError, TimeoutError) as e:
            print(f"armkin: no scheduler at {args.scheduler}: {e}", file=sys.stderr)
            return 2
    start = time.perf_counter()
    try:
        res = run(study, client, args.out, args.chunk, args.threads)
    except (OSError, RuntimeError) as e:
        print(f"armkin: {e}", file=sys.stderr)
        return 1
    finally:
        if client is not None:
            client.close()
    seconds = time.perf_counter() - start
    print(res.summary, end="")
    print(f"files       {os.path.join(res.folder, '')}pairs.csv, placements.csv, summary.txt")
    print(f"armkin: {study.pair_count} pairs in {seconds:.3g} s "
          f"({study.pair_count / seconds:.4g} pairs/s)", file=sys.stderr)
    return 0


if __name__ == "__main__":
    # The module proper (not this __main__ copy), so that the chunks' task
    # function is pickled by name for the workers.
    from armkin.reach import main as _main
    sys.exit(_main())
