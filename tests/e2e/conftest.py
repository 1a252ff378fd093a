import pytest

from harness import Display, Wine


@pytest.fixture
def display():
    d = Display()
    yield d
    d.close()


@pytest.fixture
def wine(display):
    w = Wine(display)
    yield w
    w.close()
