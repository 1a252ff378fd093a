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
