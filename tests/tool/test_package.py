"""The Debian package that make deb builds: what it holds, lintian's verdict, the manual
page against the tool's own help, the wallpaper's user unit, the shells' completions, and,
on a machine of the test's own, installing and removing it."""
import gzip
import os
import re
import subprocess
import tempfile
from pathlib import Path

import pytest

# Every file and link of the package, with its mode (and a link's target).
FILES = {
    "usr/bin/lumerin": "-rwxr-xr-x",
    "usr/libexec/xscreensaver/lumerin": "lrwxrwxrwx -> ../../bin/lumerin",
    "usr/share/xscreensaver/config/lumerin.xml": "-rw-r--r--",
    "usr/share/applications/screensavers/lumerin.desktop": "-rw-r--r--",
    "usr/share/man/man1/lumerin.1.gz": "-rw-r--r--",
    "usr/lib/systemd/user/lumerin-wallpaper.service": "-rw-r--r--",
    "usr/share/bash-completion/completions/lumerin": "-rw-r--r--",
    "usr/share/zsh/vendor-completions/_lumerin": "-rw-r--r--",
    "usr/share/fish/vendor_completions.d/lumerin.fish": "-rw-r--r--",
    "usr/share/doc/lumerin/copyright": "-rw-r--r--",
    "etc/pam.d/lumerin": "-rw-r--r--",
    "usr/share/doc/lumerin/changelog.Debian.gz": "-rw-r--r--",
}
INSTALL_SWITCH = "LUMERIN_PACKAGE_INSTALL"
UNIT = "usr/lib/systemd/user/lumerin-wallpaper.service"


def run(*args, **kwargs):
    return subprocess.run(list(map(str, args)), capture_output=True, text=True, timeout=300,
                          **kwargs)


@pytest.fixture(scope="module")
def deb():
    path = Path(os.environ["LUMERIN_DEB"])
    tool = Path(os.environ["LUMERIN_TOOL"])
    if not path.exists():
        pytest.fail(f"{path} is missing: 'make deb' builds it")
    if path.stat().st_mtime < tool.stat().st_mtime:
        pytest.fail(f"{path} is older than {tool}: 'make deb' builds it again")
    return path


def contents(deb):
    """{path: mode, with ' -> target' for links} and the set of owners, from dpkg-deb -c."""
    entries, owners = {}, set()
    for line in run("dpkg-deb", "-c", deb).stdout.splitlines():
        mode, owner, _size, _date, _time, name = line.split(None, 5)
        owners.add(owner)
        name = name.removeprefix("./").rstrip("/")
        if " -> " in name:
            name, target = name.split(" -> ")
            mode += " -> " + target
        entries[name] = mode
    return entries, owners


def test_holds_its_files_and_folders_owned_by_root(deb):
    entries, owners = contents(deb)
    files = {name: mode for name, mode in entries.items() if not mode.startswith("d")}
    assert files == FILES
    folders = {name: mode for name, mode in entries.items() if mode.startswith("d")}
    assert set(folders) == {str(p) for f in FILES for p in Path(f).parents if str(p) != "."}
    assert set(folders.values()) == {"drwxr-xr-x"}
    assert owners == {"root/root"}


def test_control_fields_and_a_stripped_unsanitized_tool(deb, tmp_path):
    fields = dict(re.findall(r"^(\S+): (.*)$", run("dpkg-deb", "-f", deb).stdout, re.M))
    assert fields["Package"] == "lumerin"
    assert deb.name == f"lumerin_{fields['Version']}_{fields['Architecture']}.deb"
    assert fields["Section"] == "x11" and fields["Priority"] == "optional"
    assert re.fullmatch(r".+ <[^@ ]+@[^@ ]+>", fields["Maintainer"])
    depends = [d.split()[0] for d in fields["Depends"].split(", ")]
    # The Wayland edition's libraries come with it: its protocol's and the system bus's.
    assert {"libc6", "libcairo2", "libx11-6", "libwayland-client0", "libsystemd0"} <= set(depends)
    assert not [d for d in depends if re.match(r"lib(a|ub|t)san", d)], depends
    run("dpkg-deb", "-x", deb, tmp_path)
    sections = run("readelf", "-S", "-W", tmp_path / "usr/bin/lumerin").stdout
    assert ".text" in sections
    assert ".symtab" not in sections and ".debug_info" not in sections


