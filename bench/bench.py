"""Times velstram's four options against `cat in > out` and ImageMagick on map-like images.

Called by bench/run.sh, which installs the tools and builds the program first. Every run gets
a fresh output name; the runs of one round are interleaved so that a change in the machine's
load falls on all of them alike. Wall time is measured here, peak memory by /usr/bin/time -v.
"""

import argparse
import datetime
import hashlib
import os
import platform
import re
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

import numpy as np
import tifffile

import mapimage

HERE = Path(__file__).resolve().parent
CONVERT = "/usr/bin/convert"
GNU_TIME = "/usr/bin/time"
PYTHON = "/usr/bin/python3"

KEEP_COLOURS = ["c96a2d", "8b4513", "2d6ac9", "000000"] + ["0"] * 6
BAND = ("a00000", "e0e0e0")
OPTIONS = {
    1: ["1"] + KEEP_COLOURS,
    2: ["2", *BAND],
    3: ["3"],
    4: ["4"],
}

# The same option 1 from the command line, with a reach (--fuzz, --fit), and the colour
# census, plain and in groups.
KEEP_ARGUMENTS = ["--keep", ",".join(c for c in KEEP_COLOURS if c != "0")]
FUZZ_ARGUMENTS = KEEP_ARGUMENTS + ["--fuzz", "10%"]
FIT_ARGUMENTS = KEEP_ARGUMENTS + ["--fuzz", "12%", "--fit", "4"]
GROUP_ARGUMENTS = ["--colours", "--fuzz", "10%"]

MAX_TIMES_CAT = 2.5
MAX_COMMAND_LINE_TIMES_DIALOGUE = 1.02
MAX_CENSUS_TIMES_KEEP_LIST = 1.5
MAX_REACH_TIMES_KEEP = 1.2
MAX_GROUPS_TIMES_CENSUS = 3.0
# The census holds no raster: its memory is the same at any size.
CENSUS_MEMORY = 100_000_000
# Beside the raster, the fit counts the colours near its keys (4 bytes each: 10 MiB for the
# benchmark's four keys at 12 %) with their ranks (2 MiB) and two tables of colours (4 MiB).
FIT_TABLE = 24 << 20
MAX_CONTOURS_TIMES_KEEP_LIST = 1.25
MAX_TIMES_IMAGEMAGICK = 0.35
MAX_SCALING_4X = 4.5
MAX_ONE_ROW_STRIPS = 1.3
MEMORY_SLACK = 16 << 20


@dataclass
class Image:
    """One test file: its pixels' size and how its strips and directory are laid out."""

    name: str
    path: Path
    width: int
    height: int

    def memory_limit(self):
        return 4 * (self.height + 1) * self.width + MEMORY_SLACK


@dataclass
class Case:
    """One command on one image; each run appends its wall time and peak memory."""

    tool: str
    image: Image
    option: int = 0
    seconds: list = field(default_factory=list)
    peak_bytes: list = field(default_factory=list)

    def median(self):
        return statistics.median(self.seconds)

    def peak(self):
        return max(self.peak_bytes)


