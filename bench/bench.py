#!/usr/bin/env python3
"""Measures Hostwell under Wine and prints one table; the same figures go to
<build>/bench.json. Run by scripts/bench, after the build and with the Wine
prefix started:

    python3 bench/bench.py <build folder> [roll-over]

With "roll-over" only the roll-over figure is measured and printed, with
"timestamps" only the baseline and the capture into an <output-log> with
timestamps="true".
"""
import datetime
import gzip
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

LINES = 200_000
LINE_BYTES = 100
# The machine is shared and Wine's server is a bottleneck that others use
# too, so the throughputs take more runs than the minimum of 3.
CAPTURE_RUNS = 5
IDLE_WINDOWS = 3
LATENCY_ROUNDS = 5
IDLE_SECONDS = 10
STAMPED_LINES = 1000
# An output log that rolls over every 64 KB, keeping 3 or 1000 backups.
ROLL_OVER_LINES = 30_000
ROLL_OVER_RUNS = 3
TARGETS = {"capture_ratio": 0.9, "stop_ms": 25, "stop_ctrl_c_ms": 25, "start_ms": 500, "idle_cpu_percent": 0.002,
           "idle_wakeups_per_s": 1.0, "line_latency_median_ms": 5, "line_latency_p99_ms": 20,
           "rss_over_trivial_mb": 5.0, "idle_threads": 5, "size_bytes": 2 * 1024 * 1024,
           "roll_over_keep_ratio": 1.25}

BUILD = os.path.abspath(sys.argv[1])
BIN = os.path.join(BUILD, "bin")
WORK = os.path.join(BUILD, "bench")
HOSTWELL = os.path.join(BIN, "Hostwell.exe")
TEST_PROGRAM = os.path.join(BIN, "hwtestprog.exe")


def windows_path(path):
    # start_wine shows the build folder as drive H:, so that the write check
    # sees only the build folder above the programs and settings.
    relative = os.path.relpath(path, BUILD)
    if not relative.startswith(".."):
        return "H:\\" + relative.replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def expected_line(number):
    return "line %08d %s" % (number, "x" * 85)


def wine(program, *arguments):
    """Runs a Windows program of the build and returns its "key=value" lines."""
    result = subprocess.run(["wine", os.path.join(BIN, program), *arguments], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, check=False)
    values = {}
    for line in result.stdout.splitlines():
        key, _, value = line.strip().partition("=")
        values.setdefault(key, []).append(value)
    if result.returncode != 0:
        raise RuntimeError("%s %s failed (%d): %s" % (program, " ".join(arguments), result.returncode,
                                                      result.stderr.strip()))
    return values


def write_settings(name, program_arguments, log_file=None, termination="", log_attributes="", metrics_file=None):
    path = os.path.join(WORK, name + ".xml")
    logging = ('  <service-logging level="info" file="%s"%s/>\n' % (windows_path(log_file), log_attributes)
               if log_file else "")
    if metrics_file:
        logging += '  <metrics file="%s"/>\n' % windows_path(metrics_file)
    with open(path, "w", encoding="utf-8") as settings:
        settings.write('<?xml version="1.0" encoding="utf-8"?>\n<hostwell>\n'
                       "  <name>%s</name>\n  <description>Hostwell benchmark</description>\n%s"
                       "  <execution>\n    <program>%s</program>\n    <arguments>%s</arguments>\n%s"
                       "  </execution>\n</hostwell>\n"
                       % (name, logging, windows_path(TEST_PROGRAM), program_arguments, termination))
    return path


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


