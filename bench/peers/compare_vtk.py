#!/usr/bin/python3
"""Side-by-side run of fieldmap and VTK's probe filter on the same binary .vtu files.

The whole comparison, as recorded in bench/peers/vtk_comparison.md and the README (from the
repository's top, with fieldmap built in build/; about 20 minutes on two cores):

    /usr/bin/python3 bench/peers/compare_vtk.py

A quick look at about 1e5 source cells (under a minute):

    /usr/bin/python3 bench/peers/compare_vtk.py --sizes 1e5 --repeat 1

Cases (--cases, comma-separated; every one by default): hex8 (perturbed), hex8-rectilinear,
tet4, hex20, tet10 and wedge6 sources filling the unit box onto the nodes of a tetrahedral box
(97,336 nodes at 1e5 source cells, 941,192 at 1e6); quad4-shell, a cylinder of quadrilaterals
onto the nodes of a finer patch of the same surface (136,900 and 868,624 nodes); tet4-unordered,
the tet4 source onto the same box with its nodes listed in random order; and end-to-end,
the hex8 source of the largest size onto the tetrahedral box of that size as whole runs. Sizes
(--sizes): about 1e5 and 1e6 source cells. See peer_meshes.py for the meshes.

For each case and size the script writes source and target with VTK, then measures

  * fieldmap: `fieldmap import` of the source, then `fieldmap map` onto the target .vtu at one
    and two threads, with fieldmap's default element choice and with --first-accepted when the
    program has it; the time is the map phase fieldmap prints (search and interpolation);
  * VTK: vtkProbeFilter with a vtkStaticCellLocator on one thread, its Update timed (locator
    build and probe), source and target read from the same files;

and prints the seconds, the ratios, the points each side placed, whether the values are the same
bit for bit at one and two threads, and the largest difference between the two sides at the
points both placed, relative to the range of the source field. Each time is the fastest of
--repeat runs, taken in rounds of one run of every setting and of VTK, VTK's one place further
along the settings each round, so that neither a slow spell of the machine nor the cost of
touching fresh memory after another process falls on one setting alone. The end-to-end case
times fieldmap's import and map processes (the mapped result saved as a database) against VTK's
read of both files, locator, probe and binary write of the result. The script writes a markdown
record and a plot of the ratios.

usage: /usr/bin/python3 compare_vtk.py [--fieldmap PATH] [--cases LIST] [--sizes LIST]
                                       [--repeat R] [--work DIR] [--markdown PATH] [--png PATH]
"""
import argparse
import datetime
import os
import subprocess
import sys
import tempfile
import zlib

import numpy as np

import peer_meshes
import peer_report
import peer_runs

END_TO_END = "end-to-end"
THREADS = (1, 2)


def generator(name, size):
    """The same random numbers for a case and size whatever else runs."""
    return np.random.default_rng([zlib.crc32(name.encode()), size])


def choices(features):
    """(label, --first-accepted given) of each element choice to measure."""
    if features["first_accepted"]:
        return [("containing (default)", False), ("first accepted", True)]
    return [("first accepted (default)", False)]


def interleaved_runs(arguments, features, source, target_grid, database, target_path, out_base):
    """VTK's probe and fieldmap at every element choice and thread count, one run of each per
    round for `repeat` rounds, VTK's probe one place further along the fieldmap settings each
    round. On this machine a process that first touches memory no process touched just before
    pays for it many times over, so the run after VTK's is slow: moving VTK's probe gives that
    run to each setting in turn, where turning the whole list round would keep the same setting
    after it every round. The settings keep their order, so a slow spell of the shared machine
    falls on neighbours rather than on the repeats of one setting."""
    settings = [(first_accepted, threads) for _, first_accepted in choices(features)
                for threads in THREADS]
    probes, maps = [], {setting: [] for setting in settings}
    for round_index in range(arguments.repeat):
        slot = round_index % (len(settings) + 1)
        for setting in settings[:slot] + [None] + settings[slot:]:  # None: VTK's probe
            if setting is None:
                probes.append(peer_runs.vtk_probe(source, target_grid)[:3])
                continue
            first_accepted, threads = setting
            maps[setting].append(peer_runs.fieldmap_map(
                arguments.fieldmap, database, target_path, out_base, threads, first_accepted))
    return probes, maps


def measure_choice(maps, first_accepted, theirs, field_range):
    runs = {threads: peer_runs.best_of(maps[(first_accepted, threads)]) for threads in THREADS}
    one, two = runs[1], runs[2]
    values, valid = theirs
    both = one["placed"] & valid
    difference = np.max(np.abs(one["values"][both] - values[both])) if both.any() else np.nan
    return {"seconds": {threads: runs[threads]["map"] for threads in THREADS},
            "placed": int(one["placed"].sum()), "difference": float(difference) / field_range,
            "identical": bool(np.array_equal(one["values"], two["values"]) and
                              np.array_equal(one["placed"], two["placed"]) and
                              one["same_each_run"] and two["same_each_run"])}


