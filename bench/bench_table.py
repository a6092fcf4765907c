#!/usr/bin/env python3
"""One markdown table from a bench run: each figure beside its reference.

  bench_table.py RESULTS_DIR

RESULTS_DIR holds <bench>.json (Google Benchmark's JSON output) and
<script>.txt (the text output of bench/*.sh). Figures without a known
reference are listed too, so a new benchmark never goes missing. A row with a
goal says whether this run met it.
"""
import json
import os
import re
import sys

MIB = 1048576.0


def load(results):
    runs = {}
    for name in sorted(os.listdir(results)):
        if not name.endswith(".json"):
            continue
        with open(os.path.join(results, name)) as f:
            text = f.read()
        if not text.strip():
            continue  # a filter that matched nothing in this executable
        data = json.loads(text)
        medians = {}
        for b in data.get("benchmarks", []):
            key = re.sub(r"/(real_time|process_time|min_time:[0-9.]+s?|iterations:[0-9]+|repeats:[0-9]+)", "",
                         b.get("run_name", b["name"]))
            if b.get("run_type", "iteration") == "iteration":
                runs.setdefault(key, b)
            elif b.get("aggregate_name") == "median":
                medians[key] = b
        # Repeated runs: the median of each figure, which one slow or fast
        # repetition does not move.
        runs.update(medians)
    return runs


def metric(b, what):
    """A rate of a benchmark: a user counter, items/s or MB/s."""
    if b is None or b.get("error_occurred"):
        return None
    if what == "MB/s":
        v = b.get("bytes_per_second")
        return None if v is None else v / MIB
    if what == "items/s":
        return b.get("items_per_second")
    return b.get(what)


def seconds(b):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
    return b["real_time"] * scale


def fmt_rate(v, unit):
    if v is None:
        return "n/a"
    if unit == "MB/s":
        return "%.0f MB/s" % v
    word = unit.replace("/s", "")
    if v >= 1e6:
        return "%.2f M %s/s" % (v / 1e6, word)
    if v >= 1e3:
        return "%.1f k %s/s" % (v / 1e3, word)
    return "%.0f %s/s" % (v, word)


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "n/a"
    return "%.2f" % (a / b)


# A goal is (text, lowest ratio): the row is met when measured / reference
# reaches the lowest ratio ("≤ 3× floor" is a ratio of at least 1/3).
# (figure, benchmark, reference text, reference benchmark, metric, unit, goal)
PAIRS = [
    ("Format parse, 100 000 members", "BM_ParseFormat",
     "same file read line by line (TextFile)", "BM_ReadFormatLines", "members/s", "members/s", ("≥ 0.5×", 0.5)),
    ("Name scan, 100 000 members", "BM_ScanNames",
     "same file read line by line (TextFile)", "BM_ReadFormatLines", "members/s", "members/s", ("≥ 0.5×", 0.5)),
    ("DescribeBlock, 100 000-member block, fresh memory (one block per run)", "BM_DescribeBlock/fresh",
     "floor: data and format file read whole, snprintf per value (fresh memory)", "BM_DescribeFloor/fresh",
     "values/s", "values/s", ("≤ 3× floor", 1 / 3.0)),
    ("DescribeBlock, 100 000-member block, memory reused (block after block)", "BM_DescribeBlock/reused",
     "the same floor (memory reused)", "BM_DescribeFloor/reused", "values/s", "values/s",
     ("≤ 3× floor", 1 / 3.0)),
    ("paramtool describe of a data file, 100 000-member LZO block (check, decompression, description)",
     "BM_DescribeDataFile", "the same floor (fresh memory)", "BM_DescribeFloor/fresh", "values/s", "values/s",
     ("≤ 3× floor", 1 / 3.0)),
    ("DescribeBlock, 100 000-member block, memory reused", "BM_DescribeBlock/reused",
     "plain snprintf loop over the same values", "BM_SnprintfBaseline", "values/s", "values/s", None),
    ("List walk alone, same block", "BM_ListWalk",
     "plain snprintf loop over the same values", "BM_SnprintfBaseline", "values/s", "values/s", None),
    ("VerifyDataFile, 256 MB file", "BM_VerifyDataFile256MB",
     "zlib crc32 over the same bytes in memory", "BM_ZlibCrc32InMemory256MB", "MB/s", "MB/s", None),
    ("MergeEntries, 100 000 entries each", "BM_MergeEntries/100000",
     "MergeEntries, 1 000 entries each", "BM_MergeEntries/1000", "items/s", "entries/s", None),
    ("MergeAmendFile, 100 000 entries each", "BM_MergeAmendFile/100000",
     "same files read and one written, no merge", "BM_ReadWriteAmendFiles/100000", "items/s", "entries/s", None),
    ("MergeAmendFile, 200 000 entries each", "BM_MergeAmendFile/200000",
     "same files read and one written, no merge", "BM_ReadWriteAmendFiles/200000", "items/s", "entries/s", None),
]

