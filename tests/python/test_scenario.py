"""One scenario, run on each bridge (--velmorix-bridge): sim:bench.json, the emulated USB board
under bridge-emulator, the emulated I2C adapter. bench.json: 0x50 (1-byte registers, 02 read-only
7A), 0x51 (2-byte registers, 0102 = 5A), a BME280 at 0x76."""

import errno

import bme280
import pytest

import velmorix

DEVICE, WIDE, BME = 0x50, 0x51, 0x76
ABSENT = 0x33


def test_smbus_methods_keep_smbus2_results(velmorix_smbus):
    bus = velmorix_smbus
    assert bus.read_byte_data(DEVICE, 0x02) == 0x7A
    bus.write_byte_data(DEVICE, 0x10, 0xA5)
    assert bus.read_byte_data(DEVICE, 0x10) == 0xA5
    bus.write_word_data(DEVICE, 0x20, 0x1234)
    assert bus.read_i2c_block_data(DEVICE, 0x20, 2) == [0x34, 0x12]  # low byte first
    assert bus.read_word_data(DEVICE, 0x20) == 0x1234
    block = list(range(253))
    bus.write_i2c_block_data(DEVICE, 0x03, block)  # 02 is read-only
    assert bus.read_i2c_block_data(DEVICE, 0x03, 253) == block
    assert len(bus.read_i2c_block_data(DEVICE, 0x00, 255)) == 255
    bus.write_byte(DEVICE, 0x05)  # sets the register pointer
    assert bus.read_byte(DEVICE) == block[0x05 - 0x03]
    bus.write_quick(DEVICE)


def test_i2c_rdwr_carries_write_read_and_register_read(velmorix_smbus):
    bus = velmorix_smbus
    bus.i2c_rdwr(velmorix.i2c_msg.write(DEVICE, [0x30, 1, 2, 3]))
    register, data = velmorix.i2c_msg.write(DEVICE, [0x30]), velmorix.i2c_msg.read(DEVICE, 3)
    bus.i2c_rdwr(register, data)
    assert list(data) == [1, 2, 3]
    bus.i2c_rdwr(velmorix.i2c_msg.write(DEVICE, [0x31]))
    alone = velmorix.i2c_msg.read(DEVICE, 2)
    bus.i2c_rdwr(alone)
    assert bytes(alone) == b"\x02\x03"
    shapes = [
        (velmorix.i2c_msg.read(DEVICE, 1), velmorix.i2c_msg.write(DEVICE, [0])),
        (velmorix.i2c_msg.write(DEVICE, [0]), velmorix.i2c_msg.read(WIDE, 1)),
        tuple(velmorix.i2c_msg.write(DEVICE, [0]) for _ in range(3)),
    ]
    for messages in shapes:
        with pytest.raises(OSError) as caught:
            bus.i2c_rdwr(*messages)
        assert caught.value.errno == errno.EOPNOTSUPP
        assert "bridge board carries" in caught.value.strerror


def test_absent_target_gives_eremoteio(velmorix_smbus):
    calls = [
        lambda: velmorix_smbus.read_byte_data(ABSENT, 0),
        lambda: velmorix_smbus.write_byte_data(ABSENT, 0, 1),
        lambda: velmorix_smbus.read_byte(ABSENT),
        lambda: velmorix_smbus.write_quick(ABSENT),
    ]
    for call in calls:
        with pytest.raises(OSError) as caught:
            call()
        assert caught.value.errno == errno.EREMOTEIO
        assert not isinstance(caught.value, velmorix.BridgeError)


def test_bridge_sixteen_bit_registers_and_detect(velmorix_bridge):
    bridge = velmorix_bridge
    assert bridge.attached
    assert bridge.read(WIDE, 0x0102, 1) == b"\x5a"
    bridge.write(WIDE, b"\x00\x10", b"\x01\x02")
    assert bridge.read(WIDE, 0x10, 2, register_width=2) == b"\x01\x02"
    assert bridge.detect() == [DEVICE, WIDE, BME]
    assert repr(bridge).startswith(f"<velmorix.Bridge bridge='{bridge.name}' address=0x51")


def test_bme280_driver_from_debian_runs_unchanged(velmorix_smbus):
    calibration = bme280.load_calibration_params(velmorix_smbus, BME)
    reading = bme280.sample(velmorix_smbus, BME, calibration)
    # The data sheet's worked example: 25.08 degrees C and 1006.53 hPa.
    assert reading.temperature == pytest.approx(25.08, abs=0.01)
    assert reading.pressure == pytest.approx(1006.53, abs=0.01)
    assert 0.0 <= reading.humidity <= 100.0


def test_gpio_reads_back_what_was_set(velmorix_bridge):
    if velmorix_bridge.name.startswith("i2cdev:"):
        pytest.skip("an I2C adapter has no GPIO")
    gpio = velmorix_bridge.gpio
    gpio.enable_b, gpio.data_b = 0x0F, 0x05
    gpio.enable_c, gpio.data_c = 0xF0, 0xA0
    gpio.green_led = True
    back = gpio.apply()
    assert (back.enable_b, back.data_b & 0x0F) == (0x0F, 0x05)
    assert (back.enable_c & 0xF0, back.data_c & 0xF0) == (0xF0, 0xA0)
