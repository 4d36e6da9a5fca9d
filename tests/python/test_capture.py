"""Captures from Python: capture= of SMBus and Bridge, velmorix.capture for every open object,
and a file that cannot be written, refused before anything is sent."""

import errno
import io
import pathlib
import shutil
import subprocess

import pytest

import velmorix

HERE = pathlib.Path(__file__).parent
BRIDGE = "sim:" + str(HERE / "bench.json")
PCAPNG_MAGIC = b"\x0a\x0d\x0d\x0a"


def messages(path):
    """(address, flags, data, comment) of each message as tshark reads the file."""
    if shutil.which("tshark") is None:
        pytest.skip("tshark is not installed (scripts/deps.sh installs it)")
    out = subprocess.run(
        ["tshark", "-r", str(path), "-T", "fields", "-e", "i2c.addr", "-e", "i2c.flags",
         "-e", "data.data", "-e", "frame.comment"],
        capture_output=True, text=True, check=True).stdout
    return [tuple(line.split("\t")) for line in out.splitlines()]


def test_bridge_and_smbus_capture_their_messages(tmp_path):
    with velmorix.Bridge(BRIDGE, capture=tmp_path / "bridge.pcapng") as bridge:
        assert bridge.read(0x51, 0x0102, 1) == b"\x5a"
        with pytest.raises(OSError):
            bridge.write(0x70, 0x10, [1])
    with velmorix.SMBus(BRIDGE, capture=str(tmp_path / "bus.vcd")) as bus:
        assert bus.read_byte_data(0x50, 2) == 0x7A
    assert "The timing is synthesised" in (tmp_path / "bus.vcd").read_text()
    assert messages(tmp_path / "bridge.pcapng") == [
        ("0x51", "0x00000000", "a20102", ""),
        ("0x51", "0x00000001", "a35a", ""),
        ("0x70", "0x00000000", "e0", "NAK"),
    ]


def test_capture_context_takes_every_open_object_until_it_ends(tmp_path):
    path = tmp_path / "all.pcapng"
    with velmorix.Bridge(BRIDGE) as before:
        with velmorix.capture(path):
            before.read(0x50, 0, 1)
            with velmorix.SMBus(BRIDGE) as inside:
                inside.write_byte_data(0x50, 0x10, 0x33)
        before.read(0x50, 1, 1)
    assert messages(path) == [
        ("0x50", "0x00000000", "a000", ""),
        ("0x50", "0x00000001", "a111", ""),
        ("0x50", "0x00000000", "a01033", ""),
    ]


@pytest.mark.parametrize("open_it", [
    lambda path, trace: velmorix.Bridge(BRIDGE, trace=trace, capture=path),
    lambda path, trace: velmorix.SMBus(BRIDGE, trace=trace, capture=path),
    lambda path, trace: velmorix.capture(path).__enter__(),
])
def test_unwritable_capture_raises_before_anything_is_sent(tmp_path, open_it):
    trace = io.StringIO()
    with pytest.raises(OSError) as raised:
        open_it(tmp_path / "no" / "such.pcapng", trace)
    assert raised.value.errno == errno.ENOENT
    assert "such.pcapng" in str(raised.value)
    assert trace.getvalue() == ""
