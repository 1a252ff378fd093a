"""What a built Lumerin.scr asks of the processor and of the system, read off the file
itself. The 32-bit edition must run on every processor from the Pentium Pro on and load
on Windows 95, 98, Me and NT 4; the 64-bit one on every x64 Windows. Both are linked
statically: they import from system libraries only."""

import os
import re
import subprocess
from pathlib import Path

import pytest

SCR = Path(os.environ["LUMERIN_SCR"])
OBJDUMP = os.environ["LUMERIN_OBJDUMP"]
# The edition the build tree makes: "x86" or "x64".
EDITION = os.environ.get("LUMERIN_EDITION", "x86")

# Per edition: the machine field, the oldest system's version that the loader checks
# against the subsystem version (NT 4 and 95: 4.0; XP and Server 2003 x64: 5.2), and the
# list of every function it may import.
EDITIONS = {
    "x86": {"machine": "i386", "subsystem": (4, 0), "imports": "imports.txt"},
    "x64": {"machine": "x86-64", "subsystem": (5, 2), "imports": "imports-x64.txt"},
}
EXPECTED = EDITIONS[EDITION]
ALLOWED = Path(__file__).with_name(EXPECTED["imports"])

# Registers of the MMX and SSE units, and instructions that need those units without
# naming a register (the SSE control register, cache hints, fences, MMX state).
VECTOR_REGISTER = re.compile(r"%x?mm[0-9]")
VECTOR_ONLY = re.compile(r"\t(ldmxcsr|stmxcsr|emms|femms|sfence|lfence|mfence|movnti|clflush|"
                         r"prefetch\w*|fxsave|fxrstor)\b")


def objdump(*args):
    return subprocess.run([OBJDUMP, *args, str(SCR)], capture_output=True, text=True,
                          check=True).stdout


@pytest.mark.skipif(EDITION != "x86", reason="every x64 processor has SSE2")
def test_no_instruction_needs_mmx_or_sse():
    found = [line.strip() for line in objdump("-d").splitlines()
             if VECTOR_REGISTER.search(line) or VECTOR_ONLY.search(line)]
    assert found == [], f"{len(found)} instructions need MMX or SSE, first: {found[:5]}"


def header_field(headers, name):
    match = re.search(rf"^{name}\s+(\S+)", headers, re.M)
    assert match, f"no {name} in the headers"
    return match.group(1)


def test_header_names_the_editions_processor_and_a_gui_program_for_its_oldest_system():
    headers = objdump("-p")
    assert f"file format pei-{EXPECTED['machine']}" in headers
    assert int(header_field(headers, "Subsystem"), 16) == 2  # the Windows GUI
    version = (int(header_field(headers, "MajorSubsystemVersion")),
               int(header_field(headers, "MinorSubsystemVersion")))
    assert version == EXPECTED["subsystem"]


def imports():
    library, found = None, set()
    for line in objdump("-p").splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            library = named.group(1).upper()
            continue
        # binutils 2.40 writes "\t1c488\t  614  RegCloseKey",
        # 2.44 "\t0001c488  <none>  0266  RegCloseKey".
        entry = re.match(r"\t[0-9a-f]+\s+(?:<none>\s+)?[0-9a-f]+\s+(\S+)$", line)
        if library and entry:
            found.add(f"{library} {entry.group(1)}")
    return found


def test_imports_only_what_every_served_system_has():
    allowed = {line.strip() for line in ALLOWED.read_text().splitlines()
               if line.strip() and not line.startswith("#")}
    found = imports()
    assert len(found) > 50, "the import table was not read"
    assert sorted(found - allowed) == [], f"imports not checked against every served system ({ALLOWED})"
    # The common controls serve only the settings dialog, which loads them itself: an
    # import would load them at every start of the saver.
    assert [name for name in found if name.startswith("COMCTL32.DLL ")] == []
