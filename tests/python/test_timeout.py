"""Run by emulated-i2c-adapter --time-out-next 2: smbus2 and velmorix meet a time-out alike."""

import errno
import os

import pytest
import smbus2

import velmorix

NODE = os.environ.get("VELMORIX_TEST_I2C_NODE")
pytestmark = pytest.mark.skipif(NODE is None, reason="needs the emulated I2C adapter")


def test_time_out_gives_etimedout_then_the_bus_works():
    with smbus2.SMBus(NODE) as theirs, velmorix.SMBus(f"i2cdev:{NODE}") as ours:
        for bus in (theirs, ours):  # one time-out each
            with pytest.raises(TimeoutError) as caught:
                bus.read_byte_data(0x50, 0x02)
            assert caught.value.errno == errno.ETIMEDOUT
        assert theirs.read_byte_data(0x50, 0x02) == ours.read_byte_data(0x50, 0x02) == 0x7A
