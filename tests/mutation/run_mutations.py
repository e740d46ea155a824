#!/usr/bin/env python3
"""Plants faults in the sources one at a time and reports which the test suite misses.

Each fault of the list (faults.txt beside this script) is a small textual edit: a snippet that
must occur exactly once in its file and its replacement. For every fault the runner applies the
edit, rebuilds incrementally, runs ctest (the fault's own -R filter, or the tests of the labels
given with --labels), restores the file byte for byte and records the verdict:

  killed     a test failed (or timed out)
  SURVIVED   every test passed
  stale      the file or the snippet is gone: the code changed, the fault needs a new snippet
  ambiguous  the snippet occurs more than once, so the edit would not be the one meant
  no-build   the edited source does not compile; a fault must build to say anything
  equivalent the fault carries "equivalent: <reason>": a change no test can tell, kept in the
             list so that nobody plants it again; it is not run and not in the kill rate

Survivors of a filtered run are run again against the whole suite (unless --no-confirm), so a
fault counts as surviving only when no test at all catches it. The kill rate is
killed / (killed + survived).

The file under edit is journalled in the build directory before it changes; a run that was
killed part-way restores it at the next start. Do not edit the sources while it runs: every
fault rebuilds the tree it is given.

How to run it (from the repository root; python3, cmake and ctest as for ./run test):

  ./run mutate                        every fault, in build-mutation (configured on first use)
  ./run mutate --only mapper-fill-unlinked,search-nearest-tie
  ./run mutate --folders platform,tools/fieldmap
  ./run mutate --build build          reuse an existing build tree (incremental rebuilds)
  tests/mutation/run_mutations.py --check     only report stale or ambiguous snippets

Each fault costs an incremental rebuild and its tests, about half a minute to a minute on two
cores; a survivor is then confirmed on the whole suite, about two minutes. The last lines give
the counts and the kill rate, then each fault that was not killed with its "why". A survivor
is either a gap in the tests (strengthen a test so that it fails) or an equivalent change that
no test can tell (give the fault an "equivalent:" line saying why); a stale fault needs a new
snippet. The exit status is 0 only when nothing survived and everything built.

  tests/mutation/run_mutations.py [--build DIR] [--only ID,...] [--folders F,...]
                                  [--labels REGEX] [--jobs N] [--no-confirm] [--check]
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEFAULT_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "faults.txt")
KEYS = ("fault", "file", "find", "replace", "tests", "why", "equivalent")


def unescape(text):
    """\\n stands for a line break and \\\\ for a backslash in snippets."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "t": "\t", "\\": "\\"}.get(text[i + 1], "\\" + text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def parse_faults(path):
    """Blocks of 'key: value' lines, each opened by 'fault: ID'; '#' starts a comment line."""
    faults, current = [], None
    for number, raw in enumerate(open(path, encoding="utf-8"), 1):
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        key, sep, value = line.partition(":")
        key = key.strip()
        if not sep or key not in KEYS:
            sys.exit(f"{path}:{number}: expected one of {', '.join(KEYS)} followed by ':'")
        value = value[1:] if value.startswith(" ") else value
        if key == "fault":
            current = {"fault": value.strip(), "line": number}
            faults.append(current)
        elif current is None:
            sys.exit(f"{path}:{number}: '{key}' before the first 'fault:'")
        else:
            current[key] = unescape(value) if key in ("find", "replace") else value.strip()
    for fault in faults:
        for key in ("file", "find", "replace"):
            if key not in fault:
                sys.exit(f"{path}:{fault['line']}: fault {fault['fault']} has no '{key}'")
    ids = [f["fault"] for f in faults]
    duplicates = sorted({i for i in ids if ids.count(i) > 1})
    if duplicates:
        sys.exit(f"{path}: fault ids used twice: {', '.join(duplicates)}")
    return faults


class Journal:
    """Remembers the original bytes of the file under edit until it is restored."""

    def __init__(self, build):
        self.path = os.path.join(build, "mutation-journal.json")

    def recover(self):
        if not os.path.exists(self.path):
            return
        entry = json.load(open(self.path, encoding="utf-8"))
        with open(entry["file"], "w", encoding="utf-8", newline="") as out:
            out.write(entry["text"])
        print(f"restored {entry['file']} from an interrupted run")
        os.remove(self.path)

    def hold(self, file, text):
        with open(self.path, "w", encoding="utf-8") as out:
            json.dump({"file": file, "text": text}, out)

    def release(self):
        os.remove(self.path)


def run(command, timeout=None):
    return subprocess.run(command, cwd=ROOT, capture_output=True, text=True, timeout=timeout)


def configure(build):
    if os.path.exists(os.path.join(build, "CMakeCache.txt")):
        return
    command = ["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
               "-DZORMTK_BUILD_BENCH=OFF"]
    if shutil.which("ccache"):
        command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    result = run(command)
    if result.returncode != 0:
        sys.exit(result.stdout + result.stderr)


def build_tree(build, jobs):
    return run(["cmake", "--build", build, "-j", str(jobs)]).returncode == 0