class Runner:
    def __init__(self, binary, work):
        self.binary = binary
        self.outputs = work / "out"
        self.outputs.mkdir(parents=True, exist_ok=True)
        for old in self.outputs.iterdir():
            old.unlink()
        self.time_report = work / "time-v.txt"
        self.counter = 0

    def fresh_output(self):
        self.counter += 1
        return self.outputs / f"run{self.counter:05d}.tif"

    def run(self, case, digest=False):
        out = self.fresh_output()
        command, stdin_bytes, stdout_path = self.command(case, out)
        timed = [GNU_TIME, "-v", "-o", str(self.time_report)] + command
        with open(stdout_path, "wb") as stdout:
            start = time.perf_counter()
            done = subprocess.run(timed, input=stdin_bytes, stdout=stdout,
                                  stderr=subprocess.PIPE)
            seconds = time.perf_counter() - start
        if done.returncode != 0:
            sys.exit(f"{case.tool} on {case.image.path} failed with status {done.returncode}: "
                     f"{done.stderr.decode(errors='replace')}")
        case.seconds.append(seconds)
        case.peak_bytes.append(peak_memory(self.time_report))
        if case.tool in FILTER_RUNS and out.stat().st_size != case.image.path.stat().st_size:
            sys.exit(f"velstram option {case.option} wrote {out.stat().st_size} bytes for a "
                     f"{case.image.path.stat().st_size}-byte input")
        pixels = pixel_digest(out) if digest else None
        out.unlink(missing_ok=True)
        return pixels

    def command(self, case, out):
        if case.tool == "cat":
            return ["cat", str(case.image.path)], None, out
        transcript = self.outputs / "transcript.txt"
        if case.tool == "convert":
            return ([CONVERT, str(case.image.path), "-fill", "white", "+opaque", "#c96a2d",
                     str(out)], None, transcript)
        if case.tool == "numpy":
            return ([PYTHON, str(HERE / "numpy_keep.py"), str(case.image.path), str(out)], None,
                    transcript)
        if case.tool == "command line":
            return [str(self.binary), *KEEP_ARGUMENTS, str(case.image.path), str(out)], None, \
                transcript
        if case.tool == "census":
            return [str(self.binary), "--colours", str(case.image.path)], None, transcript
        if case.tool == "census groups":
            return [str(self.binary), *GROUP_ARGUMENTS, str(case.image.path)], None, transcript
        if case.tool in ("fuzz", "fit"):
            reach = FUZZ_ARGUMENTS if case.tool == "fuzz" else FIT_ARGUMENTS
            return [str(self.binary), *reach, str(case.image.path), str(out)], None, transcript
        typed = OPTIONS[case.option] + ["", str(case.image.path), str(out)]
        return [str(self.binary)], ("\n".join(typed) + "\n").encode(), transcript


def pixel_digest(path):
    return hashlib.sha256(tifffile.imread(path).tobytes()).hexdigest()


def peak_memory(report):
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read_text())
    return int(match.group(1)) * 1024


# ---------------------------------------------------------------------------------------
# Test images, kept between runs while the generator and the size stay the same.


def generator_stamp(width, height):
    digest = hashlib.sha256((HERE / "mapimage.py").read_bytes()).hexdigest()[:16]
    return f"{width}x{height}-{digest}"


def tiffcp(source, target, rows):
    subprocess.run(["tiffcp", "-c", "none", "-r", str(rows), str(source), str(target)],
                   check=True)


def make_images(work, width, height, one_row_strips):
    """The tifffile file (directory first, one strip) and its tiffcp copies (strips first)."""
    base = work / f"map_{width}x{height}"
    stamp = base.with_suffix(".stamp")
    images = {
        "tifffile": Image("tifffile, directory first", base.with_name(base.name + "_tifffile.tif"),
                          width, height),
        "tiffcp8": Image("tiffcp -r 8, directory last", base.with_name(base.name + "_r8.tif"),
                         width, height),
    }
    if one_row_strips:
        images["tiffcp1"] = Image("tiffcp -r 1, directory last",
                                  base.with_name(base.name + "_r1.tif"), width, height)
    fresh = stamp.exists() and stamp.read_text() == generator_stamp(width, height)
    if not fresh:
        stamp.unlink(missing_ok=True)
        print(f"Generating the {width} x {height} map image ...", flush=True)
        tifffile.imwrite(images["tifffile"].path, mapimage.make(width, height),
                         photometric="rgb")
        for stale in (images["tiffcp8"].path, base.with_name(base.name + "_r1.tif")):
            stale.unlink(missing_ok=True)
        stamp.write_text(generator_stamp(width, height))
    if not images["tiffcp8"].path.exists():
        tiffcp(images["tifffile"].path, images["tiffcp8"].path, 8)
    if one_row_strips and not images["tiffcp1"].path.exists():
        tiffcp(images["tifffile"].path, images["tiffcp1"].path, 1)
    for image in images.values():
        subprocess.run(["cat", str(image.path)], stdout=subprocess.DEVNULL, check=True)
    return images


# ---------------------------------------------------------------------------------------
# Measurement


def plan(images, big_images, compare_tools):
    """Every case, keyed by (image key, tool, option)."""
    cases = {}
    for key, image in images.items():
        tools = [("cat", 0)] + [("velstram", n) for n in OPTIONS]
        if key != "tiffcp1":
            tools += [("command line", 1), ("fuzz", 1), ("fit", 1), ("census", 0),
                      ("census groups", 0)]
        if key != "tiffcp1" and compare_tools:
            tools += [("convert", 0), ("numpy", 0)]
        for tool, option in tools:
            cases[(key, tool, option)] = Case(tool, image, option)
    for key, image in big_images.items():
        for tool, option in [("cat", 0)] + [("velstram", n) for n in OPTIONS] + BIG_CENSUS:
            cases[("big-" + key, tool, option)] = Case(tool, image, option)
    return cases


