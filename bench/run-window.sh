#!/bin/bash
# Times the main window over one click on a folder (larkspur_bench_window)
# beside larkspur-report on the same tree in the same run: sizes only and
# with the duplicate search, alternating, RUNS runs each, medians. Also the
# UI event loop's lateness while the window scans (p50, p99, max of a 10 ms
# timer's lateness; medians over the runs) and the digest of what the window
# shows at the end (the same in every run of a mode, or the outcome varies).
#
# Usage: bench/run-window.sh BUILD_DIR [FILES [RUNS]]
#   BUILD_DIR  a build tree with larkspur_bench_window and larkspur-report
#   FILES      entries in the generated tree (450000: about 10 files a folder)
#   RUNS       runs per program and mode (3)
# The tree is made once under ${WINDOW_TREE_DIR:-${TMPDIR:-/tmp}} and kept for
# later runs (delete it by hand). EXTRA_TREE names a real tree to measure too
# (for example /usr); it is only read.
#
# The window needs an X server: the script starts a virtual one with
# xvfb-run (1280x800, no window manager) unless DISPLAY is set, and skips
# when none can start. The window runs with HOME and XDG_* in a scratch
# folder, so it never reads or writes the real settings.
set -euo pipefail

build=$(realpath "${1:?usage: run-window.sh BUILD_DIR [FILES [RUNS]]}")
files=${2:-450000}
runs=${3:-3}
window=$build/bench/larkspur_bench_window
report=$build/report/larkspur-report
for program in "$window" "$report"; do
    [ -x "$program" ] || { echo "not built: $program" >&2; exit 1; }
done

if [ -z "${DISPLAY:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        echo "skipped: no X server and no xvfb-run (Debian package xvfb)"
        exit 0
    fi
    if ! xvfb-run -a -s '-screen 0 1280x800x24' true 2>/dev/null; then
        echo "skipped: no virtual X server could start"
        exit 0
    fi
    echo "on a virtual X server (xvfb-run, 1280x800x24, no window manager)"
    exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$@"
fi
unset QT_QPA_PLATFORM

tree_dir=${WINDOW_TREE_DIR:-${TMPDIR:-/tmp}}/larkspur-window-tree-$files
scratch=$(mktemp -d "${TMPDIR:-/tmp}/larkspur-window.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

python3 - "$window" "$report" "$files" "$runs" "$tree_dir" "$scratch" <<'PY'
import os, random, statistics, subprocess, sys, time

window, report, files, runs, tree, scratch = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6]

def make_tree():
    """About 10 files a folder; each folder hangs under a random earlier
    folder (depths around ln(folders), a few folders with many children); sizes mostly small with a long tail; 4% of the files
    copy an earlier file, so there are a few thousand groups."""
    rnd = random.Random(7)
    folders_wanted = max(1, files // 11)
    os.makedirs(tree + ".part")
    folders = [tree + ".part"]
    for i in range(1, folders_wanted):
        parent = folders[rnd.randrange(len(folders))]
        path = os.path.join(parent, "d%d" % i)
        os.mkdir(path)
        folders.append(path)
    originals = []
    for i in range(files - folders_wanted):
        folder = folders[rnd.randrange(len(folders))]
        if originals and rnd.random() < 0.04:
            data = originals[rnd.randrange(len(originals))]
        else:
            data = rnd.randbytes(int(min(rnd.lognormvariate(6.5, 1.5), 1 << 20)))
            if len(originals) < 5000 and len(data) > 0:
                originals.append(data)
        with open(os.path.join(folder, "f%d" % i), "wb") as out:
            out.write(data)
    os.rename(tree + ".part", tree)
    return folders_wanted

if not os.path.isdir(tree):
    if os.path.isdir(tree + ".part"):
        subprocess.run(["rm", "-rf", tree + ".part"], check=True)
    started = time.perf_counter()
    made = make_tree()
    print("tree made in %.0f s" % (time.perf_counter() - started))
entries = sum(1 + len(f) for _, _, f in os.walk(tree)) - 1
folders = sum(1 for _ in os.walk(tree))

env = dict(os.environ)
for name in ("home", "config", "data", "runtime", "cache", "tmp"):
    os.makedirs(os.path.join(scratch, name), mode=0o700, exist_ok=True)
env.update(HOME=scratch + "/home", XDG_CONFIG_HOME=scratch + "/config", XDG_DATA_HOME=scratch + "/data",
           XDG_RUNTIME_DIR=scratch + "/runtime", XDG_CACHE_HOME=scratch + "/cache", TMPDIR=scratch + "/tmp")
env.pop("DBUS_SESSION_BUS_ADDRESS", None)

def run_report(args):
    started = time.perf_counter()
    subprocess.run([report] + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return {"seconds": time.perf_counter() - started}

def run_window(args):
    out = subprocess.run([window] + args, capture_output=True, text=True, env=env, timeout=3600)
    words = out.stdout.split()
    if out.returncode != 0 or len(words) < 16:
        sys.exit("the window benchmark failed: %s %s" % (out.stdout, out.stderr))
    figures = dict(zip(words[0::2], words[1::2]))
    return {k: (v if k == "digest" else float(v)) for k, v in figures.items()}

def bench(label, root):
    print("\n%s" % label)
    programs = {
        "window, sizes only": lambda: run_window(["--size-only", root]),
        "report --size-only": lambda: run_report(["--size-only", root]),
        "window, with duplicates": lambda: run_window([root]),
        "report": lambda: run_report([root]),
    }
    programs["report"]()  # warms the cache
    results = {name: [] for name in programs}
    for _ in range(runs):
        for name, run in programs.items():
            results[name].append(run())
    med = {name: statistics.median(r["seconds"] for r in rs) for name, rs in results.items()}
    print("  %-26s %9s %8s %8s %8s  %s" % ("program", "median s", "p50 ms", "p99 ms", "max ms", "digest / groups"))
    for name, rs in results.items():
        if "p50" in rs[0]:
            digests = sorted(set(r["digest"] for r in rs))
            print("  %-26s %9.2f %8.1f %8.1f %8.1f  %s / %d" % (
                name, med[name], statistics.median(r["p50"] for r in rs),
                statistics.median(r["p99"] for r in rs), statistics.median(r["max"] for r in rs),
                ",".join(digests), int(rs[0]["groups"])))
        else:
            print("  %-26s %9.2f" % (name, med[name]))
    print("  window / report, sizes only:      %.2f" % (med["window, sizes only"] / med["report --size-only"]))
    print("  window / report, with duplicates: %.2f" % (med["window, with duplicates"] / med["report"]))

print("%d runs each, alternating; medians" % runs)
bench("generated tree: %d entries in %d folders (%s)" % (entries, folders, tree), tree)
extra = os.environ.get("EXTRA_TREE")
if extra:
    bench(extra, extra)
PY
