"""The same smbus2 calls through smbus2 on the emulated /dev/i2c-N, velmorix on i2cdev:/dev/i2c-N
and velmorix on sim:bench.json give the same results and the same errno; the adapter's own
attributes (funcs, fd) are smbus2's too. Also run against an SMBus-only adapter."""

import ctypes
import errno
import fcntl
import os
import pathlib

import pytest
import smbus2

import velmorix

NODE = os.environ.get("VELMORIX_TEST_I2C_NODE")
BENCH = pathlib.Path(__file__).with_name("bench.json")
pytestmark = pytest.mark.skipif(NODE is None, reason="needs the emulated I2C adapter")

CALLS = [
    ("read_byte_data", (0x50, 0x02)),
    ("write_byte_data", (0x50, 0x40, 0x9C)),
    ("read_byte_data", (0x50, 0x40)),
    ("write_word_data", (0x50, 0x41, 0xBEEF)),
    ("read_word_data", (0x50, 0x41)),
    ("write_i2c_block_data", (0x50, 0x60, [1, 2, 3, 4, 5])),
    ("read_i2c_block_data", (0x50, 0x60, 5)),
    ("write_byte", (0x50, 0x62)),
    ("read_byte", (0x50,)),
    ("write_quick", (0x50,)),
    ("read_byte_data", (0x33, 0x00)),
    ("write_byte_data", (0x33, 0x00, 0x01)),
    ("read_i2c_block_data", (0x76, 0x88, 24)),
    ("write_block_data", (0x50, 0x70, [7, 8, 9])),
    ("read_i2c_block_data", (0x50, 0x70, 4)),
    ("write_word_data", (0x50, 0x46, 0xBEEF)),
    ("process_call", (0x50, 0x44, 0x1234)),
    ("read_word_data", (0x50, 0x44)),
]


# Reads whose length the target sends first: the adapter's I2C_SMBUS transfers; the bridge board
# cannot carry them (EOPNOTSUPP). write_block_data above left 03 07 08 09 at 0x70; the block
# process call writes 01 55 at 0x6E and reads on from 0x70.
BLOCK_CALLS = [
    ("read_block_data", (0x50, 0x70)),
    ("block_process_call", (0x50, 0x6E, [0x55])),
    ("read_block_data", (0x33, 0x00)),
    ("block_process_call", (0x33, 0x00, [1])),
]
I2C_FUNCS = 0x0705
SMBUS_ONLY = os.environ.get("VELMORIX_TEST_SMBUS_ONLY") == "1"


def outcomes(bus, calls):
    results = []
    for name, args in calls:
        try:
            results.append(getattr(bus, name)(*args))
        except OSError as e:
            results.append(("errno", e.errno))
    return results


def test_smbus2_and_both_velmorix_bridges_agree():
    # One bridge is open per process at a time: the three run one after another, each on a
    # register file as bench.json describes it.
    with smbus2.SMBus(NODE) as bus:
        expected = outcomes(bus, CALLS + BLOCK_CALLS)
        expected_funcs = bus.funcs
    with velmorix.SMBus(f"i2cdev:{NODE}") as bus:
        through_adapter = outcomes(bus, CALLS + BLOCK_CALLS)
        # The adapter's own descriptor: its I2C_FUNCS answer is the funcs attribute.
        answer = ctypes.c_ulong()
        fcntl.ioctl(bus.fd, I2C_FUNCS, answer)
        assert bus.funcs == answer.value == expected_funcs
    assert bus.fd is None
    with velmorix.SMBus(f"sim:{BENCH}") as bus:
        simulated = outcomes(bus, CALLS + BLOCK_CALLS)
        assert bus.fd is None
    assert ("errno", 121) in expected  # EREMOTEIO, as the adapter reports a missing target
    assert expected[len(CALLS) : len(CALLS) + 2] == [[7, 8, 9], [7, 8, 9]]
    assert through_adapter == expected
    assert simulated[: len(CALLS)] == expected[: len(CALLS)]
    assert simulated[len(CALLS) :] == [("errno", errno.EOPNOTSUPP)] * len(BLOCK_CALLS)
    assert bool(expected_funcs & smbus2.I2cFunc.I2C) != SMBUS_ONLY


@pytest.mark.skipif(not SMBUS_ONLY, reason="needs an SMBus-only emulated adapter")
def test_smbus_only_adapter_fails_only_what_it_cannot_carry():
    with velmorix.SMBus(f"i2cdev:{NODE}") as bus:
        assert bus.read_i2c_block_data(0x76, 0x88, 24)[:2] == [0x70, 0x6B]
        for call in (
            lambda: bus.read_i2c_block_data(0x76, 0x88, 40),
            lambda: bus.i2c_rdwr(velmorix.i2c_msg.read(0x76, 2), velmorix.i2c_msg.read(0x76, 2)),
        ):
            with pytest.raises(OSError) as caught:
                call()
            assert caught.value.errno == errno.EOPNOTSUPP


OWNED = int(os.environ.get("VELMORIX_TEST_OWNED", "0"), 16)  # a kernel driver holds it


@pytest.mark.skipif(OWNED == 0, reason="needs an emulated adapter with an address a driver holds")
def test_force_reaches_an_address_a_driver_holds_as_smbus2_does():
    results = []
    for make in (lambda: smbus2.SMBus(NODE), lambda: velmorix.SMBus(f"i2cdev:{NODE}")):
        with make() as bus:
            with pytest.raises(OSError) as caught:
                bus.read_byte_data(OWNED, 0)
            forced = bus.read_byte_data(OWNED, 0, force=True)
            bus.force = True
            results.append((caught.value.errno, forced, bus.read_byte_data(OWNED, 0)))
    assert results[0][0] == errno.EBUSY
    assert results[1] == results[0]
