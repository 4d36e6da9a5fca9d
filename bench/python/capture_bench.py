#!/usr/bin/python3
"""What a capture costs: the time per velmorix.SMBus.read_byte_data on sim without a capture, and
with one to a pcapng file and to a VCD file, side by side in one run.

Usage: capture_bench.py [--calls N] [--repeats N]. The three are alternated in each repeat, so
that a drift of the machine hits all of them; each figure is the median of the repeats. The
files go to a temporary folder (a disk, not a pipe: a reader's speed is not measured).
"""

import argparse
import pathlib
import statistics
import tempfile
import time

import velmorix

ADDRESS, REGISTER = 0x30, 0x02  # the built-in board: register 02 reads 7A


def seconds_per_call(capture, calls):
    with velmorix.SMBus("sim", capture=capture) as bus:
        start = time.perf_counter()
        for _ in range(calls):
            bus.read_byte_data(ADDRESS, REGISTER)
        return (time.perf_counter() - start) / calls


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=50_000)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as folder:
        kinds = {"no capture": None,
                 "pcapng": pathlib.Path(folder) / "bench.pcapng",
                 "vcd": pathlib.Path(folder) / "bench.vcd"}
        times = {kind: [] for kind in kinds}
        for _ in range(args.repeats):
            for kind, path in kinds.items():
                times[kind].append(seconds_per_call(path, args.calls))
        sizes = {kind: path.stat().st_size for kind, path in kinds.items() if path}
    base = statistics.median(times["no capture"]) * 1e6
    print(f"sim, read_byte_data, {args.calls:,} calls x {args.repeats} repeats (median):")
    for kind in kinds:
        us = statistics.median(times[kind]) * 1e6
        extra = "" if kind == "no capture" else (
            f", +{us - base:.2f} us ({us / base:.2f}x), {sizes[kind] / args.calls:.0f} bytes/call")
        print(f"  {kind:10} {us:6.2f} us/call{extra}")


if __name__ == "__main__":
    main()