def test_lintian_finds_no_error(deb):
    result = run("lintian", "--fail-on", "error", deb)
    assert result.returncode == 0, result.stdout + result.stderr
    assert not re.search(r"^E: ", result.stdout, re.M), result.stdout


def manual_text():
    """The built manual page's source with roff's escapes taken out, as a reader sees it."""
    source = (Path(os.environ["LUMERIN_TOOL"]).parent / "lumerin.1").read_text()
    return re.sub(r"\\f[BIRP]|\\c", "", source).replace("\\-", "-")


@pytest.mark.parametrize("help_command", [["help"], ["saver", "--help"], ["wallpaper", "--help"],
                                          ["lock", "--help"]])
def test_manual_page_documents_every_option_the_help_lists(lumerin, help_command):
    result = lumerin(*help_command)
    assert result.returncode == 0, result.stderr
    options = set(re.findall(r"(?<![\w-])--?[a-z][a-z-]*", result.stdout))
    assert len(options) > 5, result.stdout  # the help was read
    manual = manual_text()
    missing = [o for o in sorted(options)
               if not re.search(r"(?<![\w-])" + re.escape(o) + r"(?![\w-])", manual)]
    assert missing == []


def verify_unit(unit, manuals):
    """systemd-analyze verify's status and complaints about Lumerin's user unit, as a user
    manager would load it. A runtime folder of its own stands for the session's (a short
    path: the other user units' sockets are made in it); their complaints are not ours."""
    with tempfile.TemporaryDirectory(prefix="run-", dir="/tmp") as runtime:
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, MANPATH=str(manuals))
        result = run("systemd-analyze", "--user", "verify", unit, env=env)
    said = (result.stdout + result.stderr).splitlines()
    return result.returncode, [line for line in said if "lumerin" in line]


def test_user_unit_starts_the_wallpaper_with_the_graphical_session(deb, tmp_path):
    run("dpkg-deb", "-x", deb, tmp_path / "root").check_returncode()
    text = (tmp_path / "root" / UNIT).read_text()
    fields = re.findall(r"^(\w+)=(.*)$", text, re.M)
    assert ("ExecStart", "/usr/bin/lumerin wallpaper") in fields
    for field in ("PartOf", "After", "WantedBy"):
        assert (field, "graphical-session.target") in fields
    # Restarted after a fault, but not for ever, and never after a refused configuration.
    assert {("Restart", "on-failure"), ("RestartPreventExitStatus", "2"),
            ("StartLimitBurst", "3")} <= set(fields)
    # verify checks that the program exists: the package's own, where it was unpacked.
    unit = tmp_path / "lumerin-wallpaper.service"
    unit.write_text(text.replace("/usr/bin/lumerin", str(tmp_path / "root/usr/bin/lumerin")))
    assert verify_unit(unit, tmp_path / "root/usr/share/man") == (0, [])


def completions(deb, tmp_path, *paths):
    run("dpkg-deb", "-x", deb, tmp_path).check_returncode()
    # A swaymsg of the test's own on PATH: the outputs of a compositor.
    (tmp_path / "bin").mkdir()
    swaymsg = tmp_path / "bin/swaymsg"
    swaymsg.write_text("#!/bin/sh\ncat <<'END'\nOutput DP-1 'Dell U2720Q' (focused)\n"
                       "  Current mode: 1920x1080 @ 60.000 Hz\nOutput HDMI-A-1 'LG'\nEND\n")
    swaymsg.chmod(0o755)
    env = dict(os.environ, PATH=f"{tmp_path / 'bin'}:{os.environ['PATH']}")
    return [tmp_path / p for p in paths], env