class LogKeeper:
    """Keeps every generation of a rolling log. The log moves its content to
    .1, .2, .3 and drops .3; a hard link taken while a generation still exists
    under one of those names keeps it, so the whole output can be checked."""

    def __init__(self, log_file, keep_folder):
        self.log_file = log_file
        self.keep_folder = fresh_folder(keep_folder)
        self.seen = set()
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self._run)
        self.thread.start()

    def _run(self):
        while not self.stopping.wait(0.01):
            self._take()
        self._take()

    def _take(self):
        for number in (3, 2, 1):
            link = os.path.join(self.keep_folder, "new")
            try:
                os.link("%s.%d" % (self.log_file, number), link)
            except FileNotFoundError:
                continue
            # The name may have moved on between two calls: what the link holds counts.
            inode = os.stat(link).st_ino
            if inode in self.seen:
                os.unlink(link)
            else:
                self.seen.add(inode)
                os.rename(link, os.path.join(self.keep_folder, "generation-%d" % inode))

    def files_oldest_first(self):
        self.stopping.set()
        self.thread.join()
        # A backup is written once, as a copy of the live file, so the time of
        # its last change orders the generations.
        kept = [os.path.join(self.keep_folder, name) for name in os.listdir(self.keep_folder)]
        kept.sort(key=lambda path: os.stat(path).st_mtime_ns)
        return kept + [self.log_file]


RECORD = re.compile(r"^\[[^\]]*\] console +\[Info\] (.*?)\r?$")


def check_sequence(texts, lines=LINES):
    """'yes' when the program's lines are all there, in order, once each."""
    number = 0
    for text in texts:
        if not text.startswith("line "):
            continue
        number += 1
        if text != expected_line(number):
            return "no: line %d reads %r" % (number, text[:30])
    return "yes" if number == lines else "no: %d of %d lines" % (number, lines)


def check_retained(texts, last):
    """'yes' when the program's lines that are kept follow on in order up to the last one."""
    number = None
    for text in texts:
        if not text.startswith("line "):
            continue
        number = int(text[5:13]) if number is None else number + 1
        if text != expected_line(number):
            return "no: line %d reads %r" % (number, text[:30])
    return "yes" if number == last else "no: the last line is %s" % number


def read_lines(path):
    with open(path, encoding="utf-8-sig", errors="replace", newline="") as text:
        return [line.rstrip("\r\n") for line in text]


def log_messages(paths):
    for path in paths:
        for line in read_lines(path):
            match = RECORD.match(line)
            if match:
                yield match.group(1)


def capture_baseline(run):
    folder = fresh_folder(os.path.join(WORK, "capture-a-%d" % run))
    output = os.path.join(folder, "lines.txt")
    result = wine("ProcessTimer.exe", windows_path(os.path.join(folder, "stdout.txt")),
                  windows_path(os.path.join(BIN, "BlockingReader.exe")), windows_path(output),
                  windows_path(TEST_PROGRAM), "lines", str(LINES))
    check = {"file": check_sequence(read_lines(output))}
    shutil.rmtree(folder)
    return float(result["elapsed_ms"][0]), check


def capture_console(run, settings):
    folder = fresh_folder(os.path.join(WORK, "capture-b-%d" % run))
    stdout = os.path.join(folder, "stdout.txt")
    log = os.path.join(folder, "log", "console.log")
    keeper = LogKeeper(log, os.path.join(folder, "kept"))
    result = wine("ProcessTimer.exe", windows_path(stdout), windows_path(HOSTWELL), "console",
                  "/settings=" + windows_path(settings), "/logfile=" + windows_path(log))
    files = keeper.files_oldest_first()
    check = {"stdout": check_sequence(read_lines(stdout)), "log": check_sequence(log_messages(files)),
             "log_files": len(files)}
    shutil.rmtree(folder)
    return float(result["elapsed_ms"][0]), check


def capture_service(run, name, settings, log):
    shutil.rmtree(os.path.dirname(log), ignore_errors=True)
    folder = fresh_folder(os.path.join(WORK, "capture-c-%d" % run))
    keeper = LogKeeper(log, os.path.join(folder, "kept"))
    result = wine("ServiceTimer.exe", "until-stopped", name, windows_path(HOSTWELL), windows_path(settings))
    files = keeper.files_oldest_first()
    check = {"log": check_sequence(log_messages(files)), "log_files": len(files)}
    shutil.rmtree(folder)
    shutil.rmtree(os.path.dirname(log))
    return float(result["elapsed_ms"][0]), check


