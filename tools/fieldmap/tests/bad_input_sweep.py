"""Runs the fieldmap program on bad inputs and counts how each run ends.

Known defects (each must be refused with its exit status and words) and random damage (cuts and
flipped bytes of files written by VTK and gmsh, which may be refused or, when the damage leaves a
valid file, read) are tried. After every run the inputs must be byte for byte as before, and a
refused run must leave no output and no temporary file. A crash is any end other than exit 0 to 3
(a signal, a sanitizer's report). Prints the counts and fails on any crash, silent acceptance or
changed input.

usage: bad_input_sweep.py FIELDMAP WRITE_MESH_CASES_SCRIPT
"""
import concurrent.futures
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def fieldmap(binary, arguments, limit=None, leaks=True):
    prefix = ["bash", "-c", "ulimit -f %d; exec \"$0\" \"$@\"" % limit] if limit else []
    # A sanitizer's report counts as a crash, not as a refusal.
    environment = dict(os.environ)
    for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
        environment[name] = environment.get(name, "") + ":exitcode=99:halt_on_error=1"
    if not leaks:
        environment["ASAN_OPTIONS"] += ":detect_leaks=0"
    done = subprocess.run(prefix + [binary] + arguments, capture_output=True, text=True,
                          errors="replace", timeout=120, env=environment)
    return done.returncode, done.stderr


def edited(text, old, new):
    assert old in text, old
    return text.replace(old, new, 1)


def known_defects(cases, work):
    """(name, files to write {name: text}, arguments, status, words in the error)."""
    ascii_vtu = open(os.path.join(cases, "ascii.vtu")).read()
    binary_vtu = open(os.path.join(cases, "binary.vtu")).read()
    legacy = open(os.path.join(cases, "legacy-ascii.vtk")).read()
    out = os.path.join(work, "out.zdb")
    rows = [
        ("nan coordinate", {"m.vtu": re.sub(r'(Name="Points" NumberOfComponents="3" format="ascii"[^>]*>\s*)0 ',
                                           r"\1nan ", ascii_vtu, 1)}, [], 2, "coordinate 0 is nan"),
        ("inf field value", {"m.vtu": edited(ascii_vtu, ">\n          0 1 2 3 4 4", ">\n          inf 1 2 3 4 4")},
         ["--field", "temperature=NT"], 2, "value 0 (point 0, component 0) is inf"),
        ("component count", {"m.vtu": ascii_vtu}, ["--field", "temperature=U_D"], 2,
         "has 1 component, but the field type U_D takes 3"),
        ("float connectivity", {"m.vtu": edited(binary_vtu, 'type="Int64" Name="connectivity"',
                                               'type="Float64" Name="connectivity"')}, [], 2,
         "must be an integer type"),
        ("unknown compressor", {"m.vtu": edited(binary_vtu, 'header_type="UInt32"',
                                               'header_type="UInt32" compressor="vtkLZMADataCompressor"')},
         [], 2, "is not supported"),
        ("repeated attribute", {"m.vtu": edited(ascii_vtu, "<Piece ", '<Piece NumberOfCells="1" ')},
         [], 2, "is repeated"),
        ("not well-formed", {"m.vtu": edited(ascii_vtu, "</Points>", "</Pts>")}, [], 2,
         "not well-formed XML"),
        ("legacy nan", {"m.vtk": edited(legacy, "POINTS 98 double\n0 0 0", "POINTS 98 double\n0 nan 0")},
         [], 2, "coordinate 1 is nan"),
        ("output is the input", {"m.vtu": ascii_vtu}, ["--out", "m.vtu"], 1, "is the input"),
        ("output links to the input", {"m.vtu": ascii_vtu}, ["--out", "link.vtu"], 1, "is the input"),
        ("file-size limit", {"m.vtu": ascii_vtu}, [], 2, "cannot be written (File too large"),
    ]
    if os.path.exists(os.path.join(cases, "appended-base64-zlib.vtu")):
        text = open(os.path.join(cases, "appended-base64-zlib.vtu")).read()
        rows.append(("unknown encoding", {"m.vtu": edited(text, 'encoding="base64"', 'encoding="rot13"')},
                     [], 2, "unknown AppendedData encoding"))
    return rows, out