def compare(arguments, features, case, size, target, work):
    source_path = os.path.join(work, "%s-%d.vtu" % (case, size))
    family = peer_meshes.source_case(case)
    cells, _, field_range = peer_meshes.write_source(family, size, source_path,
                                                     generator(family, size))
    target_path, target_nodes = target
    database = source_path[:-4] + ".zdb"
    peer_runs.fieldmap_import(arguments.fieldmap, source_path, database)
    source, target_grid = peer_meshes.read_vtu(source_path), peer_meshes.read_vtu(target_path)
    probes, maps = interleaved_runs(arguments, features, source, target_grid, database,
                                    target_path, source_path[:-4] + "-out")
    del source, target_grid
    _, values, valid = probes[-1]
    row = {"case": case, "size": size, "cells": cells, "targets": target_nodes,
           "vtk": min(probe[0] for probe in probes), "vtk_placed": int(valid.sum()),
           "choices": []}
    for label, first_accepted in choices(features):
        measured = measure_choice(maps, first_accepted, (values, valid), field_range)
        row["choices"].append(dict(measured, label=label))
    peer_runs.remove(source_path, database)
    return row


def end_to_end(arguments, features, size, target, work):
    source_path = os.path.join(work, "end-to-end-source.vtu")
    cells, _, _ = peer_meshes.write_source("hex8", size, source_path, generator("hex8", size))
    target_path, target_nodes, target_cells = target
    out = os.path.join(work, "end-to-end-vtk.vtu")
    theirs = min((peer_runs.vtk_end_to_end(source_path, target_path, out)
                  for _ in range(arguments.repeat)), key=lambda run: run["wall"])
    ours = {threads: min((peer_runs.fieldmap_end_to_end(arguments.fieldmap, source_path,
                                                        target_path, work, threads, False)
                          for _ in range(arguments.repeat)), key=lambda run: run["wall"])
            for threads in THREADS}
    peer_runs.remove(source_path)
    title = ("a perturbed hex8 source of %d cells onto a tetrahedral box of %d tetrahedra and %d "
             "nodes, one field, %s element choice" % (cells, target_cells, target_nodes,
                                                      choices(features)[0][0]))
    return {"title": title, "fieldmap": ours, "vtk": theirs}


def target_kind(case):
    return ("shell" if case in peer_meshes.SHELL_CASES
            else "unordered" if case in peer_meshes.UNORDERED_CASES else "solid")


def write_targets(size, work, kind):
    path = os.path.join(work, "target-%s-%d.vtu" % (kind, size))
    cells, nodes = peer_meshes.write_target(kind == "shell", size, path, generator("target", size),
                                            kind == "unordered")
    return path, nodes, cells


def git(fieldmap, *arguments):
    folder = os.path.dirname(os.path.realpath(fieldmap))
    done = subprocess.run(["git", "-C", folder] + list(arguments), capture_output=True,
                          text=True)
    return done.stdout.strip()


def context(arguments, features, load_before, vtk_threads):
    # The last commit of the code itself: this script's own commits and records do not count.
    top = git(arguments.fieldmap, "rev-parse", "--show-toplevel")
    code = ["--", top, ":(exclude)" + os.path.join(top, "bench", "peers"),
            ":(exclude)" + os.path.join(top, "README.md")] if top else []
    short = git(arguments.fieldmap, "log", "-1", "--format=%h", *code) or "unknown"
    commit = git(arguments.fieldmap, "log", "-1", "--format=%h (%s)", *code)
    if top and git(arguments.fieldmap, "status", "--porcelain", "--untracked-files=no", *code):
        commit += " with uncommitted changes"
        short += " with uncommitted changes"
    with open("/proc/cpuinfo") as cpu:
        model = next((line.split(":", 1)[1].strip() for line in cpu
                      if line.startswith("model name")), "unknown processor")
    with open("/proc/meminfo") as memory:
        total = int(memory.readline().split()[1]) / 1024 / 1024
    load_after = os.getloadavg()[0]
    import vtk
    return {
        "commit": commit or "unknown",
        "short": short,
        "date": datetime.date.today().isoformat(),
        "machine": "%d cores (%s), %.0f GB, shared with other work: load average (1 min) %.1f "
                   "at the start, %.1f at the end" % (os.cpu_count(), model, total, load_before,
                                                      load_after),
        "command": " ".join(["/usr/bin/python3 bench/peers/compare_vtk.py"] + sys.argv[1:]),
        "definitions": (
            "fieldmap's times are the map phase `fieldmap map` prints (search and interpolation, "
            "to 0.001 s), the thread count given as ZORMTK_THREADS and --threads; VTK's are "
            "vtkProbeFilter.Update() with a vtkStaticCellLocator (locator build and probe) in "
            "VTK %s on one thread (%s). Each is the fastest of %d run%s, run in rounds of one "
            "of each setting and of VTK, VTK's one place further along the settings each round. "
            "Placed: target nodes "
            "fieldmap's 'placed' array marks 1 / VTK's vtkValidPointMask. The difference is "
            "the largest over the nodes both placed, divided by the range of the source field. "
            "'Same values' compares fieldmap's output at 1 and 2 threads (and every repeat) "
            "bit for bit." % (vtk.vtkVersion.GetVTKVersion(), vtk_threads, arguments.repeat,
                              "" if arguments.repeat == 1 else "s")) + (
            "" if features["first_accepted"] else
            " This fieldmap has no --first-accepted: its one element choice, the first "
            "candidate that accepts the point, is measured."),
    }


