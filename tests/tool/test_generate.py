"""lumerin list and lumerin generate, as a user at a shell sees them."""
import pytest

TITLES = [
    "Chain", "Exercise 2.2", "Flower", "Gosper curve", "Harter-Heighway Dragon",
    "Hilbert curve", "Island", "Koch snowflake", "Mosaic", "Mosaic-2", "Peano curve",
    "Serpinsky curve", "Serpinsky gasket", "Shrub", "Snowflake", "Weed",
]


def test_list_shows_the_sixteen_entries_in_order(lumerin):
    result = lumerin("list")
    assert result.returncode == 0
    rows = result.stdout.splitlines()[1:]
    assert len(rows) == 16
    for index, (row, title) in enumerate(zip(rows, TITLES)):
        assert row.split()[0] == str(index)
        assert title in row


def test_list_refuses_arguments(lumerin):
    result = lumerin("list", "extra")
    assert result.returncode == 2
    assert result.stdout == ""
    assert result.stderr.startswith("lumerin: ")


@pytest.mark.parametrize("entry, generation, text", [
    (13, 0, "F"),
    (13, 1, "-F+F+[+F-F-]-[-F+F+F]"),
    (4, 2, "FX+YF++-FX-YF+"),
    (5, 1, "-YF+XFX+FY-"),
])
def test_generate_prints_the_generation(lumerin, entry, generation, text):
    result = lumerin("generate", entry, generation)
    assert result.returncode == 0
    assert result.stdout == text + "\n"
    assert result.stderr == ""


@pytest.mark.parametrize("entry, generation, length", [
    (0, 4, 23847), (3, 5, 56022), (4, 15, 131070), (5, 7, 54611), (6, 4, 45927),
    (8, 3, 31219), (4, 12, 16382), (5, 6, 13651), (13, 4, 8001), (14, 3, 14675),
])
def test_generate_length_of_known_generations(lumerin, entry, generation, length):
    result = lumerin("generate", entry, generation, "--length")
    assert result.returncode == 0
    assert result.stdout == f"{length}\n"
    full = lumerin("generate", entry, generation)
    assert len(full.stdout) == length + 1


@pytest.mark.parametrize("entry, first_too_long", [(8, 5), (0, 6), (4, 18), (12, 11)])
def test_a_generation_that_does_not_fit_gives_the_largest_that_does(lumerin, entry,
                                                                   first_too_long):
    largest = lumerin("generate", entry, first_too_long - 1, "--length")
    result = lumerin("generate", entry, first_too_long + 3, "--length")
    assert result.returncode == 0
    assert "does not fit" in result.stderr
    assert f"generation {first_too_long - 1}" in result.stderr
    assert result.stdout == largest.stdout
    assert int(largest.stdout) <= 999999


@pytest.mark.parametrize("args", [
    ["generate"],
    ["generate", "4"],
    ["generate", "16", "0"],
    ["generate", "-1", "0"],
    ["generate", "4", "x"],
    ["generate", "4", "2", "3"],
    ["generate", "4", "2", "--lenght"],
    ["nonsense"],
    [],
])
def test_bad_arguments_exit_2_with_one_line(lumerin, args):
    result = lumerin(*args)
    assert result.returncode == 2
    assert result.stderr.startswith("lumerin: ") or args == []
    if args:
        assert result.stderr.count("\n") == 1
        assert result.stdout == ""