# Lines of bench/extract-check.sh: "label: <rate> MB/s".
SCRIPT_PAIRS = [
    ("Setup file check (mksetup --check), 64 MB", r"^mksetup --check \(native",
     "md5sum on the same file", r"^md5sum", ("≤ 1.1× md5sum", 1 / 1.1)),
    ("Setup's own check under Wine (in-process)", r"^setup's check under Wine",
     "md5sum on the same file", r"^md5sum", None),
]

# Rows measured by hand, not by this run: linked so that they are not forgotten.
MANUAL_ROWS = [
    ("Setup file check, 1.2 GB, under Wine", "not run by default",
     "[scripts/scale-setup.sh](../scripts/scale-setup.sh)", "", "", "", ""),
]


def judge(ratio_value, goal):
    """The goal text and whether the row meets it."""
    if goal is None:
        return "", ""
    text, lowest = goal
    if ratio_value is None:
        return text, "not measured"
    return text, "met" if ratio_value >= lowest else "NOT met"


def script_lines(results):
    lines = []
    for name in sorted(os.listdir(results)):
        if name.endswith(".txt"):
            with open(os.path.join(results, name), errors="replace") as f:
                lines += [l.strip() for l in f]
    return lines


def script_figures(results, pattern):
    """The scripts' lines matching pattern: its first group (a size) to its second (a figure)."""
    figures = {}
    for line in script_lines(results):
        m = re.search(pattern, line)
        if m:
            figures[m.group(1)] = float(m.group(2))
    return figures


