"""Register maps from Python: RegisterMap.load on the map readers and RegisterDevice's masked
writes, checked packet by packet on a simulated device at 0x30 (tests/python/regmap.json)."""

import io
import pathlib

import pytest

import velmorix

HERE = pathlib.Path(__file__).parent
MAP = HERE / "sensor.svd"
DEVICE = 0x30


@pytest.fixture
def device():
    trace = io.StringIO()
    with velmorix.Bridge(f"sim:{HERE / 'regmap.json'}", trace=trace) as bridge:
        yield velmorix.RegisterDevice(bridge, DEVICE, velmorix.RegisterMap.load(MAP)), trace


def sent(trace):
    """The OUT packets of the trace, as their payload text."""
    return [line[len("OUT 02: "):] for line in trace.getvalue().splitlines() if line.startswith("OUT")]


def test_map_gives_registers_and_fields():
    regmap = velmorix.RegisterMap.load(MAP)
    assert [(r.name, r.address, r.width, r.access) for r in regmap] == [
        ("ID", 0x02, 8, "read-only"),
        ("CTRL", 0x10, 8, "read-write"),
        ("STATUS", 0x11, 8, "read-write"),
        ("TRIM", 0x12, 8, "read-write"),
        ("LIMIT", 0x20, 16, "read-write"),
    ]
    ctrl = regmap["CTRL"]
    assert ctrl is not None and regmap[0x10].name == "CTRL" and ctrl.reset == 0x24
    assert [(f.name, f.msb, f.lsb, f.access) for f in ctrl.fields] == [
        ("EN", 0, 0, "read-write"),
        ("MODE", 3, 2, "read-write"),
        ("GAIN", 7, 4, "read-write"),
    ]
    assert ctrl.field("MODE").enums == {"STANDBY": 0, "SINGLE": 1, "CONTINUOUS": 2}
    assert regmap["STATUS"].field("OVF").access == "write-1-to-clear"
    assert repr(ctrl) == "<velmorix.Register CTRL at 0x10, 8 bits, read-write, reset 0x24 fields=EN,MODE,GAIN>"
    with pytest.raises(KeyError, match='no register named "NOPE"'):
        regmap["NOPE"]


def test_bad_files_raise_the_readers_message(tmp_path):
    with pytest.raises(FileNotFoundError, match="missing.svd: cannot be opened"):
        velmorix.RegisterMap.load(tmp_path / "missing.svd")
    overlap = tmp_path / "overlap.svd"
    overlap.write_text(MAP.read_text().replace("<lsb>4</lsb>", "<lsb>3</lsb>"))
    with pytest.raises(ValueError, match=r'overlap.svd:\d+: field "GAIN": bit 3 is also in field "MODE"'):
        velmorix.RegisterMap.load(overlap)
    with pytest.raises(ValueError, match='byte_order must be "big" or "little"'):
        velmorix.RegisterMap.load(MAP, byte_order="middle")


def test_read_gives_fields_by_name(device):
    dev, trace = device
    ctrl = dev.read("CTRL")
    assert (ctrl.value, ctrl["EN"].value, ctrl["MODE"].enum, ctrl["GAIN"].value) == (0xA1, 1, "STANDBY", 10)
    assert repr(ctrl) == "<velmorix.RegisterValue CTRL = 0xA1 (EN=1, MODE=0 STANDBY, GAIN=10)>"
    assert dev.read(0x20)["HIGH"].value == 0x12
    assert sent(trace) == ["01 61 10", "02 61 20"]


# register, positional value, named fields, verify; the packets sent; the value after, and
# whether it was read back.
WRITES = [
    ("CTRL", None, {"MODE": "CONTINUOUS", "GAIN": 3}, True,
     ["01 61 10", "02 60 10 39", "01 61 10"], 0x39, True),
    # READY (read-only) stays as read; UDF, the other write-1-to-clear flag, goes as 0; no bit
    # the chip keeps is named, so nothing is read back.
    ("STATUS", {"OVF": 1}, {}, True, ["01 61 11", "02 60 11 03"], 0x03, False),
    ("CTRL", None, {"EN": False}, False, ["01 61 10", "02 60 10 A0"], 0xA0, False),
    ("LIMIT", None, {"LOW": 0xFF}, True, ["02 61 20", "03 60 20 12 FF", "02 61 20"], 0x12FF, True),
    # Every bit named: no read first.
    ("CTRL", 0x24, {}, True, ["02 60 10 24", "01 61 10"], 0x24, True),
    ("CTRL", 0x24, {"EN": 1}, True, ["02 60 10 25", "01 61 10"], 0x25, True),
]


@pytest.mark.parametrize("register, value, fields, verify, packets, after, verified", WRITES)
def test_write_is_one_masked_read_modify_write(device, register, value, fields, verify, packets, after,
                                               verified):
    dev, trace = device
    result = dev.write(register, value, verify=verify, **fields)
    assert sent(trace) == packets
    assert (result.value, result.verified) == (after, verified)


def test_write_one_to_clear_leaves_the_other_flag_on_the_chip(device):
    dev, trace = device
    dev.write("STATUS", OVF=1)
    # READY is read-only, OVF cleared by its 1, UDF kept by its 0.
    assert dev.read("STATUS").value == 0x05


REFUSALS = [
    (lambda d: d.write("STATUS", READY=0), "STATUS.READY is read-only"),
    (lambda d: d.write("ID", 0x11), "register ID is read-only"),
    (lambda d: d.write("CTRL", GAIN=16), "CTRL.GAIN: value 16 .0x10. does not fit in 4 bits"),
    (lambda d: d.write("CTRL", MODE="FAST"), '"FAST" is not a number nor one of STANDBY, SINGLE, CONTINUOUS'),
    (lambda d: d.write("CTRL", SPEED=1), 'register CTRL has no field named "SPEED"'),
    (lambda d: d.write("NOPE", EN=1), 'no register named "NOPE"'),
    (lambda d: d.write("CTRL", MODE=1, GAIN=99), "does not fit"),
    (lambda d: d.write("CTRL"), "no field given"),
    (lambda d: d.write("CTRL", 1 << 40), "CTRL: value 1099511627776 is not 0 to 0xFFFFFFFF"),
    (lambda d: d.read(0x30), "no register at 0x30"),
]


@pytest.mark.parametrize("call, text", REFUSALS)
def test_refusals_send_nothing(device, call, text):
    dev, trace = device
    with pytest.raises(ValueError, match=text):
        call(dev)
    assert trace.getvalue() == ""


def test_read_back_that_differs_raises(device):
    dev, trace = device
    with pytest.raises(OSError, match="register TRIM: wrote 0x05, read back 0x00"):
        dev.write("TRIM", VALUE=5)
    assert sent(trace) == ["01 61 12", "02 60 12 05", "01 61 12"]
