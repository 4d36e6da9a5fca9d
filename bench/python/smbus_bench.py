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


def seconds_per_call(call, calls, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        for _ in range(calls):
            call()
        times.append((time.perf_counter() - start) / calls)
    return statistics.median(times)


def register_read(bus, address):
    return lambda: bus.read_byte_data(address, REGISTER)


def combined_read(bus, address):
    """smbus2's register read as one I2C_RDWR (write, then read), the ioctl the i2cdev bridge
    uses for reads that are no SMBus transfer; read_byte_data uses I2C_SMBUS on both sides, which
    the emulation answers with fewer round trips."""
    import smbus2

    def call():
        bus.i2c_rdwr(smbus2.i2c_msg.write(address, [REGISTER]), smbus2.i2c_msg.read(address, 1))

    return call


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=100_000)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    with velmorix.SMBus("sim") as bus:
        per_call = seconds_per_call(register_read(bus, 0x30), args.calls, args.repeats)
    print(f"sim: read_byte_data {1 / per_call:,.0f} calls/s (target at least 200,000/s)")

    node = os.environ.get("VELMORIX_TEST_I2C_NODE")
    if node is None:
        print("i2cdev: skipped (run under emulated-i2c-adapter, or set VELMORIX_TEST_I2C_NODE)")
        return
    import smbus2

    calls = max(args.calls // 10, 1000)
    ours, theirs, theirs_rdwr = [], [], []
    for _ in range(args.repeats):  # alternated, so that a drift of the machine hits all three
        with velmorix.SMBus(f"i2cdev:{node}") as bus:
            ours.append(seconds_per_call(register_read(bus, ADDRESS), calls, 1))
        with smbus2.SMBus(node) as bus:
            theirs.append(seconds_per_call(register_read(bus, ADDRESS), calls, 1))
            theirs_rdwr.append(seconds_per_call(combined_read(bus, ADDRESS), calls, 1))
    us = [statistics.median(t) * 1e6 for t in (ours, theirs, theirs_rdwr)]
    ratios = [a / b for a, b in zip(ours, theirs)]
    ratios_rdwr = [a / b for a, b in zip(ours, theirs_rdwr)]
    print(f"i2cdev {node}: velmorix read_byte_data {us[0]:.1f} us/call")
    print(f"  smbus2 read_byte_data (I2C_SMBUS) {us[1]:.1f} us/call, "
          f"ratio {statistics.median(ratios):.2f} (target 1.0 or less)")
    print(f"  smbus2 i2c_rdwr write+read (I2C_RDWR) {us[2]:.1f} us/call, "
          f"ratio {statistics.median(ratios_rdwr):.2f}")

if __name__ == "__main__":
    main()