def script_rates(results):
    rates = {}
    for line in script_lines(results):
        m = re.search(r"([0-9.]+)\s*MB/s", line)
        if m:
            rates[line] = float(m.group(1))
    return rates


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: bench_table.py RESULTS_DIR\n")
        return 2
    results = sys.argv[1]
    runs = load(results)
    used = set()
    rows = []
    for figure, name, ref_text, ref, what, unit, goal in PAIRS:
        if name not in runs:
            continue
        ours, theirs = metric(runs[name], what), metric(runs.get(ref), what)
        used.update([name, ref])
        r = ours / theirs if ours is not None and theirs else None
        rows.append((figure, fmt_rate(ours, unit), ref_text, fmt_rate(theirs, unit), ratio(ours, theirs)) +
                    judge(r, goal))

    # bench/merge-process.sh: "paramtool merge (new process), N entries each: T ms".
    merge_ms = script_figures(results, r"^paramtool merge \(new process\), ([0-9]+) entries each: ([0-9.]+) ms")
    a, b = merge_ms.get("100000"), merge_ms.get("200000")
    if a and b:
        growth = b / a
        # At most 2.2: the lowest ratio of 2.2 / growth is 1.
        rows.append(("MergeAmendFile time, 200 000 / 100 000 entries (paramtool merge, new processes)",
                     "%.0f ms / %.0f ms" % (b, a), "linear growth", "2.00",
                     "%.2f" % growth) + judge(2.2 / growth, ("≤ 2.2", 1.0)))

    rates = script_rates(results)

    def find(pattern):
        for line, v in rates.items():
            if re.search(pattern, line):
                return v
        return None

    for figure, pattern, ref_text, ref_pattern, goal in SCRIPT_PAIRS:
        ours, theirs = find(pattern), find(ref_pattern)
        if ours is None:
            continue
        r = ours / theirs if theirs else None
        rows.append((figure, fmt_rate(ours, "MB/s"), ref_text, fmt_rate(theirs, "MB/s"), ratio(ours, theirs)) +
                    judge(r, goal))

    # bench/amend-awk.sh: "awk hash join (...), N entries each: T ms".
    awk_ms = script_figures(results, r"^awk hash join.*, ([0-9]+) entries each: ([0-9.]+) ms").get("100000")
    if a and awk_ms:
        speedup = awk_ms / a
        rows.append(("MergeAmendFile, 100 000 entries each (time; paramtool merge, a new process)", "%.0f ms" % a,
                     "awk hash join of the same three files (bench/amend-awk.sh)", "%.0f ms" % awk_ms,
                     "%.2f" % speedup) + judge(speedup / 6.0, ("≥ 6× awk", 1.0)))

    # bench/fleet-page.sh: the page for 2 000 controllers beside `cat` of their files.
    fleet = script_figures(results, r"^fleetreport, ([0-9]+) controllers.*: ([0-9.]+) ms")
    floor = script_figures(results, r"^cat of the same files, ([0-9]+) controllers: ([0-9.]+) ms")
    for count, ms in sorted(fleet.items()):
        if floor.get(count):
            slower = ms / floor[count]
            rows.append(("fleetreport, %s controllers (time; bench/fleet-page.sh)" % count, "%.0f ms" % ms,
                         "cat of the same files", "%.0f ms" % floor[count], "%.2f" % slower) +
                        judge(2.0 / slower, ("≤ 2× cat", 1.0)))

    # bench/update-data-tree.sh: the update of the largest data tree against the smallest (the operator's files
    # should hardly lengthen it), and against the package alone plus one copy of that tree.
    update = script_figures(results, r"^update of a data tree of ([0-9]+) part programs.*: ([0-9.]+) s")
    package = script_figures(results, r"^the same setup file's (package) alone under Wine: ([0-9.]+) s")
    copy = script_figures(results, r"^one copy of that data tree.*, ([0-9]+) part programs: ([0-9.]+) s")
    counts = sorted(update, key=int)
    if len(counts) >= 2 and update[counts[0]]:
        small, large = counts[0], counts[-1]
        growth = update[large] / update[small]
        # At most 1.10: the lowest ratio of 1.10 / growth is 1.
        rows.append(("Update time, %s / %s part programs in the data tree (/S, parameters kept, under Wine; "
                     "bench/update-data-tree.sh)" % (large, small), "%.1f s / %.1f s" % (update[large], update[small]),
                     "no growth with the operator's files", "1.00", "%.2f" % growth) +
                    judge(1.10 / growth, ("≤ 1.10", 1.0)))
    if counts and package.get("package") and copy.get(counts[-1]):
        count = counts[-1]
        took = update[count]
        floor = package["package"] + copy[count]
        rows.append(("Update (/S, parameters kept) with %s part programs in the data tree, under Wine "
                     "(time; bench/update-data-tree.sh)" % count, "%.1f s" % took,
                     "the package alone plus one copy of the data tree (xcopy)",
                     "%.1f s + %.1f s" % (package["package"], copy[count]), "%.2f" % (took / floor)) +
                    judge(floor / took, ("≤ 0.3× package plus one copy", 1 / 0.3)))

    # bench/staged-update.sh: /S after /S /STAGE against /S alone, the same release and controller; and the
    # staged run of the largest release against the smallest (it should not grow with the release).
    unstaged = script_figures(results, r"^unstaged update \(/S\), release of ([0-9]+) MB.*: ([0-9.]+) s")
    staged = script_figures(results, r"^staged update \(/S after /S /STAGE\), release of ([0-9]+) MB.*: ([0-9.]+) s")
    sizes = sorted((mb for mb in staged if unstaged.get(mb)), key=int)
    if sizes:
        mb = sizes[-1]
        share = staged[mb] / unstaged[mb]
        rows.append(("Staged update (/S after /S /STAGE), release of %s MB, 10 000 part programs, under Wine "
                     "(time; bench/staged-update.sh)" % mb, "%.1f s" % staged[mb],
                     "unstaged update (/S) of the same release on an identical controller", "%.1f s" % unstaged[mb],
                     "%.2f" % share) + judge(0.25 / share, ("≤ 0.25× unstaged", 1.0)))
    if len(sizes) >= 2 and staged[sizes[0]]:
        small, large = sizes[0], sizes[-1]
        growth = staged[large] / staged[small]
        rows.append(("Staged update time, release of %s / %s MB (bench/staged-update.sh)" % (large, small),
                     "%.1f s / %.1f s" % (staged[large], staged[small]), "no growth with the release", "1.00",
                     "%.2f" % growth) + judge(1.15 / growth, ("≤ 1.15", 1.0)))

    for name, b in sorted(runs.items()):
        if name in used:
            continue
        for what, unit in (("items/s", "items/s"), ("MB/s", "MB/s")):
            v = metric(b, what)
            if v is not None:
                rows.append((name, fmt_rate(v, unit), "(no reference)", "", "", "", ""))
                break
        else:
            rows.append((name, "%.3f ms" % (seconds(b) * 1e3), "(no reference)", "", "", "", ""))
    rows += MANUAL_ROWS

    print("| Figure | Measured | Reference (same run) | Reference figure | Ratio | Goal | Met |")
    print("|---|---:|---|---:|---:|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    errors = [n for n, b in runs.items() if b.get("error_occurred")]
    if errors:
        print("\nFailed: " + ", ".join(errors))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
