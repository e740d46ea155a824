"""The VTK comparison's record: a markdown file with the measured tables and a plot of ratios."""
import numpy as np

MAP_HEADER = (
    "| case | source cells | target nodes | element choice | fieldmap map, 1 thread (s) "
    "| fieldmap map, 2 threads (s) | speed-up 2/1 threads | fieldmap µs per target, 1 / 2 threads "
    "| VTK locator + probe, 1 thread (s) | VTK µs per target "
    "| fieldmap/VTK, 1 thread | fieldmap/VTK, 2 threads | placed fieldmap / VTK "
    "| largest difference / field range | same values at 1 and 2 threads |\n"
    "|---|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|")
END_TO_END_HEADER = (
    "| side | threads | seconds in all | parts (s) | placed |\n"
    "|---|---:|---:|---|---:|")


def ratio(numerator, denominator):
    return numerator / denominator if denominator > 0 else float("nan")


def seconds(value):
    return "%.2f" % value if value >= 0.1 else "%.3f" % value


def map_rows(rows):
    lines = [MAP_HEADER]
    for row in rows:
        for choice in row["choices"]:
            one, two = choice["seconds"][1], choice["seconds"][2]
            per_target = 1e6 / row["targets"]
            lines.append("| %s | %d | %d | %s | %s | %s | %.2f | %.2f / %.2f | %s | %.2f | %.2f "
                         "| %.2f | %d / %d | %.1e | %s |" % (
                             row["case"], row["cells"], row["targets"], choice["label"],
                             seconds(one), seconds(two), ratio(one, two), one * per_target,
                             two * per_target, seconds(row["vtk"]), row["vtk"] * per_target,
                             ratio(one, row["vtk"]), ratio(two, row["vtk"]), choice["placed"],
                             row["vtk_placed"], choice["difference"],
                             "yes" if choice["identical"] else "**no**"))
    return "\n".join(lines)


def notes(rows):
    """What a reader of the tables should not miss: unequal placements, thread-dependent values."""
    found = []
    for row in rows:
        for choice in row["choices"]:
            where = "%s, %d cells, %s" % (row["case"], row["cells"], choice["label"])
            if choice["placed"] != row["vtk_placed"]:
                found.append("- %s: fieldmap placed %d of the %d target nodes, VTK %d; the times "
                             "are not of the same work." % (where, choice["placed"],
                                                            row["targets"], row["vtk_placed"]))
            if not choice["identical"]:
                found.append("- %s: fieldmap's values differ between thread counts or runs."
                             % where)
    return "\n".join(found)


def parts(named):
    return ", ".join("%s %.2f" % (name, value) for name, value in named.items())


def end_to_end_rows(end_to_end):
    lines = [END_TO_END_HEADER]
    for threads, run in sorted(end_to_end["fieldmap"].items()):
        named = dict(("import: " + k, v) for k, v in run["import_phases"].items())
        named.update(("map: " + k, v) for k, v in run["map_phases"].items())
        lines.append("| fieldmap import + map | %d | %.2f | %s | %s |" % (
            threads, run["wall"], parts(named),
            "all" if run["status"] == 0 else "not all (status %d)" % run["status"]))
    theirs = end_to_end["vtk"]
    lines.append("| VTK read + locator + probe + write | 1 | %.2f | %s | %d |" % (
        theirs["wall"], parts({"read": theirs["read"], "locator + probe": theirs["probe"],
                               "write": theirs["write"]}), theirs["placed"]))
    for threads, run in sorted(end_to_end["fieldmap"].items()):
        lines.append("\nfieldmap/VTK at %d thread%s: %.2f" % (
            threads, "" if threads == 1 else "s", ratio(run["wall"], theirs["wall"])))
    return "\n".join(lines)


def markdown(rows, end_to_end, context):
    text = ["# fieldmap and VTK's probe filter, side by side", "",
            "Measured at commit %s on %s." % (context["commit"], context["date"]),
            "Machine: %s." % context["machine"],
            "Command: `%s`" % context["command"], "",
            context["definitions"], ""]
    if rows:
        text += ["## Map phase against VTK's locator and probe", "", map_rows(rows), ""]
        if notes(rows):
            text += [notes(rows), ""]
    if end_to_end:
        text += ["## End to end: %s" % end_to_end["title"], "", end_to_end_rows(end_to_end), ""]
    return "\n".join(text)


def short(row):
    """Whether fieldmap's default choice placed fewer target nodes than VTK."""
    return row["choices"][0]["placed"] < row["vtk_placed"]


def plot(rows, path, label):
    """fieldmap/VTK per case and size on one and two threads, the default element choice."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    sizes = sorted({row["size"] for row in rows})
    figure, panels = plt.subplots(1, len(sizes), figsize=(5.2 * len(sizes), 4.2), squeeze=False,
                                  sharey=True)
    lowest = 1.0
    for axes, size in zip(panels[0], sizes):
        chosen = [row for row in rows if row["size"] == size]
        x = np.arange(len(chosen))
        for offset, threads in ((-0.2, 1), (0.2, 2)):
            heights = [ratio(row["choices"][0]["seconds"][threads], row["vtk"]) for row in chosen]
            lowest = min([lowest] + [height for height in heights if height > 0])
            bars = axes.bar(x + offset, heights, 0.4, label="fieldmap, %d thread%s" % (
                threads, "" if threads == 1 else "s"))
            for bar, height in zip(bars, heights):
                axes.annotate("%.2f" % height, (bar.get_x() + bar.get_width() / 2, height),
                              ha="center", va="bottom", fontsize=7)
        axes.axhline(1.0, color="black", linewidth=0.8)
        axes.axhline(0.5, color="black", linewidth=0.8, linestyle="--")
        axes.set_yscale("log")
        axes.set_xticks(x)
        axes.set_xticklabels([row["case"] + ("*" if short(row) else "") for row in chosen],
                             rotation=30, ha="right", fontsize=8)
        axes.set_title("about %.0e source cells" % size, fontsize=10)
    # Log-scale bars start at the axis: it must lie below the shortest bar, or that bar vanishes.
    panels[0][0].set_ylim(bottom=lowest / 1.5)
    panels[0][0].set_ylabel("fieldmap map phase / VTK locator + probe (1 thread)")
    panels[0][0].legend(fontsize=8)
    caption = "Below 1 fieldmap is faster; the dashed line is half VTK's time. " + label
    if any(short(row) for row in rows):
        caption += "\n* fieldmap placed fewer target nodes than VTK"
    figure.suptitle(caption, fontsize=8)
    figure.tight_layout()
    figure.savefig(path, dpi=120)