def run_known(binary, cases, work, counts):
    rows, out = known_defects(cases, work)
    for name, files, extra, status, words in rows:
        folder = tempfile.mkdtemp(dir=work)
        for file_name, text in files.items():
            with open(os.path.join(folder, file_name), "w") as stream:
                stream.write(text)
        mesh = os.path.join(folder, next(iter(files)))
        os.symlink(mesh, os.path.join(folder, "link.vtu"))
        target = os.path.join(folder, "out.zdb")
        with open(target, "w") as stream:
            stream.write("old output")
        arguments = ["import", mesh] + (["--out", target] if "--out" not in extra else [])
        arguments += [os.path.join(folder, a) if a.endswith(".vtu") else a for a in extra]
        before = {f: open(os.path.join(folder, f), "rb").read() for f in os.listdir(folder)}
        code, err = fieldmap(binary, arguments, 8 if name == "file-size limit" else None)
        after = {f: open(os.path.join(folder, f), "rb").read() for f in os.listdir(folder)}
        counts["tried"] += 1
        if code not in (0, 1, 2, 3):
            counts["crashes"] += 1
            print("CRASH %s: %d %s" % (name, code, err))
        elif code == 0:
            counts["silent acceptances"] += 1
            print("ACCEPTED %s" % name)
        elif code == status and words in err and before == after:
            counts["refused cleanly"] += 1
        else:
            counts["refused wrongly"] += 1
            print("WRONG %s: exit %d, %s, files %s" % (name, code, err.strip(),
                                                       "kept" if before == after else "changed"))
        shutil.rmtree(folder)


def run_map(binary, work, counts):
    """An output of map that is its source or its target is refused, both left as they were."""
    folder = tempfile.mkdtemp(dir=work)
    code, err = fieldmap(binary, ["demo", "--size", "2", "--out", folder])
    assert code == 0, err
    source, target = (os.path.join(folder, "demo-%s.zdb" % n) for n in ("source", "target"))
    for out in (source, target):
        before = {f: open(os.path.join(folder, f), "rb").read() for f in os.listdir(folder)}
        code, err = fieldmap(binary, ["map", "--source", source, "--target", target, "--field",
                                      "NT", "--out", out])
        after = {f: open(os.path.join(folder, f), "rb").read() for f in os.listdir(folder)}
        counts["tried"] += 1
        clean = code == 1 and "is the input" in err and before == after
        counts["refused cleanly" if clean else "silent acceptances" if code == 0 else
               "refused wrongly"] += 1
        if not clean:
            print("map --out %s: exit %d %s" % (out, code, err.strip()))


def run_leftovers(binary, cases, work, counts):
    """Temporary files of the output left by a killed run go with the next run; a live one's stay,
    and --allow-nan stores a value that is refused without it."""
    folder = tempfile.mkdtemp(dir=work)
    dead, alive = ".out.part-%d.zdb" % 4194303, ".out.part-%d.zdb" % os.getpid()
    for name in (dead, dead + "-wal", dead + ".saving-4194303", alive):
        open(os.path.join(folder, name), "w").close()
    text = open(os.path.join(cases, "ascii.vtu")).read()
    with open(os.path.join(folder, "m.vtu"), "w") as stream:
        stream.write(edited(text, ">\n          0 1 2 3 4 4", ">\n          nan 1 2 3 4 4"))
    code, err = fieldmap(binary, ["import", os.path.join(folder, "m.vtu"), "--out",
                                  os.path.join(folder, "out.zdb"), "--field", "temperature=NT",
                                  "--allow-nan"])
    counts["tried"] += 1
    left = sorted(f for f in os.listdir(folder) if ".part-" in f)
    if code == 0 and left == [alive]:
        counts["accepted as asked"] += 1
    else:
        counts["refused wrongly"] += 1
        print("leftovers: exit %d, %s left, %s" % (code, left, err.strip()))