def ctest(build, jobs, regex=None, labels=None, timeout=300):
    command = ["ctest", "--test-dir", build, "-j", str(jobs), "--timeout", str(timeout),
               "--no-tests=error"]
    if labels:
        command += ["-L", labels]
    elif regex:
        command += ["-R", regex]
    result = run(command)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", result.stdout, re.M)
    return result.returncode == 0, failed, result.stdout


def try_fault(fault, args, journal, regex, labels):
    if fault.get("equivalent"):
        return "equivalent", fault["equivalent"]
    path = os.path.join(ROOT, fault["file"])
    if not os.path.exists(path):
        return "stale", "file is gone"
    text = open(path, encoding="utf-8").read()
    count = text.count(fault["find"])
    if count == 0:
        return "stale", "snippet is gone"
    if count > 1:
        return "ambiguous", f"snippet occurs {count} times"
    journal.hold(path, text)
    try:
        with open(path, "w", encoding="utf-8", newline="") as out:
            out.write(text.replace(fault["find"], fault["replace"]))
        if not build_tree(args.build, args.jobs):
            return "no-build", ""
        passed, failed, _ = ctest(args.build, args.jobs, regex, labels, args.timeout)
        if not passed:
            return "killed", ", ".join(failed[:3]) + (" ..." if len(failed) > 3 else "")
        return "SURVIVED", ""
    finally:
        with open(path, "w", encoding="utf-8", newline="") as out:
            out.write(text)
        journal.release()


def check_snippets(faults):
    problems = 0
    for fault in faults:
        path = os.path.join(ROOT, fault["file"])
        count = open(path, encoding="utf-8").read().count(fault["find"]) if os.path.exists(
            path) else 0
        if count != 1:
            problems += 1
            print(f"{fault['fault']}: {'stale' if count == 0 else 'ambiguous'} in {fault['file']}")
    print(f"{len(faults)} faults, {problems} stale or ambiguous")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--list", default=DEFAULT_LIST)
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--only", help="comma-separated fault ids")
    parser.add_argument("--folders", help="comma-separated folders whose faults to run")
    parser.add_argument("--labels", help="ctest -L regex for every fault instead of its filter "
                        "(e.g. 'element|reader|writer': only those folders' tests)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=300, help="seconds per test")
    parser.add_argument("--check", action="store_true",
                        help="only report stale and ambiguous snippets; build and test nothing")
    parser.add_argument("--no-confirm", action="store_true",
                        help="do not rerun survivors of a filtered run against the whole suite")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)

    faults = parse_faults(args.list)
    if args.only:
        wanted = set(args.only.split(","))
        faults = [f for f in faults if f["fault"] in wanted]
    if args.folders:
        folders = tuple(d.rstrip("/") + "/" for d in args.folders.split(","))
        faults = [f for f in faults if f["file"].startswith(folders)]
    if not faults:
        sys.exit("no faults selected")
    if args.check:
        return check_snippets(faults)

    configure(args.build)
    os.makedirs(args.build, exist_ok=True)
    journal = Journal(args.build)
    journal.recover()
    if not build_tree(args.build, args.jobs):
        sys.exit("the unmutated tree does not build")
    baseline = args.labels or "|".join(sorted({f["tests"] for f in faults if f.get("tests")}))
    if baseline:
        passed, failed, _ = ctest(args.build, args.jobs, None if args.labels else baseline,
                                  args.labels, args.timeout)
        if not passed:
            sys.exit("the unmutated tree fails tests: " + ", ".join(failed))

    results = []
    started = time.time()
    width = max(len(f["fault"]) for f in faults)
    for fault in faults:
        began = time.time()
        regex = None if args.labels else fault.get("tests")
        verdict, detail = try_fault(fault, args, journal, regex, args.labels)
        if verdict == "SURVIVED" and regex and not args.no_confirm:
            verdict, detail = try_fault(fault, args, journal, None, None)
            detail = detail or "(whole suite)"
        results.append((fault, verdict, detail))
        print(f"{fault['fault']:<{width}}  {verdict:<9} {time.time() - began:5.0f} s  "
              f"{fault['file']}  {detail}", flush=True)
    build_tree(args.build, args.jobs)

    counts = {v: sum(1 for _, verdict, _ in results if verdict == v)
              for v in ("killed", "SURVIVED", "stale", "ambiguous", "no-build", "equivalent")}
    judged = counts["killed"] + counts["SURVIVED"]
    rate = 100.0 * counts["killed"] / judged if judged else 0.0
    print(f"\n{len(results)} faults in {time.time() - started:.0f} s: " +
          ", ".join(f"{n} {v}" for v, n in counts.items() if n) +
          f"; kill rate {counts['killed']}/{judged} = {rate:.1f}%")
    for fault, verdict, _ in results:
        if verdict != "killed":
            reason = fault.get("equivalent") or fault.get("why", "")
            print(f"  {verdict:<9} {fault['fault']}: {reason}")
    return 0 if counts["SURVIVED"] == 0 and counts["no-build"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
