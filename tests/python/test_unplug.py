"""Run by bridge-emulator --unplug-after-transfers: the board is pulled during a call."""

import errno
import os

import pytest

import velmorix

pytestmark = pytest.mark.skipif(
    "VELMORIX_TEST_UNPLUG" not in os.environ, reason="needs bridge-emulator --unplug-after-transfers"
)


def test_board_pulled_during_calls_gives_bridge_error():
    with velmorix.SMBus("usb") as bus:
        with pytest.raises(velmorix.BridgeError) as caught:
            for _ in range(1000):
                bus.read_byte_data(0x50, 0x02)
        assert caught.value.errno == errno.ENODEV
        with pytest.raises(velmorix.BridgeError):
            bus.read_byte_data(0x50, 0x02)