def measure(runner, cases, runs):
    digests = {}
    for round_number in range(runs):
        print(f"Round {round_number + 1} of {runs}", flush=True)
        for key, case in cases.items():
            digest = runner.run(case, digest=round_number == 0 and case.tool in FILTER_RUNS)
            if digest:
                digests[key] = digest
    check_layouts_agree(digests)


def check_layouts_agree(digests):
    """The pixels an option yields must not depend on how the input's file is laid out, nor,
    for option 1, on whether the dialogue or the command line asked for it."""
    groups = {}
    for (image_key, tool, option), digest in digests.items():
        size_key = "big" if image_key.startswith("big-") else "base"
        variant = tool if tool in ("fuzz", "fit") else ""
        groups.setdefault((size_key, option, variant), {})[image_key] = digest
    for (size_key, option, _), by_layout in sorted(groups.items()):
        if len(set(by_layout.values())) > 1:
            sys.exit(f"Option {option} ({size_key} size) gave different pixels for the layouts "
                     f"{', '.join(sorted(by_layout))}")


# ---------------------------------------------------------------------------------------
# Report


def judged(what, value, limit, judge):
    """One target's verdict, or just the figure when the run is not judged."""
    if not judge:
        return f"{what} {value:.2f}"
    return f"{what} {value:.2f} <= {limit}: {'met' if value <= limit else 'MISSED'}"


def mib(n):
    return n / (1 << 20)


TOOL_LABELS = {
    "cat": "cat in > out",
    "convert": "ImageMagick +opaque",
    "numpy": "numpy script (keep one colour)",
    "command line": "velstram --keep (command line)",
    "census": "velstram --colours (census)",
    "fuzz": "velstram --keep --fuzz 10%",
    "fit": "velstram --keep --fuzz 12% --fit 4",
    "census groups": "velstram --colours --fuzz 10% (groups)",
}
FILTER_RUNS = ("velstram", "command line", "fuzz", "fit")
# The census at the scaling size too, for its memory.
BIG_CENSUS = [("census", 0), ("census groups", 0)]


def label(case):
    return f"velstram option {case.option}" if case.tool == "velstram" else TOOL_LABELS[case.tool]


def row(file_text, case, cat, imagemagick, targets):
    ratio_im = f"{case.median() / imagemagick:.2f}" if imagemagick else ""
    return (f"| {file_text} | {label(case)} | {case.median():.3f} | {case.median() / cat:.2f} | "
            f"{ratio_im} | {mib(case.peak()):.1f} | {'; '.join(targets)} |")


