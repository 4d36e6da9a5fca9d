"""What holds on the built-in simulated board whatever --velmorix-bridge says: bad arguments,
threads, run_script, the package's help and stubs, the plugin's skip."""

import ast
import errno
import io
import os
import pathlib
import signal
import subprocess
import sys
import threading
import time

import pytest

import velmorix

HERE = pathlib.Path(__file__).parent
BENCH = HERE / "bench.json"
BUILT_IN = 0x30  # the built-in board's device: register 02 reads 7A


@pytest.fixture
def traced():
    trace = io.StringIO()
    with velmorix.SMBus("sim", trace=trace) as bus:
        yield bus, trace


BAD_CALLS = [
    (lambda b: b.read_byte_data(0x80, 0), ValueError, "address 0x80 is out of range"),
    (lambda b: b.read_byte_data(-1, 0), ValueError, "address -1 is out of range"),
    (lambda b: b.read_byte_data(0x30, 0x100), ValueError, "register 0x100 is out of range"),
    (lambda b: b.write_byte_data(0x30, 0, 0x1FF), ValueError, "value 0x1FF is out of range"),
    (lambda b: b.write_word_data(0x30, 0, 0x10000), ValueError, "value 0x10000 is out of range"),
    (lambda b: b.read_i2c_block_data(0x30, 0, 0), ValueError, "length 0 is out of range (1 to 255)"),
    (lambda b: b.read_i2c_block_data(0x30, 0, 256), ValueError, "length 256 is out of range"),
    (lambda b: b.write_i2c_block_data(0x30, 0, [1, 256]), ValueError, "data byte 0x100"),
    (lambda b: b.write_i2c_block_data(0x30, 0, [0] * 254), ValueError, "at most 253"),
    (lambda b: b.write_i2c_block_data(0x30, 0, "ab"), TypeError, "bytes or a sequence of ints"),
    (lambda b: b.write_i2c_block_data(0x30, 0, [1.5]), TypeError, "must hold ints"),
    (lambda b: b.read_byte_data("30", 0), TypeError, "incompatible function arguments"),
    (lambda b: b.i2c_rdwr(object()), TypeError, "i2c_rdwr takes i2c_msg objects"),
    (lambda b: b.i2c_rdwr(), ValueError, "at least one message"),
    (lambda b: b.i2c_rdwr(velmorix.i2c_msg.read(0x30, 0)), ValueError, "length 0"),
    (lambda b: b.enable_pec(), OSError, "does not send PEC"),
    (lambda b: b.write_i2c_block_data(0x30, 0, [1 << 70]), OverflowError, "too large"),
    (lambda b: b.write_block_data(0x30, 0, [0] * 33), ValueError, "at most 32"),
    (lambda b: b.read_block_data(0x30, 0), OSError, "cannot read a block whose length the target sends first"),
    (lambda b: b.block_process_call(0x30, 0, [1]), OSError, "cannot read a block whose length"),
    (lambda b: b.block_process_call(0x30, 0, []), ValueError, "1 to 32 data bytes"),
    (lambda b: b.i2c_rdwr(_flagged(0x0010)), OSError, "are not carried by the bridge"),
]


def _flagged(flags):
    """A write message with other flags than I2C_M_RD (I2C_M_TEN, I2C_M_NOSTART...)."""
    message = velmorix.i2c_msg.write(0x30, [2])
    message.flags = flags
    return message


def test_smbus2_forms_of_the_bus(tmp_path):
    import smbus2

    unopened = velmorix.SMBus()
    assert (unopened.fd, unopened.force) == (None, False)
    with pytest.raises(OSError) as caught:
        unopened.read_byte_data(BUILT_IN, 2)
    assert caught.value.errno == errno.EBADF
    unopened.open("sim")
    assert unopened.read_byte_data(BUILT_IN, 2) == 0x7A
    unopened.close()
    for made in (lambda: velmorix.SMBus(bus="sim", force=True), lambda: velmorix.SMBus(bridge="sim")):
        with made() as bus:
            assert bus.process_call(BUILT_IN, 0x10, 0x1234) == 0x0000
            assert bus.read_word_data(BUILT_IN, 0x10) == 0x1234
            bus.write_block_data(BUILT_IN, 0x20, b"\x05\x06")
            assert bus.read_i2c_block_data(BUILT_IN, 0x20, 3) == [2, 5, 6]
            funcs = smbus2.I2cFunc(bus.funcs)
            assert smbus2.I2cFunc.SMBUS_PROC_CALL in funcs and smbus2.I2cFunc.I2C in funcs
            assert smbus2.I2cFunc.SMBUS_READ_BLOCK_DATA not in funcs
    # A path or an adapter number is the Linux adapter, which is not there.
    for bus in (str(tmp_path / "i2c-9"), tmp_path / "i2c-9"):
        with pytest.raises(FileNotFoundError):
            velmorix.SMBus(bus)
    with pytest.raises(TypeError, match="give bus or bridge"):
        velmorix.SMBus("sim", bridge="sim")


