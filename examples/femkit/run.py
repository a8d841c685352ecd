"""One example's run: its command line (--size, --out and its own options),
the clocks on eval and on the solve, the stop when a library refuses the
state the equations call for, its CSV and PNG files, its checks and its
closing line."""
import argparse
import contextlib
import csv
import functools
import resource
import sys
import time
from pathlib import Path

import numpy as np
from mpi4py import MPI

import materials
from femkit import newton


class Run:
    """One example's run: its options, the clock on eval and on the solve,
    its output files, its checks and its closing line."""

    def __init__(self, name, docstring, add_options=None, sizes=("small", "full"), solver=None):
        """The first paragraph of the example's docstring describes it in
        --help; add_options(parser), if given, adds the example's own
        options, whose values are in `options`; sizes: the --size choices;
        solver: the default of --solver (the multigrid if None)."""
        description = " ".join(docstring.split("\n\n")[0].split())
        parser = argparse.ArgumentParser(prog=f"{name}.py", description=description)
        parser.add_argument(
            "--size",
            choices=sizes,
            default="small",
            help="small: a coarse mesh and few steps (seconds); "
            "full: the resolution the figures in the README come from"
            + ("; large: for many processes" if "large" in sizes else ""),
        )
        parser.add_argument(
            "--solver",
            choices=tuple(newton.SOLVERS),
            default=solver or "multigrid",
            help="Newton's linear solver: multigrid (Krylov with algebraic multigrid) "
            "or lu (a direct factorisation shared out over the processes); "
            f"default {solver or 'multigrid'}",
        )
        parser.add_argument(
            "--out",
            type=Path,
            default=Path("out/examples"),
            help="folder for the PNG plots and CSV files (default out/examples)",
        )
        if add_options:
            add_options(parser)
        self.options = options = parser.parse_args()
        self.name = name
        self.size = options.size
        self.solver = options.solver
        self.out = options.out
        self.comm = MPI.COMM_WORLD
        self.root = self.comm.rank == 0
        self.processes = f"{self.comm.size} process{'es' if self.comm.size > 1 else ''}"
        self.eval_seconds = 0.0
        self.solve_seconds = 0.0
        self.failed_checks = 0
        if self.root:
            self.out.mkdir(parents=True, exist_ok=True)

    def say(self, text):
        if self.root:
            print(f"{self.name}: {text}", flush=True)

    def timed(self, function):
        """function (a materials function) with its time added to the eval
        clock."""

        @functools.wraps(function)
        def clocked(*args, **kwargs):
            start = time.perf_counter()
            try:
                return function(*args, **kwargs)
            finally:
                self.eval_seconds += time.perf_counter() - start

        return clocked

    @contextlib.contextmanager
    def solving(self):
        """The time inside counts as the solve."""
        start = time.perf_counter()
        try:
            yield
        finally:
            self.solve_seconds += time.perf_counter() - start

    @contextlib.contextmanager
    def stopping_on_refusal(self, where):
        """Inside, a refusal that Newton could not step around (the state the
        equations call for lies outside a material law's range) ends the run:
        one line from process 0, "stopped <where>:" with the library, its
        message and the point, and status 1. Newton raises it on every process at
        once: materials.EvalError where the library refused, RefusedElsewhere
        on the others."""
        try:
            yield
        except (materials.EvalError, newton.RefusedElsewhere) as error:
            refusals = self.comm.allgather(
                str(error) if isinstance(error, materials.EvalError) else None
            )
            self.say(f"stopped {where}: {next(filter(None, refusals))}")
            sys.exit(1)

    def write_csv(self, filename, columns):
        """columns: {header: 1-D sequence}, all of one length."""
        if not self.root:
            return
        with open(self.out / filename, "w", newline="") as file:
            writer = csv.writer(file)
            writer.writerow(columns)
            writer.writerows(zip(*(np.asarray(c) for c in columns.values())))

    def save(self, figure, filename):
        if self.root:
            figure.savefig(self.out / filename, dpi=110)

    def check(self, check, figure, limit):
        """A check ahead of the closing one, on a line of its own; if it
        fails, finish exits with status 1 too."""
        ok = figure <= limit
        self.failed_checks += not ok
        self.say(f"{check} {figure:.6e} (limit {limit:g}) {'ok' if ok else 'FAIL'}")

    def say_work(self):
        """A line on Newton's work (iterations, Krylov iterations per linear
        solve) and the peak resident memory, each the largest of any process
        (the slab's processes solve cases of their own)."""
        iterations = newton.work["newton"]
        krylov = newton.work["krylov"] / iterations if iterations else 0.0
        # ru_maxrss: kB on Linux
        peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
        iterations, krylov, peak = (
            self.comm.allreduce(figure, op=MPI.MAX) for figure in (iterations, krylov, peak)
        )
        self.say(
            f"solver {self.solver}: {iterations} Newton iterations, {krylov:.1f} Krylov "
            f"iterations per linear solve; peak resident memory {peak:.0f} MB per process "
            "(each the largest of any process)"
        )

    def finish(self, check, figure, limit):
        """A line on the solver's work (say_work), then the closing line,
        then exit: status 1 when figure exceeds limit or an earlier check
        failed. figure is the same on every process (computed from global
        sums)."""
        self.say_work()
        ok = figure <= limit
        eval_total = self.comm.allreduce(self.eval_seconds)
        solve_total = self.comm.allreduce(self.solve_seconds)
        share = 100 * eval_total / solve_total if solve_total else 0.0
        verdict = "ok" if ok else "FAIL"
        if self.failed_checks:
            verdict += (
                f", {self.failed_checks} earlier check"
                f"{'s' if self.failed_checks > 1 else ''} failed"
            )
        self.say(
            f"{check} {figure:.6e} (limit {limit:g}) {verdict}; "
            f"eval {share:.1f} % of the solve "
            f"({eval_total / self.comm.size:.2f} s of {solve_total / self.comm.size:.2f} s "
            f"per process), {self.processes}"
        )
        sys.stdout.flush()
        sys.exit(0 if ok and not self.failed_checks else 1)
