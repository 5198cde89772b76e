#!/usr/bin/env bash
# Where the installer's run (shipped scenario, no display) spends its time, step by step, from
# the spawn that starts it to the moment its parent learns that it ended. Needs root: it places
# uprobes on the installer's own functions and traces a few system calls and scheduler events
# through the kernel's tracefs, then runs the installer RUNS times (default 100), each time
# hard-linked into a fresh folder, and prints the median of each step.
#
# Usage: bench/breakdown.sh [INSTALLER] [RUNS]   (default: build-bench/app/Viterbo_Attigliano_7545,
# as bench/run.sh builds it). Each probe hit costs the run a few microseconds (a trap into the
# kernel); the script prints the run's median with and without the probes, so that this shows.
set -euo pipefail
cd "$(dirname "$0")/.."
installer=$(realpath "${1:-build-bench/app/Viterbo_Attigliano_7545}")
runs=${2:-100}
tracing=/sys/kernel/tracing
group=scenario_breakdown
[ -d "$tracing/events" ] || mount -t tracefs nodev "$tracing"
unset DISPLAY WAYLAND_DISPLAY

work=$(mktemp -d)
# Uprobes belong to one file: every run hard-links this one copy into its fresh folder.
cp "$installer" "$work/installer"
binary="$work/installer"

# The functions whose entries and returns mark the steps (demangled name prefixes).
functions=(
  "main=main"
  "dati_linea=dati_linea("
  "dati_treno=dati_treno("
  "dati_note=dati_note("
  "dati_rallentamenti=dati_rallentamenti("
  "dati_scheda=dati_scheda("
  "memorizza_dati=memorizza_dati("
  "read_file=read_file("
  "delete_file=delete_file("
  "write_plan=replace_file_in_placed_pieces("
  "replace_file=replace_file("
  "end_process=platform::end_process("
)
syscalls=(execve rename fallocate clone3 wait4 pwrite64)

# The tracer's settings this script changes, to be put back as they were.
saved_on=$(cat "$tracing/tracing_on")
saved_clock=$(sed 's/.*\[\(.*\)\].*/\1/' "$tracing/trace_clock")
saved_buffer=$(sed 's/ .*//' "$tracing/buffer_size_kb")
saved_tgid=$(cat "$tracing/options/record-tgid")

