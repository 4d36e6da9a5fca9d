"""The exceptions of velmorix; the C++ part raises them."""


class BridgeError(OSError):
    """The bridge board is missing or left: an OSError with errno ENODEV.

    ``errno`` and ``strerror`` are set as for any OSError; ``strerror`` names the
    bridge and what was found.
    """
