#!/bin/bash
# Measures larkspur-report against the tools a user would pick instead, on
# two seeded corpora made here (the same files, about 100 and about 10 to a
# folder): sizes against du, ncdu and gdu; the duplicate
# search against jdupes, fdupes and rmlint; and the report's peak memory per
# entry. Runs alternate between the tools; each figure is the median of RUNS
# runs with a warm cache (and, as root with COLD=1, with a cold cache too).
#
# Usage: bench/run-peers.sh REPORT_PROGRAM [FILES [SEED [RUNS]]]
#   REPORT_PROGRAM  the built larkspur-report (build/report/larkspur-report)
#   FILES           files in the corpus (200000)
#   SEED            seed of the corpus (42)
#   RUNS            runs per tool (5)
# The corpora are made in a fresh folder under ${TMPDIR:-/tmp} and removed at
# the end. EXTRA_SIZE_TREE / EXTRA_DUPS_TREE name real trees to measure too
# (for example /usr and /usr/share); they are only read.
set -euo pipefail

report=${1:?usage: run-peers.sh REPORT_PROGRAM [FILES [SEED [RUNS]]]}
files=${2:-200000}
seed=${3:-42}
runs=${4:-5}
report=$(realpath "$report")
# The hand-off floor program, from a build with the benchmarks; optional.
handoff=${HANDOFF_PROGRAM:-$(dirname "$report")/../bench/larkspur_bench_handoff}

# The peers, from Debian.
need=()
for tool in ncdu gdu jdupes fdupes rmlint; do
    command -v "$tool" >/dev/null || need+=("$tool")
done
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    sudo_=""
    [ "$(id -u)" -eq 0 ] || sudo_=sudo
    DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y "${need[@]}" >/dev/null
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/larkspur-peers.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

python3 - "$report" "$files" "$seed" "$runs" "$scratch" "$handoff" <<'PY'
import os, random, statistics, subprocess, sys, time

report, files, seed, runs, scratch, handoff = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6]
empty = os.path.join(scratch, "empty")
os.mkdir(empty)

def make_corpus(corpus, per_folder):
    """Nested folders (about per_folder files each, hung under random earlier
    folders), sizes from a long-tailed mix (median 1.8 kB, a few MB at
    most), 5% exact copies in groups, 2% near-copies (same size and head,
    one byte changed at the end), 3% empty files, 0.2% sparse files of a
    few MB apparent size, 1% hard links, and 5% hidden names."""
    os.mkdir(corpus)
    rnd = random.Random(seed)
    folders = [corpus]
    for i in range(1, max(1, files // per_folder)):
        parent = folders[rnd.randrange(len(folders))]
        name = (".d%d" if rnd.random() < 0.05 else "d%d") % i
        path = os.path.join(parent, name)
        os.mkdir(path)
        folders.append(path)
    originals = []
    for i in range(files):
        folder = folders[rnd.randrange(len(folders))]
        path = os.path.join(folder, (".f%d" if rnd.random() < 0.05 else "f%d") % i)
        kind = rnd.random()
        if kind < 0.05 and originals:
            data = originals[rnd.randrange(len(originals))]
        elif kind < 0.07 and originals:
            data = bytearray(originals[rnd.randrange(len(originals))])
            data[-1] ^= 0xFF
            data = bytes(data)
        elif kind < 0.10:
            data = b""
        elif kind < 0.102:
            with open(path, "wb") as out:
                out.truncate(rnd.randrange(1 << 20, 16 << 20))
            continue
        elif kind < 0.112 and i > 0:
            target = os.path.join(folders[0], "link-target-%d" % i)
            with open(target, "wb") as out:
                out.write(rnd.randbytes(rnd.randrange(1, 4096)))
            os.link(target, path)
            continue
        else:
            # Mostly small files, a few large ones.
            size = int(min(rnd.lognormvariate(7.5, 1.5), 4 << 20)) + 1
            data = rnd.randbytes(size)
            if len(originals) < 2000:
                originals.append(data)
        with open(path, "wb") as out:
            out.write(data)
    return len(folders)

corpora = []
for per_folder in (100, 10):
    corpus = os.path.join(scratch, "corpus-%d" % per_folder)
    started = time.perf_counter()
    folder_count = make_corpus(corpus, per_folder)
    print("corpus of about %d files a folder: %d files in %d folders, seed %d, made in %.1f s"
          % (per_folder, files, folder_count, seed, time.perf_counter() - started))
    corpora.append((per_folder, corpus))
print("%d runs per tool, median" % runs)

def run(command):
    started = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.perf_counter() - started

def drop_caches():
    subprocess.run(["sync"])
    with open("/proc/sys/vm/drop_caches", "w") as out:
        out.write("3\n")

def measure(commands, cold=False):
    """Alternates between the commands, one warm-up round first."""
    times = {name: [] for name in commands}
    if not cold:
        for command in commands.values():
            run(command)
    for _ in range(runs):
        for name, command in commands.items():
            if cold:
                drop_caches()
            times[name].append(run(command))
    return {name: statistics.median(values) for name, values in times.items()}

def table(title, ours, figures):
    print("\n%s" % title)
    print("  %-34s %9s %14s" % ("tool", "median s", "ours / theirs"))
    for name, seconds in figures.items():
        ratio = figures[ours] / seconds if seconds > 0 else float("nan")
        print("  %-34s %9.3f %14.2f" % (name, seconds, ratio))

def peak_kib(command):
    result = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, errors="replace")
    for line in result.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1])
    return 0

