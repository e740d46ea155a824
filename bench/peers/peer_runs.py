"""Runs of both sides of the VTK comparison: fieldmap as a program, VTK's probe filter in-process.

fieldmap's seconds are the phases it prints on standard error when that is not a terminal
("map done in 0.421 s"); the map phase is the mapper's search and interpolation of the fields.
The thread count reaches fieldmap through ZORMTK_THREADS and --threads both, so the same command
line works whether --threads governs the mapper or only the .vtu writer. VTK runs on one thread:
its SMP backend is set to Sequential (and to one thread, should that backend be missing).
"""
import os
import re
import subprocess
import sys
import time

import numpy as np
import vtk
from vtk.util import numpy_support

import peer_meshes

FIELD_TYPE = "NT"
PLACED_ARRAY = "placed"
PHASE_LINE = re.compile(r"^(.+?) done in ([0-9.]+) s$", re.M)
FIXED_PHASES = ("check elements", "write mesh", "map")


def single_threaded_vtk():
    """Makes VTK's SMP tools use one thread; returns how, for the record."""
    tools = vtk.vtkSMPTools
    if tools.SetBackend("Sequential"):
        tools.Initialize(1)
        how = "vtkSMPTools.SetBackend('Sequential')"
    else:
        tools.Initialize(1)
        how = "vtkSMPTools.Initialize(1) on the %s backend" % tools.GetBackend()
    if tools.GetEstimatedNumberOfThreads() != 1:
        raise SystemExit("VTK still estimates %d threads" % tools.GetEstimatedNumberOfThreads())
    return how


def fieldmap_features(fieldmap):
    """What this fieldmap offers: whether it knows --first-accepted (and so has the containing
    choice as its default)."""
    done = subprocess.run([fieldmap, "map", "--help"], capture_output=True, text=True)
    return {"first_accepted": "--first-accepted" in done.stdout + done.stderr}


def phases(stderr):
    """Seconds per phase, the file names dropped: "read x.vtu" becomes "read", "write y.vtu"
    "write vtu"; "check elements", "write mesh" and "map" stay as they are."""
    found = {}
    for name, seconds in PHASE_LINE.findall(stderr):
        if name not in FIXED_PHASES:
            name = name.split(" ")[0]
            name = "write vtu" if name == "write" else name
        found[name] = found.get(name, 0.0) + float(seconds)
    return found


def run(command, threads=None):
    environment = dict(os.environ)
    if threads is not None:
        environment["ZORMTK_THREADS"] = str(threads)
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True, text=True, env=environment)
    seconds = time.perf_counter() - start
    if done.returncode not in (0, 3):
        sys.stderr.write(done.stdout + done.stderr)
        raise SystemExit("failed (status %d): %s" % (done.returncode, " ".join(command)))
    return seconds, done


def remove(*paths):
    for path in paths:
        if os.path.exists(path):
            os.remove(path)


def fieldmap_import(fieldmap, source_vtu, database):
    remove(database)
    seconds, done = run([fieldmap, "import", source_vtu, "--out", database,
                         "--field", peer_meshes.FIELD_NAME + "=" + FIELD_TYPE])
    return {"wall": seconds, "phases": phases(done.stderr), "stdout": done.stdout}


def fieldmap_map(fieldmap, database, target, out_base, threads, first_accepted, vtu=True,
                 extra=()):
    """One `fieldmap map` run, with extra arguments; with vtu, the mapped values and the placed
    flags as well."""
    remove(out_base + ".zdb", out_base + ".vtu")
    command = [fieldmap, "map", "--source", database, "--target", target, "--field",
               FIELD_TYPE, "--out", out_base + ".zdb", "--threads", str(threads)]
    if vtu:
        command += ["--vtu", out_base]
    if first_accepted:
        command.append("--first-accepted")
    command += list(extra)
    seconds, done = run(command, threads)
    result = {"wall": seconds, "phases": phases(done.stderr), "status": done.returncode,
              "stdout": done.stdout}
    result["map"] = result["phases"].get("map", float("nan"))
    if vtu:
        data = peer_meshes.read_vtu(out_base + ".vtu").GetPointData()
        # fieldmap names the array after the field's imported name, or its type before it kept
        # that name.
        array = data.GetArray(peer_meshes.FIELD_NAME) or data.GetArray(FIELD_TYPE)
        result["values"] = numpy_support.vtk_to_numpy(array).copy()
        result["placed"] = numpy_support.vtk_to_numpy(data.GetArray(PLACED_ARRAY)) == 1
    remove(out_base + ".zdb", out_base + ".vtu")
    return result


def best_of(runs):
    """The fastest of several fieldmap_map runs of one setting, with the values of the last and
    whether every run gave the same values."""
    best = min(runs, key=lambda r: r["map"])
    best = dict(best, values=runs[-1]["values"], placed=runs[-1]["placed"])
    best["same_each_run"] = all(np.array_equal(r["values"], runs[0]["values"]) for r in runs)
    return best


def vtk_probe(source, target):
    """Locator build and probe on one thread: seconds, values, valid mask and the output."""
    probe = vtk.vtkProbeFilter()
    probe.SetInputData(target)
    probe.SetSourceData(source)
    probe.SetCellLocatorPrototype(vtk.vtkStaticCellLocator())
    start = time.perf_counter()
    probe.Update()
    seconds = time.perf_counter() - start
    data = probe.GetOutput().GetPointData()
    values = numpy_support.vtk_to_numpy(data.GetArray(peer_meshes.FIELD_NAME)).copy()
    valid = numpy_support.vtk_to_numpy(data.GetArray("vtkValidPointMask")).astype(bool)
    return seconds, values, valid, probe.GetOutput()


def vtk_end_to_end(source_vtu, target_vtu, out_vtu):
    """VTK's whole run: read both files, locator and probe, write the result as binary .vtu."""
    remove(out_vtu)
    start = time.perf_counter()
    source = peer_meshes.read_vtu(source_vtu)
    target = peer_meshes.read_vtu(target_vtu)
    read = time.perf_counter()
    seconds, _, valid, output = vtk_probe(source, target)
    probed = time.perf_counter()
    peer_meshes.write_vtu(output, out_vtu)
    written = time.perf_counter()
    remove(out_vtu)
    return {"read": read - start, "probe": seconds, "write": written - probed,
            "wall": written - start, "placed": int(valid.sum())}


def fieldmap_end_to_end(fieldmap, source_vtu, target_vtu, work, threads, first_accepted):
    """fieldmap's whole run: import the source, then map onto the target .vtu into a database."""
    database = os.path.join(work, "end-to-end-source.zdb")
    imported = fieldmap_import(fieldmap, source_vtu, database)
    mapped = fieldmap_map(fieldmap, database, target_vtu, os.path.join(work, "end-to-end-out"),
                          threads, first_accepted, vtu=False)
    remove(database)
    return {"import": imported["wall"], "map": mapped["wall"],
            "wall": imported["wall"] + mapped["wall"], "import_phases": imported["phases"],
            "map_phases": mapped["phases"], "status": mapped["status"]}