def parse(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--fieldmap", default=os.path.join(here, "..", "..", "build", "tools",
                                                           "fieldmap", "fieldmap"))
    parser.add_argument("--cases", default=",".join(peer_meshes.CASES + (END_TO_END,)))
    parser.add_argument("--sizes", default="1e5,1e6")
    # On a shared machine the fastest of five runs of one setting still came out a quarter above
    # what other whole runs gave (0.37 against 0.29 s): more rounds give quiet spells more chances.
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--work", default=None, help="folder for the meshes (default: temp)")
    parser.add_argument("--markdown", default=os.path.join(here, "vtk_comparison.md"))
    parser.add_argument("--png", default=os.path.join(here, "vtk_comparison.png"))
    arguments = parser.parse_args(argv)
    arguments.cases = arguments.cases.split(",")
    unknown = set(arguments.cases) - set(peer_meshes.CASES + (END_TO_END,))
    if unknown or arguments.repeat < 1:
        parser.error("unknown cases: " + ", ".join(sorted(unknown)) if unknown
                     else "--repeat counts from 1")
    arguments.sizes = sorted(int(float(size)) for size in arguments.sizes.split(","))
    return arguments


def run_size(arguments, features, size, work, rows):
    """Every case of one size; returns the end-to-end record when it ran at this size."""
    cases = [case for case in peer_meshes.CASES if case in arguments.cases]
    largest = size == arguments.sizes[-1] and END_TO_END in arguments.cases
    kinds = {target_kind(case) for case in cases} | ({"solid"} if largest else set())
    targets = {kind: write_targets(size, work, kind) for kind in sorted(kinds)}
    for case in cases:
        rows.append(compare(arguments, features, case, size, targets[target_kind(case)][:2],
                            work))
        row, default = rows[-1], rows[-1]["choices"][0]
        print("%-17s %8d cells -> %7d nodes: fieldmap %s / %s s (1 / 2 threads), VTK %s s, "
              "ratio %.2f, difference %.1e" % (
                  row["case"], row["cells"], row["targets"],
                  peer_report.seconds(default["seconds"][1]),
                  peer_report.seconds(default["seconds"][2]), peer_report.seconds(row["vtk"]),
                  default["seconds"][1] / row["vtk"], default["difference"]), flush=True)
    record = end_to_end(arguments, features, size, targets["solid"], work) if largest else None
    for path, _, _ in targets.values():
        peer_runs.remove(path)
    return record


def main(argv):
    arguments = parse(argv)
    if not os.access(arguments.fieldmap, os.X_OK):
        raise SystemExit("no fieldmap at %s (build it, or give --fieldmap)" % arguments.fieldmap)
    load_before = os.getloadavg()[0]
    vtk_threads = peer_runs.single_threaded_vtk()
    features = peer_runs.fieldmap_features(arguments.fieldmap)
    rows, record = [], None
    # A folder that is named but missing is made, rather than failing after the checks above.
    if arguments.work:
        os.makedirs(arguments.work, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=arguments.work) as work:
        for size in arguments.sizes:
            record = run_size(arguments, features, size, work, rows) or record
    facts = context(arguments, features, load_before, vtk_threads)
    text = peer_report.markdown(rows, record, facts)
    print(text)
    with open(arguments.markdown, "w") as out:
        out.write(text)
    if rows:
        peer_report.plot(rows, arguments.png, "Commit %s, %s." % (
            facts["short"], facts["date"]))
    print("wrote " + arguments.markdown + (" and " + arguments.png if rows else ""))


if __name__ == "__main__":
    main(sys.argv[1:])
