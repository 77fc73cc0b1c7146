import os

import pytest

import armkin


@pytest.fixture(scope="session")
def arms_dir():
    return os.environ.get("ARMKIN_ARMS", os.path.join(os.path.dirname(__file__), "..", "..", "arms"))


@pytest.fixture()
def builtin():
    return armkin.Arm.builtin()
