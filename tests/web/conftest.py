"""The page named by LUMERIN_PAGE (set by ctest) in headless Chromium."""
import os
import pathlib

import pytest

from browser import Browser


@pytest.fixture(scope="module")
def browser():
    instance = Browser()
    yield instance
    instance.close()


@pytest.fixture
def page(browser):
    tab = browser.new_page(800, 600)
    yield tab
    tab.close()


@pytest.fixture
def page_url():
    path = os.environ.get("LUMERIN_PAGE")
    if not path:
        pytest.fail("LUMERIN_PAGE must name the built index.html")
    return lambda query="": pathlib.Path(path).resolve().as_uri() + query