cleanup() {
  echo 0 >"$tracing/tracing_on" || true
  for e in "$tracing/events/$group"/*/enable; do [ -f "$e" ] && echo 0 >"$e"; done
  for s in "${syscalls[@]}"; do
    for d in enter exit; do echo 0 >"$tracing/events/syscalls/sys_${d}_$s/enable" || true; done
  done
  for e in sched_process_fork sched_process_exec sched_process_exit; do
    echo 0 >"$tracing/events/sched/$e/enable" || true
  done
  grep -o "^[pr]:$group/[a-z_]*" "$tracing/uprobe_events" 2>/dev/null | sed 's/^[pr]:/-:/' |
    while read -r probe; do echo "$probe" >>"$tracing/uprobe_events"; done
  echo >"$tracing/set_event_pid" || true
  echo 0 >"$tracing/options/event-fork" || true
  echo "$saved_tgid" >"$tracing/options/record-tgid" || true
  echo "$saved_clock" >"$tracing/trace_clock" || true
  echo "$saved_buffer" >"$tracing/buffer_size_kb" || true
  echo >"$tracing/trace" || true
  echo "$saved_on" >"$tracing/tracing_on" || true
  rm -rf "$work"
}
trap cleanup EXIT

# Places an entry and a return probe on each function, at its offset in the file.
symbols=$(nm -C --defined-only "$binary")
for entry in "${functions[@]}"; do
  name=${entry%%=*}
  prefix=${entry#*=}
  address=$(awk -v p="$prefix" '$2 == "T" { line = $0; sub(/^[^ ]+ T /, "", line);
    if (index(line, p) == 1 && (p != "main" || line == "main")) { print $1; exit } }' <<<"$symbols")
  [ -n "$address" ] || { echo "no symbol for $prefix in $installer" >&2; exit 1; }
  offset=
  while read -r kind file_offset virtual _ _ size _; do
    if [ "$kind" = LOAD ] && ((16#$address >= virtual && 16#$address < virtual + size)); then
      offset=$(printf '0x%x' $((16#$address - virtual + file_offset)))
    fi
  done < <(readelf -lW "$binary")
  [ -n "$offset" ] || { echo "$prefix lies in no loaded segment" >&2; exit 1; }
  echo "p:$group/${name}_in $binary:$offset" >>"$tracing/uprobe_events"
  echo "r:$group/${name}_out $binary:$offset" >>"$tracing/uprobe_events"
done

echo 0 >"$tracing/tracing_on"
echo mono >"$tracing/trace_clock"
echo 16384 >"$tracing/buffer_size_kb"
echo 1 >"$tracing/options/record-tgid"
echo 1 >"$tracing/options/event-fork"
echo >"$tracing/trace"
for e in "$tracing/events/$group"/*/enable; do echo 1 >"$e"; done
for s in "${syscalls[@]}"; do
  for d in enter exit; do echo 1 >"$tracing/events/syscalls/sys_${d}_$s/enable"; done
done
for e in sched_process_fork sched_process_exec sched_process_exit; do
  echo 1 >"$tracing/events/sched/$e/enable"
done

# The runs, started as hyperfine starts a program (posix_spawn) by a process of their own whose
# descendants alone are traced; each run's folder is made afresh in between, without a process.
python3 - "$tracing" "$work" "$binary" "$runs" <<'EOF'
import os, shutil, sys
tracing, work, binary, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
folder = os.path.join(work, "run")
program = os.path.join(folder, "Viterbo_Attigliano_7545")
open(os.path.join(tracing, "set_event_pid"), "w").write(str(os.getpid()))
open(os.path.join(tracing, "tracing_on"), "w").write("1")
for _ in range(runs):
    shutil.rmtree(folder, ignore_errors=True)
    os.mkdir(folder)
    os.link(binary, program)
    os.waitpid(os.posix_spawn(program, [program], dict(os.environ)), 0)
open(os.path.join(tracing, "tracing_on"), "w").write("0")
EOF
cp "$tracing/trace" "$work/trace.txt"
[ -z "${BREAKDOWN_TRACE:-}" ] || cp "$work/trace.txt" "$BREAKDOWN_TRACE"

# The same runs' wall time without probes, and with them (hyperfine's medians).
timed() {
  hyperfine -N --warmup 10 --runs "$runs" --export-csv "$work/$1.csv" \
    --prepare "sh -c 'rm -rf $work/run && mkdir $work/run && ln $binary $work/run/Viterbo_Attigliano_7545'" \
    "$work/run/Viterbo_Attigliano_7545" >/dev/null 2>&1
  awk -F, 'NR == 2 { printf "%.2f", $4 * 1000 }' "$work/$1.csv"
}
with_probes=$(timed with)
for e in "$tracing/events/$group"/*/enable; do echo 0 >"$e"; done
without_probes=$(timed without)
# Page faults of a whole run, and of one cp of the same six files (the run's own as reference).
faults=$(cd "$work/run" && /usr/bin/time -f %R ./Viterbo_Attigliano_7545 2>&1 >/dev/null | tail -n 1)
mkdir "$work/copy"
copy_faults=$(cd "$work/run" && /usr/bin/time -f %R cp Viterbo_Attigliano_7545_note.txt \
  Viterbo_Attigliano_7545_rallentamenti.txt Viterbo_Attigliano_7545_scheda_treno.txt \
  Viterbo_Attigliano_linea.dat Viterbo_Attigliano_7545.sim Viterbo_Attigliano_7545.dat \
  "$work/copy/" 2>&1 >/dev/null | tail -n 1)

python3 - "$work/trace.txt" "$with_probes" "$without_probes" "$faults" "$copy_faults" <<'EOF'
import re, statistics, sys
from collections import defaultdict

line_re = re.compile(r'^\s*(.+?)-(\d+)\s+\(\s*(\d+|-------)\)\s+\[\d+\]\s+\S+\s+([\d.]+):\s+(\w+)(.*)$')
events = []
for line in open(sys.argv[1]):
    m = line_re.match(line)
    if not m:
        continue
    name, args = m.group(5), m.group(6)
    # System calls show as "sys_NAME(arguments)" on entry and "sys_NAME -> result" on exit.
    if name.startswith('sys_'):
        name = ('sys_exit_' if args.lstrip().startswith('->') else 'sys_enter_') + name[4:]
    events.append((float(m.group(4)) * 1000.0, int(m.group(2)), m.group(3), name, args))

# Each run: its pid, from the spawn (a fork event) that made it to its parent's wait that saw it end.
runs = {}
for t, pid, tgid, name, args in events:
    if name == 'sched_process_fork':
        child = int(re.search(r'child_pid=(\d+)', args).group(1))
        runs.setdefault(child, {'parent': pid, 'fork': t, 'ev': []})
for t, pid, tgid, name, args in events:
    if name == 'sched_process_exec' and 'Viterbo_Attigliano_7545' in args and pid in runs:
        runs[pid]['exec'] = t
runs = {p: r for p, r in runs.items() if 'exec' in r}
for e in events:
    owner = int(e[2]) if e[2].isdigit() else e[1]
    if owner in runs:
        runs[owner]['ev'].append(e)
    elif e[1] in runs:
        runs[e[1]]['ev'].append(e)
for p, r in runs.items():
    for t, pid, tgid, name, args in events:
        if pid == r['parent'] and name == 'sys_exit_wait4' and t > r['fork'] and 'end' not in r:
            exited = [e[0] for e in r['ev'] if e[3] == 'sched_process_exit' and e[1] == p]
            if exited and t >= exited[0]:
                r['end'] = t

steps = [
    ('process start: spawn, until the child calls execve', 'spawn'),
    ('process start: execve, the kernel maps the executable', 'exec'),
    ('loading: the C library, relocation, C/C++ runtime start', 'load'),
    ('finding the folder (main until the first file)', 'folder'),
    ('writing the two sources (without their renames)', 'sources'),
    ('writing the three documents (without their renames)', 'documents'),
    ('reading the two sources back', 'reading'),
    ('compiling (parsing, cells, checks)', 'compiling'),
    ('deleting the two sources', 'deleting'),
    ('writing the line plan, 1.1 MB (without its rename)', 'plan'),
    ('  of which reserving its space (fallocate)', 'fallocate'),
    ('  of which starting the writer thread (clone3)', 'clone'),
    ('  of which write system calls', 'plan_writes'),
    ('encoding and writing .sim and .dat (without their renames)', 'tables'),
    ('renames of the seven temporary files', 'renames'),
    ('ending: exit handlers until the process exits', 'exit'),
    ('teardown until the parent\'s wait returns', 'teardown'),
]
values = defaultdict(list)
totals = []
probe_hits = []
for p, r in runs.items():
    if 'end' not in r:
        continue
    ev = sorted(r['ev'])
    first = {}
    spans = defaultdict(float)
    stack = {}
    marks = {}
    for t, pid, tgid, name, args in ev:
        first.setdefault(name, t)
        if name.endswith('_in') or name.startswith('sys_enter_'):
            key = name[:-3] if name.endswith('_in') else name[len('sys_enter_'):]
            stack[(key, pid)] = t
        elif name.endswith('_out') or name.startswith('sys_exit_'):
            key = name[:-4] if name.endswith('_out') else name[len('sys_exit_'):]
            if (key, pid) in stack:
                spans[key] += t - stack.pop((key, pid))
                marks.setdefault(key + '_end', []).append(t)
    try:
        exit_t = min(e[0] for e in ev if e[3] == 'sched_process_exit' and e[1] == p)
        hits = sum(1 for e in ev if e[3].endswith('_in') or e[3].endswith('_out'))
        v = {}
        execve = min(e[0] for e in ev if e[3] == 'sys_enter_execve' and e[1] == p)
        v['spawn'] = execve - r['fork']
        v['exec'] = r['exec'] - execve
        v['load'] = first['main_in'] - r['exec']
        v['folder'] = first['dati_linea_in'] - first['main_in']
        v['renames'] = spans['rename']
        # Renames inside each step: two sources, three documents, plan, two tables.
        rename_times = []
        for t, pid, tgid, name, args in ev:
            if name == 'sys_enter_rename':
                rename_times.append([t, None])
            if name == 'sys_exit_rename' and rename_times and rename_times[-1][1] is None:
                rename_times[-1][1] = t
        def renames_between(a, b):
            return sum(e - s for s, e in rename_times if e is not None and s >= a and e <= b)
        a, b = first['dati_linea_in'], first['dati_note_in']
        v['sources'] = b - a - renames_between(a, b)
        a, b = first['dati_note_in'], first['memorizza_dati_in']
        v['documents'] = b - a - renames_between(a, b)
        v['reading'] = spans['read_file']
        v['deleting'] = spans['delete_file']
        # The plan is the first file written after the sources are read, in placed pieces.
        after = marks['memorizza_dati_end'][0]
        a, started = min((e[0], e[3]) for e in ev
                         if e[0] > after and e[3] in ('write_plan_in', 'replace_file_in'))
        b = min(t for t in marks[started[:-len('_in')] + '_end'] if t > a)
        v['compiling'] = a - first['memorizza_dati_in'] - v['reading'] - v['deleting']
        v['plan'] = b - a - renames_between(a, b)
        write_enter = None
        v['plan_writes'] = 0.0
        for t, pid, tgid, name, args in ev:
            if a <= t <= b and name == 'sys_enter_pwrite64':
                write_enter = t
            elif a <= t <= b and name == 'sys_exit_pwrite64' and write_enter is not None:
                v['plan_writes'] += t - write_enter
                write_enter = None
        v['fallocate'] = spans['fallocate']
        v['clone'] = spans['clone3']
        a, b = b, first['end_process_in']
        v['tables'] = b - a - renames_between(a, b)
        v['exit'] = exit_t - first['end_process_in']
        v['teardown'] = r['end'] - exit_t
    except (KeyError, IndexError, ValueError):
        continue
    for k, x in v.items():
        values[k].append(x)
    totals.append(r['end'] - r['fork'])
    probe_hits.append(hits)

n = len(totals)
print(f"Installer run, shipped scenario, no display: medians over {n} traced runs, in ms")
for label, key in steps:
    print(f"  {label:<62} {statistics.median(values[key]):6.3f}")
print(f"  {'sum of the medians above (sub-items not counted)':<62} "
      f"{sum(statistics.median(values[k]) for l, k in steps if not l.startswith('  ')):6.3f}")
print(f"  {'median of the traced runs, spawn to wait':<62} {statistics.median(totals):6.3f}")
print(f"Probe hits per run: {int(statistics.median(probe_hits))}; hyperfine median with the probes "
      f"{sys.argv[2]} ms, without {sys.argv[3]} ms")
print(f"Page faults of a run: {sys.argv[4]} (one cp of the same six files: {sys.argv[5]})")
EOF