def damaged(data, rng, count):
    for cut in range(0, len(data), max(1, len(data) // count)):
        yield data[:cut]
    for _ in range(count):
        flipped = bytearray(data)
        flipped[rng.randrange(len(flipped))] = rng.randrange(256)
        yield bytes(flipped)


def import_damaged(binary, work, index, extension, data):
    """One import of damaged bytes, in files of its own so that runs can go side by side."""
    mesh = os.path.join(work, "damaged-%d%s" % (index, extension))
    out = os.path.join(work, "damaged-%d.zdb" % index)
    with open(mesh, "wb") as stream:
        stream.write(data)
    # The leak check at exit took a fifth of each of these runs; the readers' refusals of damaged
    # files are leak-checked in process by the fieldmap tests, and the known defects here keep it.
    code, err = fieldmap(binary, ["import", mesh, "--out", out], leaks=False)
    intact = open(mesh, "rb").read() == data
    if code not in (0, 1, 2, 3) or not intact:
        outcome = "crashes", "CRASH on damaged: exit %d %s" % (code, err[-300:])
    elif code == 0:
        outcome = "damaged but still valid", None
    elif "\nfieldmap: " + mesh in "\n" + err and not os.path.exists(out):
        outcome = "refused cleanly", None
    else:
        outcome = "refused wrongly", "WRONG on damaged: exit %d %s" % (code, err.strip())
    for path in (mesh, out):
        if os.path.exists(path):
            os.remove(path)
    return outcome


def run_damaged(binary, cases, work, counts):
    """Every damaged file is imported once; the runs are independent, so they use every core (the
    sanitized program spends most of a run starting and stopping)."""
    rng = random.Random(15)
    runs = []
    for name in ("ascii.vtu", "appended-zlib.vtu", "legacy-binary.vtk", "legacy-ascii.vtk",
                 "gmsh41-binary.msh", "gmsh22.msh", "meshio41-binary.msh"):
        path = os.path.join(cases, name)
        if os.path.exists(path):
            extension = os.path.splitext(name)[1]
            runs += [(name, extension, data) for data in damaged(open(path, "rb").read(), rng, 50)]
    jobs = [(index, extension, data) for index, (_, extension, data) in enumerate(runs)]
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        outcomes = list(pool.map(lambda job: import_damaged(binary, work, *job), jobs))
    for (name, _, _), (kind, message) in zip(runs, outcomes):
        counts["tried"] += 1
        counts[kind] += 1
        if message:
            print("%s (%s)" % (message, name))
    leftovers = [f for f in os.listdir(work) if ".part-" in f]
    if leftovers:
        counts["refused wrongly"] += 1
        print("temporary files left: %s" % leftovers)


def main():
    binary, script = sys.argv[1], sys.argv[2]
    try:
        import vtk  # noqa: F401
    except ImportError:
        print("python3 with VTK (Debian python3-vtk9) is not installed")
        sys.exit(SKIP)
    # Imports that succeed save with their syncs, which on a disk cost more than the rest of the
    # run; the sweep checks what the program does with its input, so it works in memory when it can.
    memory = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    with tempfile.TemporaryDirectory(dir=memory) as work:
        cases = os.path.join(work, "cases")
        os.mkdir(cases)
        subprocess.run([sys.executable, script, cases], check=True, capture_output=True)
        counts = {"tried": 0, "refused cleanly": 0, "accepted as asked": 0,
                  "damaged but still valid": 0, "crashes": 0,
                  "silent acceptances": 0, "refused wrongly": 0}
        run_known(binary, cases, work, counts)
        run_map(binary, work, counts)
        run_leftovers(binary, cases, work, counts)
        run_damaged(binary, cases, work, counts)
    print(", ".join("%s %d" % item for item in counts.items()))
    bad = counts["crashes"] + counts["silent acceptances"] + counts["refused wrongly"]
    print("%d passed, %d failed" % (counts["tried"] - bad, bad))
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
