"""The Velmorix bridge board from Python.

``SMBus`` is a drop-in for ``smbus2.SMBus``, so that device drivers written for
smbus2 run unchanged on the bridge board; ``Bridge`` is a native interface for
bench scripts (16-bit registers, detection, GPIO, packet trace); ``run_script``
runs a script file on velmorix-script's engine; ``RegisterMap.load`` reads a
chip's IP-XACT or CMSIS-SVD register map and ``RegisterDevice`` reads and writes
a device's registers and fields by name through it. Bridges are named as
``--bridge`` names them; ``bridge_forms()`` lists the forms of this build.
"""

from __future__ import annotations

import contextlib
import ctypes
import os
from dataclasses import dataclass
from typing import Iterator, Optional, Sequence, Union

from ._errors import BridgeError
from ._velmorix import Bridge, Gpio, GpioReadBack, SMBus, bridge_forms
from ._velmorix import Field, FieldValue, Register, RegisterDevice, RegisterMap, RegisterValue
from ._velmorix import _ProcessCapture, _run_script

__all__ = [
    "Bridge",
    "BridgeError",
    "Field",
    "FieldValue",
    "Gpio",
    "GpioReadBack",
    "Pass",
    "Register",
    "RegisterDevice",
    "RegisterMap",
    "RegisterValue",
    "Row",
    "SMBus",
    "ScriptResult",
    "bridge_forms",
    "capture",
    "i2c_msg",
    "run_script",
]

I2C_M_RD = 0x0001


class i2c_msg(ctypes.Structure):
    """One message of ``SMBus.i2c_rdwr``, laid out as smbus2's and the kernel's.

    Make one with ``i2c_msg.read(address, length)`` or ``i2c_msg.write(address, data)``;
    iterating gives the bytes as ints, ``bytes(msg)`` gives them as bytes.
    """

    _fields_ = [
        ("addr", ctypes.c_uint16),
        ("flags", ctypes.c_uint16),
        ("len", ctypes.c_uint16),
        ("buf", ctypes.POINTER(ctypes.c_char)),
    ]

    def __iter__(self) -> Iterator[int]:
        return (self.buf[i][0] for i in range(self.len))

    def __len__(self) -> int:
        return self.len

    def __bytes__(self) -> bytes:
        return ctypes.string_at(self.buf, self.len)

    def __repr__(self) -> str:
        kind = "read" if self.flags & I2C_M_RD else "write"
        return f"i2c_msg.{kind}(0x{self.addr:02X}, {list(self)})"

    @staticmethod
    def read(address: int, length: int) -> "i2c_msg":
        """A message that reads ``length`` bytes from ``address``."""
        buf = ctypes.create_string_buffer(length)
        return i2c_msg(addr=address, flags=I2C_M_RD, len=length, buf=buf)

    @staticmethod
    def write(address: int, buf: Union[bytes, str, Sequence[int]]) -> "i2c_msg":
        """A message that writes ``buf`` (bytes, str or ints) to ``address``."""
        if isinstance(buf, str):
            data = buf.encode("latin-1")
        else:
            data = bytes(buf)
        cbuf = ctypes.create_string_buffer(data, len(data))
        return i2c_msg(addr=address, flags=0, len=len(data), buf=cbuf)


@contextlib.contextmanager
def capture(path: Union[str, os.PathLike], rate: int = 100000) -> Iterator[None]:
    """Captures the I2C messages of every SMBus and Bridge of the process, open now or
    opened inside the ``with`` block, to ``path``: pcapng for Wireshark, classic pcap for
    a name ending in .pcap, VCD waveforms drawn at ``rate`` Hz for .vcd. Raises OSError
    when the file cannot be written, before anything is sent. Each message is on disk
    as soon as it happened, so a block that ends in an exception leaves a whole file.
    """
    file = _ProcessCapture(os.fspath(path), rate)
    try:
        yield
    finally:
        file.close()


@dataclass(frozen=True)
class Row:
    """A script row that compared data in one pass."""

    line: int
    operation: str
    comment: str
    expected: str
    actual: str
    passed: bool


@dataclass(frozen=True)
class Pass:
    """One pass of a script: its pass and fail counts and its comparing rows."""

    passed: int
    failed: int
    rows: tuple[Row, ...]


@dataclass(frozen=True)
class ScriptResult:
    """What ``run_script`` gave: the passes, the counts over them, and the exit status
    velmorix-script would give (0 all passed, 1 a comparison failed, 2 an output could
    not be written). ``messages`` holds the message lines the run wrote."""

    passes: tuple[Pass, ...]
    passed: int
    failed: int
    exit_status: int
    messages: str


def run_script(
    path: Union[str, os.PathLike],
    bridge: Union[str, int, None] = None,
    address: Optional[int] = None,
    loops: int = 1,
    abort_on_fail: bool = False,
    record: Union[str, os.PathLike, None] = None,
    *,
    capture: Union[str, os.PathLike, None] = None,
) -> ScriptResult:
    """Runs a script file on velmorix-script's engine and returns a ScriptResult.

    ``address`` is the default 7-bit address (velmorix-script's --address 60 is 0x30);
    ``loops`` of 1 runs the script once (Run All Steps), more run Loop Cont for that
    many passes; ``record`` writes the expected data to that file after the run;
    ``capture`` writes the run's I2C messages to a capture file as SMBus's does.
    Raises BridgeError when the bridge board is missing or leaves, FileNotFoundError
    for a missing script (or a Linux adapter node that is not there), PermissionError
    for one that may not be opened, ValueError for a script or bridge name that is
    refused, OSError when the capture cannot be written, and KeyboardInterrupt on
    Ctrl-C (on the main thread), which ends the run at the next row and closes the
    connection. Open SMBus and Bridge objects must be closed first. One run at a
    time: a second thread's run_script raises RuntimeError while one runs.
    """
    raw = _run_script(
        os.fspath(path),
        bridge,
        address,
        loops,
        abort_on_fail,
        None if record is None else os.fspath(record),
        None if capture is None else os.fspath(capture),
    )
    passes = tuple(
        Pass(passed, failed, tuple(Row(*row) for row in rows))
        for passed, failed, rows in raw["passes"]
    )
    return ScriptResult(passes, raw["passed"], raw["failed"], raw["exit_status"], raw["messages"])