def table(cases, images, big_images, compare_tools, judge):
    """The one table: both layouts at the base size, then the scaling rows."""
    lines = ["| file | tool | median s | x cat | x ImageMagick | peak MiB | targets |",
             "| --- | --- | ---: | ---: | ---: | ---: | --- |"]
    rows = [("cat", 0)] + ([("convert", 0), ("numpy", 0)] if compare_tools else [])
    rows += [("velstram", n) for n in OPTIONS] + [("command line", 1), ("fuzz", 1), ("fit", 1),
                                                  ("census", 0), ("census groups", 0)]
    for key in ("tifffile", "tiffcp8"):
        image = images[key]
        cat = cases[(key, "cat", 0)].median()
        imagemagick = cases[(key, "convert", 0)].median() if compare_tools else None
        for tool, option in rows:
            case = cases[(key, tool, option)]
            targets = []
            if tool == "velstram":
                targets.append(judged("time x cat", case.median() / cat, MAX_TIMES_CAT, judge))
                if option == 3:
                    keep_list = cases[(key, "velstram", 1)].median()
                    targets.append(judged("time x option 1", case.median() / keep_list,
                                          MAX_CONTOURS_TIMES_KEEP_LIST, judge))
                if imagemagick:
                    targets.append(judged("time x ImageMagick", case.median() / imagemagick,
                                          MAX_TIMES_IMAGEMAGICK, judge))
                targets.append(judged("MiB", mib(case.peak()),
                                      round(mib(image.memory_limit()), 1), judge))
            elif tool in ("command line", "fuzz", "fit"):
                base, what, limit = (
                    ("velstram", "time x dialogue option 1", MAX_COMMAND_LINE_TIMES_DIALOGUE)
                    if tool == "command line" else
                    ("command line", "time x --keep", MAX_REACH_TIMES_KEEP))
                targets.append(judged(what, case.median() / cases[(key, base, 1)].median(),
                                      limit, judge))
                table = FIT_TABLE if tool == "fit" else 0
                targets.append(judged("MiB", mib(case.peak()),
                                      round(mib(image.memory_limit() + table), 1), judge))
            elif tool in ("census", "census groups"):
                base, what, limit = (
                    (("velstram", 1), "time x option 1", MAX_CENSUS_TIMES_KEEP_LIST)
                    if tool == "census" else
                    (("census", 0), "time x census", MAX_GROUPS_TIMES_CENSUS))
                targets.append(judged(what, case.median() / cases[(key, *base)].median(),
                                      limit, judge))
                targets.append(judged("MiB", mib(case.peak()), round(mib(CENSUS_MEMORY), 1),
                                      judge))
            lines.append(row(f"{image.width} x {image.height}, {image.name}", case, cat,
                             imagemagick, targets))
    scaled = [(key, "big-" + key, f"{big.width} x {big.height}, {big.name}",
               "time x the base size's", MAX_SCALING_4X) for key, big in big_images.items()]
    if "tiffcp1" in images:
        one_row = images["tiffcp1"]
        scaled.append(("tiffcp8", "tiffcp1", f"{one_row.width} x {one_row.height}, "
                       f"{one_row.name} ({one_row.height} strips)",
                       f"time x {-(-one_row.height // 8)} strips'", MAX_ONE_ROW_STRIPS))
    for base_key, key, file_text, what, limit in scaled:
        cat = cases[(key, "cat", 0)].median()
        for tool, option in [("cat", 0)] + [("velstram", n) for n in OPTIONS] + BIG_CENSUS:
            if (key, tool, option) not in cases:
                continue
            case = cases[(key, tool, option)]
            base = cases[(base_key, tool, option)].median()
            targets = [judged(what, case.median() / base, limit, judge and tool == "velstram")]
            if tool in ("census", "census groups"):
                targets.append(judged("MiB", mib(case.peak()), round(mib(CENSUS_MEMORY), 1),
                                      judge))
            lines.append(row(file_text, case, cat, None, targets))
    missed = [line for line in lines if "MISSED" in line]
    return lines, missed


def first_line(command):
    try:
        text = subprocess.run(command, capture_output=True, text=True).stdout
    except OSError:
        return "unknown"
    return text.strip().splitlines()[0] if text.strip() else "unknown"


class OtherLoad:
    """The processor time that processes other than this benchmark took while it ran."""

    def __init__(self):
        self.start = time.monotonic()
        self.busy_start = busy_ticks()
        self.processes_start = process_ticks()
        start = os.times()
        self.ours_start = start.user + start.system + start.children_user + start.children_system

    def describe(self):
        elapsed = time.monotonic() - self.start
        tick = os.sysconf("SC_CLK_TCK")
        now = os.times()
        ours = now.user + now.system + now.children_user + now.children_system - self.ours_start
        others = (busy_ticks() - self.busy_start) / tick - ours
        lines = [f"- Processor time taken by other processes during the {elapsed:.0f} s run: "
                 f"{max(others, 0):.0f} s of the {elapsed * os.cpu_count():.0f} s that "
                 f"{os.cpu_count()} cores offer"]
        grown = []
        for pid, (command, nice, ticks) in process_ticks().items():
            used = (ticks - self.processes_start.get(pid, (None, None, 0))[2]) / tick
            if pid != os.getpid() and used >= 1:
                grown.append((used, f"{command} (nice {nice}): {used:.0f} s"))
        for _, text in sorted(grown, reverse=True)[:5]:
            lines.append(f"  - {text}")
        return lines


def busy_ticks():
    fields = [int(v) for v in Path("/proc/stat").read_text().split("\n")[0].split()[1:]]
    return sum(fields) - fields[3] - fields[4]


def process_ticks():
    found = {}
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
            command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        found[int(entry.name)] = (command.strip()[:80] or stat[stat.index("(") + 1:stat.rindex(")")],
                                  int(fields[16]), int(fields[11]) + int(fields[12]))
    return found