@pytest.mark.parametrize("line, offered", [
    ("lumerin wa", ["wallpaper"]),
    ("lumerin wallpaper --pa", ["--pause", "--palette"]),
    ("lumerin wallpaper --battery ", ["draw", "pause"]),
    ("lumerin wallpaper --output ", ["DP-1", "HDMI-A-1"]),
    ("lumerin saver --palette ", ["0", "1", "2", "3", "4"]),
    ("lumerin -ro", ["-root"]),
    ("lumerin saver --ou", []),  # the saver has no outputs
])
def test_bash_completes_commands_options_and_their_values(deb, tmp_path, line, offered):
    (script,), env = completions(deb, tmp_path, "usr/share/bash-completion/completions/lumerin")
    words = line.split(" ")
    # As bash-completion's loader does: the file, then the function it named for lumerin.
    program = (f"source {script}; COMP_WORDS=({' '.join(map(repr, words))}); "
               f"COMP_CWORD={len(words) - 1}; COMP_LINE={line!r}; COMP_POINT=${{#COMP_LINE}}; "
               "$(complete -p lumerin | sed -n 's/.*-F \\([^ ]*\\).*/\\1/p') lumerin; "
               "printf '%s\\n' \"${COMPREPLY[@]}\"")
    result = run("bash", "-c", program, env=env)
    assert (result.stderr, sorted(result.stdout.split())) == ("", sorted(offered))


def test_zsh_and_fish_complete_the_same_options_and_fractals_by_name(deb, tmp_path):
    (zsh, fish), env = completions(deb, tmp_path, "usr/share/zsh/vendor-completions/_lumerin",
                                   "usr/share/fish/vendor_completions.d/lumerin.fish")
    assert zsh.read_text().startswith("#compdef lumerin\n")
    assert run("zsh", "-n", zsh).returncode == 0
    assert "'4:Harter-Heighway Dragon'" in zsh.read_text()

    def fish_offers(line):
        result = run("fish", "--no-config", "-c", f"source {fish}; complete -C {line!r}", env=env)
        assert result.stderr == ""
        return [row.split("\t") for row in result.stdout.splitlines()]

    assert [row[0] for row in fish_offers("lumerin wallpaper --pa")] == ["--palette", "--pause"]
    assert ["4", "Harter-Heighway Dragon"] in fish_offers("lumerin wallpaper --fractal ")
    assert [row[0] for row in fish_offers("lumerin wallpaper --output ")] == ["DP-1", "HDMI-A-1"]


def install_refusal(deb):
    """Why the package must not be installed here, or None where it may."""
    if os.environ.get(INSTALL_SWITCH) != "1" and os.environ.get("CI") != "true":
        return (f"installs into /usr only on a machine of its own: CI=true or "
                f"{INSTALL_SWITCH}=1")
    if os.geteuid() != 0:
        return "installing the package needs root"
    if run("dpkg-query", "-W", "lumerin").returncode == 0:
        return "a lumerin package is installed already"
    present = [f for f in FILES if os.path.lexists("/" + f)]
    if present:
        return f"the package would overwrite {', '.join(present)}"
    return None


def test_installs_with_apt_runs_and_removes_every_file(deb):
    refusal = install_refusal(deb)
    if refusal:
        pytest.skip(refusal)
    entries, _ = contents(deb)
    new = [p for p in entries if not os.path.lexists("/" + p)]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    try:
        result = run("apt-get", "install", "-y", "--no-install-recommends",
                     "-o", "DPkg::Lock::Timeout=240", deb.resolve(), env=env)
        assert result.returncode == 0, result.stdout + result.stderr
        mode = run("/usr/libexec/xscreensaver/lumerin", "--help")
        assert mode.returncode == 0 and "--root" in mode.stdout, mode.stderr
        assert run("man", "-w", "lumerin").stdout.strip() == "/usr/share/man/man1/lumerin.1.gz"
        with gzip.open("/usr/share/man/man1/lumerin.1.gz", "rt") as page:
            assert page.readline().startswith(".TH LUMERIN 1 ")
        # The unit as installed, with the tool and the manual page where it names them.
        assert verify_unit("/" + UNIT, "/usr/share/man") == (0, [])
    finally:
        # Purged, not only removed: the PAM service is a conffile, which removal keeps.
        removal = run("dpkg", "--purge", "lumerin", env=env)
    assert removal.returncode == 0, removal.stdout + removal.stderr
    assert [p for p in new if os.path.lexists("/" + p)] == []
