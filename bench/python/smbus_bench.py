#!/usr/bin/python3
"""Speed of velmorix.SMBus: read_byte_data calls per second on sim, and the time per call of
velmorix.SMBus("i2cdev:NODE") against smbus2.SMBus on the same (emulated) adapter node.

Usage: smbus_bench.py [--calls N] [--repeats N]; the i2cdev comparison runs when
VELMORIX_TEST_I2C_NODE names a node, as emulated-i2c-adapter BENCH.json -- smbus_bench.py does.
Each figure is the median of the repeats.
"""

import argparse
import os
import statistics
import time

import velmorix

ADDRESS, REGISTER = 0x50, 0x02


def seconds_per_call(bus, address, calls, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        for _ in range(calls):
            bus.read_byte_data(address, REGISTER)
        times.append((time.perf_counter() - start) / calls)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=100_000)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    with velmorix.SMBus("sim") as bus:
        per_call = seconds_per_call(bus, 0x30, args.calls, args.repeats)
    print(f"sim: read_byte_data {1 / per_call:,.0f} calls/s (target at least 200,000/s)")

    node = os.environ.get("VELMORIX_TEST_I2C_NODE")
    if node is None:
        print("i2cdev: skipped (run under emulated-i2c-adapter, or set VELMORIX_TEST_I2C_NODE)")
        return
    import smbus2

    calls = max(args.calls // 10, 1000)
    ratios, ours, theirs = [], [], []
    for _ in range(args.repeats):  # alternated, so that a drift of the machine hits both
        with velmorix.SMBus(f"i2cdev:{node}") as bus:
            ours.append(seconds_per_call(bus, ADDRESS, calls, 1))
        with smbus2.SMBus(node) as bus:
            theirs.append(seconds_per_call(bus, ADDRESS, calls, 1))
        ratios.append(ours[-1] / theirs[-1])
    print(
        f"i2cdev {node}: velmorix {statistics.median(ours) * 1e6:.1f} us/call, "
        f"smbus2 {statistics.median(theirs) * 1e6:.1f} us/call, "
        f"ratio {statistics.median(ratios):.2f} (target 1.0 or less)"
    )


if __name__ == "__main__":
    main()
