import pytest

from harness import Display, Wine


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "short_run: the few tests that run each mode of the program end to end "
        "(full screen, configuration, preview), for where it starts far too slowly for the "
        "whole suite (a 32-bit program under an emulator: e2e.short_run)")


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


# One display and one prefix for a whole test file, for files whose tests only start and
# close the saver and can share them.
@pytest.fixture(scope="module")
def shared_display():
    d = Display()
    yield d
    d.close()


@pytest.fixture(scope="module")
def shared_wine(shared_display):
    w = Wine(shared_display)
    yield w
    w.close()
