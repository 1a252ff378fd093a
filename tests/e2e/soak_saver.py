"""The long runs (make soak): the slideshow without pauses for SOAK_MINUTES (10) with
its GDI objects and private memory watched, a hundred starts and closes at random
moments, and more spoilt settings keys than the quick tests try, from a fresh seed."""

import os
import statistics
import time

from corrupt_keys import run_keys
from saver_run import close_with_key, saver_resources, start_and_close_at_random_moments, \
    start_full_screen

SAMPLE_SECONDS = 30
# A slideshow cycle deletes its ten pens before it makes new ones: a count taken between
# the two is lower for a moment. Each end takes the highest of a few counts, so that one
# set of pens kept per cycle shows.
SAMPLES_PER_END = 5
# Wine's own heaps settle in the first minutes; a leak of one figure's strings per cycle
# would be megabytes a minute.
PRIVATE_GROWTH_LIMIT = 4 << 20


def minutes():
    return float(os.environ.get("SOAK_MINUTES", "10"))


def seed():
    return int(os.environ.get("LUMERIN_SEED", str(int(time.time()) % 100000)))


def settled_resources(wine):
    samples = []
    for _ in range(SAMPLES_PER_END):
        samples.append(saver_resources(wine))
        time.sleep(0.3)
    return {"gdi": max(s["gdi"] for s in samples), "gdi_source": samples[0]["gdi_source"],
            "private": statistics.median(s["private"] for s in samples),
            "private_source": samples[0]["private_source"]}


def show(when, figures, elapsed):
    print(f"{when} ({elapsed / 60:.1f} min): GDI objects {figures['gdi']} "
          f"({figures['gdi_source']}), private memory {figures['private'] / 1024:.0f} KiB "
          f"({figures['private_source']})", flush=True)


def test_slideshow_without_pauses_holds_its_gdi_objects_and_memory(shared_wine):
    wine = shared_wine
    wine.set_settings({"DefaultMode": 1, "TimeOut": 0, "NumFractal": 0, "LineWidth": 2,
                       "iterFrom": 0, "iterTo": 0, "Angle": 0, "CurPalette": 1,
                       "Background": 0})
    process = start_full_screen(wine)
    started = time.monotonic()
    time.sleep(2)  # past start-up: the first figure is being drawn
    first = settled_resources(wine)
    show("start", first, time.monotonic() - started)
    deadline = started + 60 * minutes()
    while time.monotonic() < deadline:
        time.sleep(max(0.0, min(SAMPLE_SECONDS, deadline - time.monotonic())))
        assert process.poll() is None, f"the saver ended by itself: {process.poll()}"
        show("running", saver_resources(wine), time.monotonic() - started)
    last = settled_resources(wine)
    show("end", last, time.monotonic() - started)
    assert close_with_key(wine, process) == 0
    assert last["gdi"] <= first["gdi"], (first, last)
    assert last["private"] - first["private"] <= PRIVATE_GROWTH_LIMIT, (first, last)


def test_a_hundred_starts_and_closes_at_random_moments(shared_wine):
    run_seed = seed()
    print(f"start and close: seed {run_seed} (LUMERIN_SEED={run_seed} repeats it)")
    for mode in ("fixed", "slideshow"):
        start_and_close_at_random_moments(shared_wine, mode, 50, seed=f"{run_seed}-{mode}")


def test_many_spoilt_keys(shared_wine):
    count = int(os.environ.get("LUMERIN_SOAK_KEYS", "200"))
    assert run_keys(shared_wine, seed(), count, count) > 0