def size_tools(tree):
    return {
        "larkspur-report --size-only": [report, "--size-only", tree],
        "du -sB1": ["du", "-sB1", tree],
        "ncdu -0 -o /dev/null": ["ncdu", "-0", "-o", "/dev/null", tree],
        "gdu -n -p": ["gdu", "-n", "-p", tree],
    }

def dup_tools(tree):
    # Hidden files included, empty files not copies, links not followed.
    return {
        "larkspur-report": [report, tree],
        "du -sB1": ["du", "-sB1", tree],
        "jdupes -r -q": ["jdupes", "-r", "-q", tree],
        "fdupes -r -n -q": ["fdupes", "-r", "-n", "-q", tree],
        "rmlint -T df --hidden": ["rmlint", "-T", "df", "--hidden", "-o", "fdupes:/dev/null", tree],
    }

def folders_in(tree):
    return sum(1 for _ in os.walk(tree))

def floor_seconds(folders):
    """The walk's hand-off floor: one empty task per folder to the worker
    and back; 0 when the program was not built."""
    if not os.access(handoff, os.X_OK):
        return 0.0
    result = subprocess.run([handoff, str(folders), str(runs)], capture_output=True, text=True)
    print("  " + result.stdout.strip())
    return float(result.stdout.split(" in ")[1].split(" s")[0])

def bench(label, size_tree, dup_tree):
    print("\n%s" % label)
    floor_size = floor_seconds(folders_in(size_tree))
    sizes = measure(size_tools(size_tree))
    table("size scan, warm cache, %s" % label, "larkspur-report --size-only", sizes)
    dups = measure(dup_tools(dup_tree))
    table("duplicate search, warm cache, %s" % label, "larkspur-report", dups)
    ours_size, ours_dups = "larkspur-report --size-only", "larkspur-report"
    targets = [("size scan / (1.2 x du)", sizes[ours_size] / (1.2 * sizes["du -sB1"])),
               ("full report / (du + jdupes)",
                dups[ours_dups] / (dups["du -sB1"] + dups["jdupes -r -q"]))]
    if os.geteuid() == 0 and os.environ.get("COLD") == "1":
        cold_sizes = measure({k: v for k, v in size_tools(size_tree).items() if k in (ours_size, "du -sB1")}, cold=True)
        table("size scan, cold cache, %s" % label, ours_size, cold_sizes)
        cold_dups = measure({k: v for k, v in dup_tools(dup_tree).items() if k in (ours_dups, "jdupes -r -q")}, cold=True)
        table("duplicate search, cold cache, %s" % label, ours_dups, cold_dups)
        targets += [("cold size scan / (1.2 x du)", cold_sizes[ours_size] / (1.2 * cold_sizes["du -sB1"])),
                    ("cold full report / (0.8 x jdupes)", cold_dups[ours_dups] / (0.8 * cold_dups["jdupes -r -q"]))]
    print("\n  targets (1.00 or less meets them); the hand-off floor is %.0f%% of du's time"
          % (100.0 * floor_size / sizes["du -sB1"]))
    for name, ratio in targets:
        print("  %-36s %.2f" % (name + ":", ratio))

base = peak_kib([report, empty])
for per_folder, corpus in corpora:
    bench("corpus of %d files, about %d a folder" % (files, per_folder), corpus, corpus)
    peak = peak_kib([report, corpus])
    # An entry is a file or a folder below the corpus (hard-link targets
    # included), as the scan records each.
    entries = sum(len(names) + len(subfolders) for _, subfolders, names in os.walk(corpus))
    above = (peak - base) * 1024.0
    print("\npeak memory of larkspur-report: %d KiB on an empty folder, %d KiB on the corpus: %.0f bytes per entry (%d entries; target 150), %.0f per file, above the empty-folder peak"
          % (base, peak, above / entries, entries, above / files))
for tree_pair in [(os.environ.get("EXTRA_SIZE_TREE"), os.environ.get("EXTRA_DUPS_TREE"))]:
    if tree_pair[0] and tree_pair[1]:
        bench("%s (sizes) and %s (duplicates)" % tree_pair, tree_pair[0], tree_pair[1])
PY