def test_closing_one_object_leaves_the_other_working():
    first, second = velmorix.SMBus("sim"), velmorix.SMBus("sim")
    first.write_byte_data(BUILT_IN, 0x30, 0x5A)
    first.close()
    assert second.read_byte_data(BUILT_IN, 0x30) == 0x5A
    second.close()


@pytest.mark.parametrize("call, error, text", BAD_CALLS)
def test_bad_arguments_refused_before_sending(traced, call, error, text):
    bus, trace = traced
    with pytest.raises(error, match=text.replace("(", r"\(").replace(")", r"\)")):
        call(bus)
    assert trace.getvalue() == ""
    bus.read_byte_data(BUILT_IN, 2)
    assert trace.getvalue().startswith("OUT 02: 01 61 02")


def test_bridge_names_and_closed_bus_refused():
    with pytest.raises(ValueError, match=r'unknown value "serial" \(use usb, sim, sim:FILE or i2cdev:PATH\)'):
        velmorix.SMBus("serial")
    with pytest.raises(ValueError, match="needs a simulation file name"):
        velmorix.Bridge("sim:")
    with pytest.raises(TypeError, match="bridge must be a str, an int or None"):
        velmorix.SMBus(1.5)
    detached = HERE / "detached.json"
    detached.write_text('{ "attached": false, "targets": [] }')
    try:
        with pytest.raises(velmorix.BridgeError) as caught:
            velmorix.SMBus(f"sim:{detached}")
        assert caught.value.errno == errno.ENODEV
    finally:
        detached.unlink()
    bus = velmorix.SMBus("sim")
    with pytest.raises(OSError, match="cannot be opened while sim is open"):
        velmorix.Bridge(f"sim:{BENCH}")
    bus.close()
    bus.close()
    with pytest.raises(OSError) as caught:
        bus.read_byte_data(BUILT_IN, 2)
    assert caught.value.errno == errno.EBADF
    assert repr(bus) == "<velmorix.SMBus bridge=None (closed) address=0x30>"


def test_two_threads_share_one_bus():
    failures = []

    def worker(register, value):
        try:
            for i in range(500):
                bus.write_word_data(BUILT_IN, register, (value + i) & 0xFFFF)
                assert bus.read_word_data(BUILT_IN, register) == (value + i) & 0xFFFF
        except Exception as e:  # collected for the main thread's assert
            failures.append(e)

    with velmorix.SMBus("sim") as bus:
        threads = [threading.Thread(target=worker, args=(r, v)) for r, v in ((0x40, 0x1000), (0x50, 0x7000))]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    assert failures == []


def script(tmp_path, text):
    path = tmp_path / "s.txt"
    path.write_bytes(text.replace("\n", "\r\n").encode())
    return path


def test_run_script_gives_rows_counts_and_exit_status(tmp_path):
    path = script(tmp_path, "02,,7A # chip id\n02,,7B # wrong\n`ENDM\n")
    result = velmorix.run_script(path, bridge="sim", loops=2)
    assert (result.passed, result.failed, result.exit_status) == (2, 2, 1)
    assert len(result.passes) == 2
    first = result.passes[0].rows
    assert [(r.line, r.expected, r.actual, r.passed) for r in first] == [
        (1, "7A", "7A", True),
        (2, "7B", "7A", False),
    ]
    assert first[0].comment == "# chip id"
    once = velmorix.run_script(path, bridge="sim", abort_on_fail=True)
    assert len(once.passes) == 1


def test_run_script_faults(tmp_path):
    with pytest.raises(FileNotFoundError):
        velmorix.run_script(tmp_path / "missing.txt", bridge="sim")
    path = script(tmp_path, "02,,7A\n`ENDM\n")
    detached = tmp_path / "detached.json"
    detached.write_text('{ "attached": false, "targets": [] }')
    with pytest.raises(velmorix.BridgeError, match="no board"):
        velmorix.run_script(path, bridge=f"sim:{detached}")
    with pytest.raises(ValueError, match="unknown value"):
        velmorix.run_script(path, bridge="serial")


def test_run_script_stops_at_ctrl_c(tmp_path):
    path = script(tmp_path, "02,,7A\n`ENDM\n")
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        velmorix.run_script(path, bridge="sim", loops=1_000_000)
    timer.join()
    with velmorix.SMBus("sim") as bus:  # the run's connection was closed
        assert bus.read_byte_data(BUILT_IN, 2) == 0x7A


