"""pytest plugin for the bridge board: enable it with ``-p velmorix.pytest_plugin``.

It adds the option ``--velmorix-bridge`` (default: the VELMORIX_BRIDGE environment
variable, else ``usb``) and the fixtures ``velmorix_bridge`` (a ``velmorix.Bridge``)
and ``velmorix_smbus`` (a ``velmorix.SMBus``), each opened for one test and closed
after it. A test that uses them is skipped, with the reason, when no bridge board is
attached.
"""

from __future__ import annotations

import os
from typing import Iterator, Optional

import pytest

import velmorix


def pytest_addoption(parser: pytest.Parser) -> None:
    group = parser.getgroup("velmorix", "Velmorix bridge board")
    group.addoption(
        "--velmorix-bridge",
        default=None,
        metavar="BRIDGE",
        help=f"the bridge board: {velmorix.bridge_forms()} "
        "(default: VELMORIX_BRIDGE, else usb)",
    )


def _bridge_name(config: pytest.Config) -> Optional[str]:
    return config.getoption("--velmorix-bridge") or os.environ.get("VELMORIX_BRIDGE") or None


def pytest_report_header(config: pytest.Config) -> str:
    return f"velmorix bridge: {_bridge_name(config) or 'usb'}"


def _opened(kind, request: pytest.FixtureRequest):
    try:
        return kind(_bridge_name(request.config))
    except velmorix.BridgeError as e:
        pytest.skip(str(e))


@pytest.fixture
def velmorix_bridge(request: pytest.FixtureRequest) -> Iterator[velmorix.Bridge]:
    """A velmorix.Bridge on the chosen bridge board; skips when none is attached."""
    with _opened(velmorix.Bridge, request) as bridge:
        yield bridge


@pytest.fixture
def velmorix_smbus(request: pytest.FixtureRequest) -> Iterator[velmorix.SMBus]:
    """A velmorix.SMBus on the chosen bridge board; skips when none is attached."""
    with _opened(velmorix.SMBus, request) as bus:
        yield bus