def output_log_files(output_log):
    """The output log's backups, oldest first, compressed or not, then the live file."""
    files = []
    number = 1
    while True:
        found = [name for name in ("%s.%d.gz" % (output_log, number), "%s.%d" % (output_log, number))
                 if os.path.exists(name)]
        if not found:
            break
        files.append(found[0])
        number += 1
    return list(reversed(files)) + [output_log]


def read_any_lines(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", encoding="utf-8-sig", errors="replace", newline="") as text:
        return [line.rstrip("\r\n") for line in text]


LINE_STAMP = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d ")


def without_stamps(lines):
    """The lines without their time stamps; a line without one is passed on whole, and fails the check."""
    for line in lines:
        match = LINE_STAMP.match(line)
        yield line[match.end():] if match else line


def capture_output_log(name, settings, output_log, stamped=False):
    """(c) once more, the program's lines going raw to an <output-log> with gzip backups."""
    folder = os.path.dirname(output_log)
    shutil.rmtree(folder, ignore_errors=True)
    result = wine("ServiceTimer.exe", "until-stopped", name, windows_path(HOSTWELL), windows_path(settings))
    # Hostwell's process has ended, so every backup is compressed by now.
    files = output_log_files(output_log)
    lines = (line for path in files for line in read_any_lines(path))
    if stamped:
        lines = without_stamps(lines)
    check = {"output_log": check_sequence(lines), "log_files": len(files),
             "compressed": sum(1 for path in files if path.endswith(".gz"))}
    shutil.rmtree(folder)
    return float(result["elapsed_ms"][0]), check


def summary(values_ms):
    return {"values_ms": [round(value, 1) for value in values_ms], "min_ms": round(min(values_ms), 1),
            "median_ms": round(statistics.median(values_ms), 1)}


def output_log_settings(name, folder, attributes=""):
    output_log = os.path.join(folder, "app.log")
    settings = write_settings(
        name, "lines %d" % LINES, os.path.join(folder, "service.log"),
        '    <output-log file="%s" keep="1000" compress="gzip"%s/>\n' % (windows_path(output_log), attributes),
        ' compress="gzip"')
    return settings, output_log


CAPTURE_KINDS = ("baseline", "console", "service", "output_log", "output_log_stamped")


def measure_capture(kinds=CAPTURE_KINDS):
    console_settings = write_settings("HostwellBenchConsole", "lines %d" % LINES)
    service_log = os.path.join(WORK, "capture-c-log", "service.log")
    service_settings = write_settings("HostwellBenchCapture", "lines %d" % LINES, service_log)
    output_settings, output_log = output_log_settings("HostwellBenchOutputLog", os.path.join(WORK, "capture-d-log"))
    stamped_settings, stamped_log = output_log_settings("HostwellBenchStamped", os.path.join(WORK, "capture-e-log"),
                                                        ' timestamps="true"')
    times = {kind: [] for kind in kinds}
    checks = {kind: [] for kind in kinds}
    measures = {"baseline": lambda run: capture_baseline(run),
                "console": lambda run: capture_console(run, console_settings),
                "service": lambda run: capture_service(run, "HostwellBenchCapture", service_settings, service_log),
                "output_log": lambda run: capture_output_log("HostwellBenchOutputLog", output_settings, output_log),
                "output_log_stamped": lambda run: capture_output_log("HostwellBenchStamped", stamped_settings,
                                                                     stamped_log, stamped=True)}
    # Interleaved, so that a busy spell of the machine hits all kinds alike.
    for run in range(1, CAPTURE_RUNS + 1):
        for kind in kinds:
            elapsed, check = measures[kind](run)
            times[kind].append(elapsed)
            checks[kind].append(check)
    figures = {}
    for kind in times:
        figure = summary(times[kind])
        median_s = figure["median_ms"] / 1000
        figure["mb_per_s"] = round(LINES * LINE_BYTES / 1e6 / median_s, 2)
        figure["lines_per_s"] = round(LINES / median_s)
        # Every run must pass, so the worst verdict of each place stands.
        places = [place for place in checks[kind][0] if place not in ("log_files", "compressed")]
        figure["all_lines_in_order"] = {place: next((c[place] for c in checks[kind] if c[place] != "yes"), "yes")
                                        for place in places}
        if "log_files" in checks[kind][0]:
            figure["log_files_checked"] = [c["log_files"] for c in checks[kind]]
        if "compressed" in checks[kind][0]:
            figure["compressed_backups"] = [c["compressed"] for c in checks[kind]]
        figures[kind] = figure
    for kind in kinds[1:]:
        figures[kind]["ratio_to_baseline"] = {
            "median": round(figures["baseline"]["median_ms"] / figures[kind]["median_ms"], 3),
            "best": round(figures["baseline"]["min_ms"] / figures[kind]["min_ms"], 3)}
        figures[kind]["met"] = figures[kind]["ratio_to_baseline"]["median"] >= TARGETS["capture_ratio"]
    return figures


def run_with_backups(name, keep):
    """3 MB through an output log of max-size="64KB" whose `keep` backups all exist."""
    folder = fresh_folder(os.path.join(WORK, name + "-log"))
    output_log = os.path.join(folder, "app.log")
    for number in range(1, keep + 1):
        with open("%s.%d" % (output_log, number), "w") as backup:
            backup.write("old\r\n")
    settings = write_settings(name, "lines %d" % ROLL_OVER_LINES, os.path.join(folder, "service.log"),
                              '    <output-log file="%s" max-size="64KB" keep="%d"/>\n'
                              % (windows_path(output_log), keep))
    result = wine("ServiceTimer.exe", "until-stopped", name, windows_path(HOSTWELL), windows_path(settings))
    check = check_retained((line for path in output_log_files(output_log) for line in read_any_lines(path)),
                           ROLL_OVER_LINES)
    shutil.rmtree(folder)
    return float(result["elapsed_ms"][0]), check


def measure_roll_over():
    times = {3: [], 1000: []}
    checks = {3: [], 1000: []}
    for _ in range(ROLL_OVER_RUNS):
        for keep in times:
            elapsed, check = run_with_backups("HostwellBenchKeep%d" % keep, keep)
            times[keep].append(elapsed)
            checks[keep].append(check)
    figure = {"keep_3": summary(times[3]), "keep_1000": summary(times[1000])}
    figure["ratio"] = round(figure["keep_1000"]["median_ms"] / figure["keep_3"]["median_ms"], 3)
    figure["met"] = figure["ratio"] <= TARGETS["roll_over_keep_ratio"]
    figure["lines_kept_in_order"] = next((c for c in checks[3] + checks[1000] if c != "yes"), "yes")
    return figure


def roll_over_row(figure):
    return ("roll-over: 3 MB, output log of 64 KB, keep=1000 vs keep=3", seconds(figure["keep_1000"]["min_ms"]),
            seconds(figure["keep_1000"]["median_ms"]), "<= %.2f x keep=3" % TARGETS["roll_over_keep_ratio"],
            verdict(figure["met"]),
            "%.2f x keep=3 (median %s); lines kept in order: %s; all backups present at the start"
            % (figure["ratio"], seconds(figure["keep_3"]["median_ms"]), figure["lines_kept_in_order"]))


def start_stop(name, program_arguments, termination=""):
    settings = write_settings(name, program_arguments, os.path.join(WORK, name + "-log", "service.log"), termination)
    return wine("ServiceTimer.exe", "start-stop", name, windows_path(HOSTWELL), windows_path(settings),
                str(LATENCY_ROUNDS))


def measure_latencies():
    result = start_stop("HostwellBenchLatency", "ignore-ctrl sleep 600000")
    start = summary([float(value) for value in result["start_ms"]])
    stop = summary([float(value) for value in result["stop_ms"]])
    start["met"] = start["median_ms"] <= TARGETS["start_ms"]
    stop["met"] = stop["median_ms"] <= TARGETS["stop_ms"]
    gentle = start_stop("HostwellBenchCtrlC", "exit-on-ctrl sleep 600000",
                        '    <termination timeout="1" console-event="ctrl-c"/>\n')
    stop_ctrl_c = summary([float(value) for value in gentle["stop_ms"]])
    stop_ctrl_c["met"] = stop_ctrl_c["median_ms"] <= TARGETS["stop_ctrl_c_ms"]
    return start, stop, stop_ctrl_c


LOG_TIME = re.compile(r"^\[(\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d),(\d{3})\] console +\[Info\] stamp (\d+)")
EPOCH_1601 = datetime.datetime(1601, 1, 1)


def measure_line_latency():
    """From the program's write of a line to its record in the log: both are
    local times, the program's in 100 ns and the log's in whole ms."""
    log = os.path.join(WORK, "stamps-log", "service.log")
    settings = write_settings("HostwellBenchStamps", "stamps %d" % STAMPED_LINES, log)
    wine("ServiceTimer.exe", "until-stopped", "HostwellBenchStamps", windows_path(HOSTWELL), windows_path(settings))
    latencies = []
    for line in read_lines(log):
        match = LOG_TIME.match(line)
        if match:
            *fields, stamp = [int(value) for value in match.groups()]
            # The record's time is cut to whole milliseconds: its middle is the best guess.
            logged = datetime.datetime(*fields[:6], fields[6] * 1000 + 500) - EPOCH_1601
            latencies.append((logged / datetime.timedelta(microseconds=1) - int(stamp) / 10) / 1000)
    if len(latencies) != STAMPED_LINES:
        raise RuntimeError("%d of %d stamped lines reached the log" % (len(latencies), STAMPED_LINES))
    latencies.sort()
    median = statistics.median(latencies)
    p99 = latencies[int(0.99 * (len(latencies) - 1))]
    return {"median": round(median, 2), "p99": round(p99, 2), "lines": len(latencies),
            "met": median <= TARGETS["line_latency_median_ms"] and p99 <= TARGETS["line_latency_p99_ms"]}


def linux_process(*words):
    """The Linux process id of the Wine process whose command line holds all words."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                text = cmdline.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if all(word in text for word in words):
            return int(entry)
    return None


def cpu_ns(pid):
    """On-CPU time of all threads of the process, in nanoseconds."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as schedstat:
                total += int(schedstat.read().split()[0])
        except OSError:
            pass
    return total


def switches_per_thread(pid):
    """Context switches of each thread: a sleeping thread that wakes up and
    sleeps again is switched out once per wake-up."""
    counts = {}
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as status:
                counts[task] = sum(int(line.split()[1]) for line in status if "ctxt_switches" in line)
        except OSError:
            pass
    return counts


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def measure_idle():
    # With a metrics file: it is written when something changes, never on a timer.
    metrics = os.path.join(WORK, "idle-metrics", "HostwellBenchIdle.prom")
    settings = write_settings("HostwellBenchIdle", "ignore-ctrl sleep 600000",
                              os.path.join(WORK, "idle-log", "service.log"), metrics_file=metrics)
    # A trivial Wine program beside it: the test program sleeping.
    trivial = subprocess.Popen(["wine", TEST_PROGRAM, "sleep", "600001"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    timer = subprocess.Popen(["wine", os.path.join(BIN, "ServiceTimer.exe"), "idle", "HostwellBenchIdle",
                              windows_path(HOSTWELL), windows_path(settings), str(IDLE_WINDOWS * IDLE_SECONDS + 2)],
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
    try:
        for line in timer.stdout:
            if line.strip() == "ready":
                break
        hostwell = linux_process("Hostwell.exe hostwell ", windows_path(settings))
        program = linux_process("hwtestprog.exe", "sleep 600001")
        if hostwell is None or program is None:
            raise RuntimeError("the Wine processes of the idle service or the trivial program were not found")
        running = 'hostwell_up{service="HostwellBenchIdle"} 1\n'
        for _ in range(100):
            if os.path.exists(metrics) and running in open(metrics, encoding="utf-8").read():
                break
            time.sleep(0.1)
        else:
            raise RuntimeError("the idle service's metrics file did not say within 10 s that its program runs")
        cpu_percent = []
        wakeups = []
        hostwell_rss = []
        program_rss = []
        threads = []
        for _ in range(IDLE_WINDOWS):
            before = cpu_ns(hostwell)
            switches = switches_per_thread(hostwell)
            began = time.monotonic()
            for _ in range(IDLE_SECONDS):
                time.sleep(1)
                hostwell_rss.append(rss_kb(hostwell))
                program_rss.append(rss_kb(program))
                threads.append(len(os.listdir("/proc/%d/task" % hostwell)))
            elapsed = time.monotonic() - began
            cpu_percent.append(100 * (cpu_ns(hostwell) - before) / (elapsed * 1e9))
            after = switches_per_thread(hostwell)
            wakeups.append(max((after[task] - switches.get(task, 0)) / elapsed for task in after))
        timer.wait()
    finally:
        trivial.kill()
        trivial.wait()
    rss = round(statistics.median(hostwell_rss) / 1024, 1)
    trivial_rss = round(statistics.median(program_rss) / 1024, 1)
    return {"cpu_percent": {"values": [round(value, 4) for value in cpu_percent],
                            "min": round(min(cpu_percent), 4),
                            "median": round(statistics.median(cpu_percent), 4),
                            "met": statistics.median(cpu_percent) <= TARGETS["idle_cpu_percent"]},
            "wakeups_per_s": {"values": [round(value, 2) for value in wakeups], "max": round(max(wakeups), 2),
                              "met": max(wakeups) <= TARGETS["idle_wakeups_per_s"]},
            "rss_mb": rss, "trivial_program_rss_mb": trivial_rss, "rss_over_trivial_mb": round(rss - trivial_rss, 1),
            "rss_met": rss - trivial_rss <= TARGETS["rss_over_trivial_mb"],
            "threads": max(threads), "threads_met": max(threads) <= TARGETS["idle_threads"]}


def measure_size():
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", HOSTWELL], stdout=subprocess.PIPE, text=True,
                          check=True).stdout
    imports = re.findall(r"DLL Name: (\S+)", dump)
    system32 = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32")
    installed = {name.lower() for name in os.listdir(system32)}
    size = os.path.getsize(HOSTWELL)
    return {"bytes": size, "met": size <= TARGETS["size_bytes"], "imports": imports,
            "system_dlls_only": all(name.lower() in installed for name in imports)}


def seconds(milliseconds):
    return "%.3f s" % (milliseconds / 1000)


def verdict(met):
    return "met" if met else "MISSED"


CAPTURE_TITLES = {"baseline": "(a) capture: blocking ReadFile, flush per line",
                  "console": "(b) capture: Hostwell console, log file",
                  "service": "(c) capture: Hostwell service, log file",
                  "output_log": "(d) capture: Hostwell service, <output-log>, gzip backups",
                  "output_log_stamped": "(e) capture: (d) with timestamps=\"true\""}


def capture_rows(capture):
    rows = []
    for kind, title in CAPTURE_TITLES.items():
        if kind not in capture:
            continue
        figure = capture[kind]
        details = "%.2f MB/s, %d lines/s" % (figure["mb_per_s"], figure["lines_per_s"])
        target = result = ""
        if "ratio_to_baseline" in figure:
            letter = {"console": "b/a", "service": "c/a", "output_log": "d/a", "output_log_stamped": "e/a"}[kind]
            details += ", %s %.2f (best %.2f)" % (letter, figure["ratio_to_baseline"]["median"],
                                                 figure["ratio_to_baseline"]["best"])
            target = "%s >= %.1f" % (letter, TARGETS["capture_ratio"])
            result = verdict(figure["met"])
        checks = figure["all_lines_in_order"]
        details += "; all lines in order: " + ", ".join("%s %s" % (place, answer) for place, answer in checks.items())
        if "log_files_checked" in figure:
            details += " (log files per run: %s)" % "/".join(str(count) for count in figure["log_files_checked"])
        if "compressed_backups" in figure:
            details += " (gzip backups per run: %s)" % "/".join(str(count) for count in figure["compressed_backups"])
        rows.append((title, seconds(figure["min_ms"]), seconds(figure["median_ms"]), target, result, details))
    return rows


def print_table(report):
    rows = [("Figure", "min", "median", "target", "result", "details")]
    rows += capture_rows(report["capture"])
    for key, title, target in (("start_latency", "start latency, StartService to RUNNING", TARGETS["start_ms"]),
                               ("stop_latency", "stop latency, stop request to STOPPED", TARGETS["stop_ms"]),
                               ("stop_ctrl_c", "stop with console-event ctrl-c, to STOPPED",
                                TARGETS["stop_ctrl_c_ms"])):
        figure = report[key]
        rows.append((title, seconds(figure["min_ms"]), seconds(figure["median_ms"]), "<= " + seconds(target),
                     verdict(figure["met"]), "%d rounds" % len(figure["values_ms"])))
    latency = report["line_latency_ms"]
    rows.append(("line latency, program write to log record", "", "%.1f ms" % latency["median"],
                 "<= %d ms, p99 <= %d ms" % (TARGETS["line_latency_median_ms"], TARGETS["line_latency_p99_ms"]),
                 verdict(latency["met"]), "p99 %.1f ms; %d lines, one every 10 ms" % (latency["p99"], latency["lines"])))
    idle = report["idle"]
    rows.append(("idle CPU of Hostwell in %d s" % IDLE_SECONDS, "%.4f %%" % idle["cpu_percent"]["min"],
                 "%.4f %%" % idle["cpu_percent"]["median"], "<= %.3f %%" % TARGETS["idle_cpu_percent"],
                 verdict(idle["cpu_percent"]["met"]), "%d windows, of one core" % IDLE_WINDOWS))
    rows.append(("idle wake-ups of Hostwell's busiest thread", "", "%.2f /s" % idle["wakeups_per_s"]["max"],
                 "<= %.0f /s" % TARGETS["idle_wakeups_per_s"], verdict(idle["wakeups_per_s"]["met"]),
                 "most of any thread in any window; with a metrics file"))
    rows.append(("VmRSS of Hostwell over a trivial program", "", "%+.1f MB" % idle["rss_over_trivial_mb"],
                 "<= +%.0f MB" % TARGETS["rss_over_trivial_mb"], verdict(idle["rss_met"]),
                 "Hostwell %.1f MB, trivial Wine program %.1f MB" % (idle["rss_mb"], idle["trivial_program_rss_mb"])))
    rows.append(("threads of the idle service", "", "%d" % idle["threads"], "<= %d" % TARGETS["idle_threads"],
                 verdict(idle["threads_met"]), "most seen in /proc/<pid>/task, Wine's own included"))
    size = report["size"]
    rows.append(("size of Hostwell.exe", "", "%d B" % size["bytes"], "<= %d B" % TARGETS["size_bytes"],
                 verdict(size["met"] and size["system_dlls_only"]),
                 "imports %s (%s)" % (" ".join(size["imports"]),
                                      "system DLLs only" if size["system_dlls_only"] else "NOT only system DLLs")))
    rows.append(roll_over_row(report["roll_over"]))
    widths = [max(len(row[column]) for row in rows) for column in range(6)]
    print()
    print("Hostwell benchmark: %s, %d CPUs, load %.2f at the start; output capture of %d lines of %d bytes, "
          "%d runs each" % (report["machine"]["wine"], report["machine"]["cpus"], report["machine"]["load_at_start"],
                            LINES, LINE_BYTES, CAPTURE_RUNS))
    print()
    for row in rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
    print("""
- Times are taken by the measuring programs with QueryPerformanceCounter: (a) and
  (b) from the start of the capturing process to its end, (c) to (e) from StartService
  until the service has stopped by itself (its program ended) and its process
  has ended. The five run in turn. MB/s and lines/s are of the program's output
  (10^6 bytes) at the median time. Ratios are baseline time over Hostwell time:
  median over median, and best over best. Under Wine every write of the program
  to its pipe is a round trip to wineserver, which bounds them all alike.
- "All lines in order": the %d lines appear exactly once each, whole and in
  order. The log rolls over at 3 MiB and keeps only .1 to .3; while the run goes
  on, every generation is kept by a hard link before the log drops it, so the
  whole log is checked, not only the retained tail. (b) is checked in its
  standard output too. (d) sends the program's lines raw to an <output-log>
  that keeps all its backups, gzip-compressed (the service log too); they are
  read back with Python's gzip module. (e) is (d) with a time stamp before
  each line, checked for its form and taken off before the line is. Every
  run is checked.
- Latencies use a program that ignores stop requests and no stop command, and
  one that ends on Ctrl+C with console-event="ctrl-c"; the stop requests come
  at times spread over half a second. The line latency compares the program's
  local time when it writes a line with the time of its log record (which
  has whole milliseconds).
- The idle service keeps a log file and a metrics file.
- Idle CPU: on-CPU time of all threads of Hostwell's Wine process (from
  /proc/<pid>/task/*/schedstat; under Wine GetProcessTimes of another process
  gives nothing); work that wineserver does for it is not counted. VmRSS: median
  of one sample a second, beside the test program sleeping as a trivial Wine
  program. Wake-ups: the voluntary and involuntary context switches of each
  thread of Hostwell's Wine process (/proc/<pid>/task/*/status) per second;
  a thread that sleeps and wakes is switched out once per wake-up.
- Roll-over: %d lines of 100 bytes through an <output-log> of max-size="64KB",
  once with keep="3" and 3 backups present, once with keep="1000" and 1000
  present, from StartService until the service has stopped with its program;
  %d runs each, interleaved. A roll-over must cost the same for any keep: the
  ratio is the median time with keep="1000" over that with keep="3". The
  backups move on a thread of their own, but under Wine each rename is a round
  trip to wineserver, which the program's writes to its pipe wait behind too.
- The same figures are in %s.""" % (LINES, ROLL_OVER_LINES, ROLL_OVER_RUNS, os.path.join(BUILD, "bench.json")))


def main():
    fresh_folder(WORK)
    if sys.argv[2:] == ["roll-over"]:
        figure = measure_roll_over()
        print("  ".join(roll_over_row(figure)))
        return
    if sys.argv[2:] == ["timestamps"]:
        for row in capture_rows(measure_capture(("baseline", "output_log_stamped"))):
            print("  ".join(row))
        return
    wine_version = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  text=True).stdout.strip()
    report = {"machine": {"wine": wine_version, "cpus": os.cpu_count(), "load_at_start": os.getloadavg()[0]},
              "targets": TARGETS}
    print("Measuring output capture (%d runs of %d kinds)..." % (CAPTURE_RUNS, len(CAPTURE_KINDS)), flush=True)
    report["capture"] = measure_capture()
    print("Measuring start and stop latency...", flush=True)
    report["start_latency"], report["stop_latency"], report["stop_ctrl_c"] = measure_latencies()
    print("Measuring the line latency...", flush=True)
    report["line_latency_ms"] = measure_line_latency()
    print("Measuring the idle service...", flush=True)
    report["idle"] = measure_idle()
    report["size"] = measure_size()
    print("Measuring the roll-over with 1000 backups...", flush=True)
    report["roll_over"] = measure_roll_over()
    with open(os.path.join(BUILD, "bench.json"), "w") as output:
        json.dump(report, output, indent=2)
        output.write("\n")
    print_table(report)


if __name__ == "__main__":
    main()