def machine(binary, load_before, other_load):
    cpuinfo = Path("/proc/cpuinfo").read_text()
    model = re.search(r"model name\s*:\s*(.*)", cpuinfo)
    meminfo = re.search(r"MemTotal:\s*(\d+) kB", Path("/proc/meminfo").read_text())
    cache = binary.parent / "CMakeCache.txt"
    compiler = "unknown"
    if cache.exists():
        found = re.search(r"CMAKE_CXX_COMPILER:\w+=(.*)", cache.read_text())
        if found:
            compiler = first_line([found.group(1), "--version"])
    virtual = " (virtual machine)" if re.search(r"^flags.* hypervisor", cpuinfo, re.M) else ""
    return [
        f"- Date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}",
        f"- CPU: {model.group(1) if model else 'unknown'}{virtual}, {os.cpu_count()} cores",
        f"- Memory: {int(meminfo.group(1)) / (1 << 20):.1f} GiB" if meminfo else "- Memory: ?",
        f"- System: {platform.system()} {platform.release()}, transparent huge pages "
        f"{huge_pages()}",
        *free_page_reporting(),
        f"- Compiler: {compiler}, Release build",
        f"- ImageMagick: {first_line([CONVERT, '-version'])}",
        f"- tifffile {tifffile.__version__}, numpy {np.__version__}, "
        f"{first_line(['sh', '-c', 'tiffcp 2>&1 | head -1'])}",
        f"- Load average before / after: {load_before} / {load_average()}",
        *other_load.describe(),
    ]


def huge_pages():
    setting = Path("/sys/kernel/mm/transparent_hugepage/enabled")
    found = re.search(r"\[(\w+)\]", setting.read_text()) if setting.exists() else None
    return found.group(1) if found else "unknown"


def free_page_reporting():
    """A balloon device that reports free pages hands freed memory back to the host."""
    for device in Path("/sys/bus/virtio/devices").glob("*"):
        try:
            reporting = ((device / "device").read_text().strip() == "0x0005" and
                         (device / "features").read_text()[5] == "1")
        except (OSError, IndexError):
            continue
        if reporting:
            return ["- Freed memory: the virtual machine reports freed pages to its host, so memory "
                    "that stayed free for a few seconds is slow to touch again (host page "
                    "faults, seen as system time and clear_page in perf)"]
    return []


def load_average():
    return " ".join(Path("/proc/loadavg").read_text().split()[:3])


# ---------------------------------------------------------------------------------------


def parse_size(text):
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match:
        raise argparse.ArgumentTypeError("expected WxH, for example 6000x7000")
    return int(match.group(1)), int(match.group(2))


def arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", type=Path, required=True)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--results", type=Path, required=True)
    parser.add_argument("--size", type=parse_size, default=(6000, 7000))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--scaling", action=argparse.BooleanOptionalAction, default=True)
    parser.add_argument("--compare", action=argparse.BooleanOptionalAction, default=True,
                        help="also time ImageMagick and the numpy script")
    return parser.parse_args()


def options(args):
    if args.smoke:
        return "--smoke"
    words = [f"--size {args.size[0]}x{args.size[1]}", f"--runs {args.runs}"]
    words += [] if args.scaling else ["--no-scaling"]
    words += [] if args.compare else ["--no-compare"]
    return " ".join(words)


def main():
    args = arguments()
    if args.smoke:
        args.size, args.runs = (300, 350), 1
    width, height = args.size
    args.work.mkdir(parents=True, exist_ok=True)
    load_before = load_average()
    other_load = OtherLoad()
    images = make_images(args.work, width, height, args.scaling)
    big_images = {}
    if args.scaling:
        big = make_images(args.work, 2 * width, 2 * height, False)
        big_images = {key: big[key] for key in ("tifffile", "tiffcp8")}
    cases = plan(images, big_images, args.compare)
    measure(Runner(args.binary.resolve(), args.work), cases, args.runs)

    lines, missed = table(cases, images, big_images, args.compare, not args.smoke)
    heading = (f"{width} x {height} pixels, median of {args.runs} run(s), "
               f"memory target 4 x (ImageLength + 1) x ImageWidth bytes + 16 MiB")
    report = [f"# Benchmark: {heading}", "", f"Command: `bash bench/run.sh {options(args)}`", "",
              *machine(args.binary, load_before, other_load), "", *lines, ""]
    if args.smoke:
        report.append("Smoke run: timings are not judged.")
    elif missed:
        report.append(f"{len(missed)} row(s) with a target missed.")
    else:
        report.append("All targets met.")
    text = "\n".join(report) + "\n"
    args.results.write_text(text)
    print(text)
    print(f"Written to {args.results}")
    return 1 if missed and not args.smoke else 0


if __name__ == "__main__":
    sys.exit(main())
