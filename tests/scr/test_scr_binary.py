"""What the built Lumerin.scr asks of the processor and of the system: it must run on
every processor from the Pentium Pro on and load on Windows 95, 98, Me and NT 4."""

import os
import re
import subprocess
from pathlib import Path

import pytest

SCR = Path(os.environ["LUMERIN_SCR"])
OBJDUMP = os.environ["LUMERIN_OBJDUMP"]
ALLOWED = Path(__file__).with_name("imports.txt")

# Registers of the MMX and SSE units, and instructions that need those units without
# naming a register (the SSE control register, cache hints, fences, MMX state).
VECTOR_REGISTER = re.compile(r"%x?mm[0-9]")
VECTOR_ONLY = re.compile(r"\t(ldmxcsr|stmxcsr|emms|femms|sfence|lfence|mfence|movnti|clflush|"
                         r"prefetch\w*|fxsave|fxrstor)\b")


def objdump(*args):
    return subprocess.run([OBJDUMP, *args, str(SCR)], capture_output=True, text=True,
                          check=True).stdout


def test_no_instruction_needs_mmx_or_sse():
    found = [line.strip() for line in objdump("-d").splitlines()
             if VECTOR_REGISTER.search(line) or VECTOR_ONLY.search(line)]
    assert found == [], f"{len(found)} instructions need MMX or SSE, first: {found[:5]}"


def imports():
    library, found = None, set()
    for line in objdump("-p").splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            library = named.group(1).upper()
            continue
        entry = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)", line)
        if library and entry:
            found.add(f"{library} {entry.group(1)}")
    return found


def test_imports_only_what_every_served_system_has():
    allowed = {line.strip() for line in ALLOWED.read_text().splitlines()
               if line.strip() and not line.startswith("#")}
    found = imports()
    assert len(found) > 50, "the import table was not read"
    assert sorted(found - allowed) == [], f"imports not checked against 95/98/Me/NT 4 ({ALLOWED})"
    # The dialog looks InitCommonControlsEx up in the common controls that this import loads.
    assert "COMCTL32.DLL InitCommonControls" in found