def test_every_public_name_documented_and_stubbed():
    from velmorix import _velmorix

    stub = ast.parse(pathlib.Path(_velmorix.__file__).with_name("_velmorix.pyi").read_text())
    declared = {n.name for n in stub.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    assert declared == {n for n in dir(_velmorix) if not n.startswith("__")}
    for name in velmorix.__all__:
        item = getattr(velmorix, name)
        assert item.__doc__, name
        for member, value in vars(item).items() if isinstance(item, type) else ():
            if not member.startswith("_") and callable(value):
                assert value.__doc__, f"{name}.{member}"


def test_plugin_skips_with_reason_without_board(tmp_path):
    (tmp_path / "test_one.py").write_text("def test_one(velmorix_smbus):\n    pass\n")
    env = dict(os.environ, VELMORIX_BRIDGE="")
    detached = tmp_path / "detached.json"
    detached.write_text('{ "attached": false, "targets": [] }')
    run = subprocess.run(
        [sys.executable, "-m", "pytest", "-p", "velmorix.pytest_plugin", "-p", "no:cacheprovider",
         "-rs", f"--velmorix-bridge=sim:{detached}", str(tmp_path)],
        capture_output=True, text=True, env=env, cwd=tmp_path,
    )
    assert run.returncode == 0, run.stdout + run.stderr
    assert "1 skipped" in run.stdout
    assert "no bridge board attached" in run.stdout


def test_run_script_takes_a_number_for_its_address_captures_and_raises_by_errno(tmp_path):
    path = script(tmp_path, "02,,7A\n`ENDM\n")
    assert velmorix.run_script(path, bridge="sim", address=BUILT_IN).passed == 1
    assert velmorix.run_script(path, bridge="sim", address=0x31).failed == 1  # nobody there
    run = tmp_path / "run.pcapng"
    velmorix.run_script(path, bridge="sim", capture=run)
    assert b"\x61\x7a" in run.read_bytes()  # the read message: address byte 0x61, then 7A
    with pytest.raises(FileNotFoundError, match="cannot write capture"):
        velmorix.run_script(path, bridge="sim", capture=tmp_path / "no" / "run.pcapng")
    with pytest.raises(FileNotFoundError, match="i2c-9: No such file"):
        velmorix.run_script(path, bridge=str(tmp_path / "i2c-9"))


def test_run_script_one_at_a_time_and_ctrl_c_handling_always_given_back(tmp_path):
    path = script(tmp_path, "02,,7A\n`ENDM\n")
    background = threading.Thread(target=velmorix.run_script, args=(path,),
                                   kwargs={"bridge": "sim", "loops": 400})
    background.start()
    refused = None
    while background.is_alive() and refused is None:
        try:
            velmorix.run_script(path, bridge="sim")
        except RuntimeError as e:
            refused = e
    background.join()
    assert refused is not None and "already running" in str(refused)
    with pytest.raises(OSError):  # a run that ends in an exception on the main thread
        velmorix.run_script(path, bridge="sim", capture=tmp_path / "no" / "run.pcapng")
    # Python's own handler is back: Ctrl-C is a KeyboardInterrupt at the next bytecode.
    with pytest.raises(KeyboardInterrupt):
        os.kill(os.getpid(), signal.SIGINT)
        for _ in range(1000):
            time.sleep(0.01)


def test_interpreter_runs_while_another_thread_waits_in_a_transfer_and_a_close(tmp_path):
    slow = tmp_path / "slow.json"
    slow.write_text('{ "targets": [ { "address": "A0", "registers": { "02": "7A" },'
                    ' "stretch_us": 1000000 } ] }')
    transferring, closing = velmorix.SMBus(f"sim:{slow}"), velmorix.SMBus(f"sim:{slow}")
    started = {}

    def transfer():
        started["transfer"] = time.monotonic()
        transferring.read_byte_data(0x50, 2)

    def collect():
        nonlocal closing
        time.sleep(0.1)  # the transfer holds the bus by now
        started["close"] = time.monotonic()
        closing = None  # the last reference: the object is collected and closes its bus

    threads = [threading.Thread(target=transfer), threading.Thread(target=collect)]
    ran = []
    for t in threads:
        t.start()
    while any(t.is_alive() for t in threads):
        ran.append(time.monotonic())
    transferring.close()
    # While the collected object waited for the bus, this thread kept running bytecode.
    assert started["close"] - started["transfer"] < 0.5
    window = [t for t in ran if started["close"] < t < started["close"] + 0.4]
    assert len(window) > 10


def _first_calls_in_a_forked_child(inherited, answers):
    try:
        inherited.read_byte_data(0x50, 2)
        answers.put("the parent's bus answered")
    except OSError as e:
        answers.put(e.errno)
    with velmorix.SMBus("sim", trace=io.StringIO()) as fresh:
        answers.put(fresh.read_byte_data(BUILT_IN, 2))


def test_a_child_forked_during_a_traced_transfer_never_hangs(tmp_path):
    import multiprocessing
    import queue

    slow = tmp_path / "slow.json"
    slow.write_text('{ "targets": [ { "address": "A0", "registers": { "02": "7A" },'
                    ' "stretch_us": 1000000 } ] }')
    with velmorix.SMBus(f"sim:{slow}", trace=io.StringIO()) as bus:
        transfer = threading.Thread(target=bus.read_byte_data, args=(0x50, 2))
        transfer.start()
        time.sleep(0.2)  # inside the transfer: the bus lock held, the trace installed
        context = multiprocessing.get_context("fork")
        answers = context.Queue()
        child = context.Process(target=_first_calls_in_a_forked_child, args=(bus, answers))
        child.start()
        try:
            got = [answers.get(timeout=30), answers.get(timeout=30)]
        except queue.Empty:
            got = "the child hung"
        finally:
            child.join(timeout=5)
            if child.is_alive():
                child.kill()
        transfer.join()
    assert got == [errno.EBADF, 0x7A]
    assert child.exitcode == 0
