"""The set-up script against stand-ins for apt-get, dpkg and dpkg-query first on PATH:
no network, no root's apt, nothing installed."""
import os
import pathlib
import stat
import subprocess

import pytest

BOOTSTRAP = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "bootstrap"
SYNC_ERROR = ("E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/"
              "main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). "
              "Mirror sync in progress?")

# Each stand-in appends its arguments to calls.log. apt-get's update fails as many times as
# update-failures says (every time for "always"). Its install fails when install-fails
# exists, and with the security suite pinned only when pinned-fails exists; a simulated
# install takes libssl3 from the main suite, where apt-cache knows a newer security version.
STANDINS = {
    "apt-get": f"""#!/bin/sh
echo "apt-get $*" >>"$STANDIN/calls.log"
case "$1" in
update)
  n=$(grep -c '^apt-get update' "$STANDIN/calls.log")
  limit=$(cat "$STANDIN/update-failures")
  if [ "$limit" = always ] || [ "$n" -le "$limit" ]; then
    echo '{SYNC_ERROR}'
    echo 'E: Some index files failed to download. They have been ignored, or old ones used instead.'
    exit 100
  fi ;;
-s)
  echo "Inst libssl3 [3.0.19-1] (3.0.20-1 Debian:12.15/oldstable [amd64]) []"
  echo "Inst zlib1g:i386 (1:1.2.13 Debian:12.15/oldstable [i386]) []" ;;
install)
  case "$*" in
  *PreferencesParts*) failed="$STANDIN/pinned-fails" ;;
  *) failed="$STANDIN/install-fails" ;;
  esac
  if [ -e "$failed" ]; then
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  fi ;;
esac
exit 0
""",
    "apt-cache": """#!/bin/sh
case "$2" in
libssl3) echo "  Candidate: 3.0.22-1" ;;
zlib1g:i386) echo "  Candidate: 1:1.2.13" ;;
esac
""",
    "dpkg-query": """#!/bin/sh
for p; do :; done
if grep -qx "$p" "$STANDIN/missing"; then exit 1; fi
printf 'install ok installed'
""",
    "dpkg": """#!/bin/sh
echo "dpkg $*" >>"$STANDIN/calls.log"
[ "$1" = --print-foreign-architectures ] && echo i386
[ "$1" = --print-architecture ] && cat "$STANDIN/architecture"
exit 0
""",
    "sudo": '#!/bin/sh\nexec "$@"\n',
}


def run_bootstrap(tmp_path, missing, update_failures, install_fails, pinned_fails=True,
                  os_release='ID=debian\nVERSION_ID="12"\n', architecture="amd64"):
    for name, text in STANDINS.items():
        path = tmp_path / name
        path.write_text(text)
        path.chmod(path.stat().st_mode | stat.S_IXUSR)
    (tmp_path / "missing").write_text("".join(p + "\n" for p in missing))
    (tmp_path / "update-failures").write_text(str(update_failures))
    (tmp_path / "calls.log").write_text("")
    (tmp_path / "os-release").write_text(os_release)
    (tmp_path / "architecture").write_text(architecture + "\n")
    if install_fails:
        (tmp_path / "install-fails").write_text("")
    if pinned_fails:
        (tmp_path / "pinned-fails").write_text("")
    env = {**os.environ, "PATH": f"{tmp_path}:{os.environ['PATH']}", "STANDIN": str(tmp_path),
           "LUMERIN_APT_RETRY_SECONDS": "0", "LUMERIN_OS_RELEASE": str(tmp_path / "os-release")}
    result = subprocess.run([str(BOOTSTRAP)], capture_output=True, text=True, env=env, timeout=60)
    calls = (tmp_path / "calls.log").read_text().splitlines()
    return result, calls


@pytest.mark.parametrize(
    "missing, update_failures, install_fails, pinned_fails, status, updates, installs, says", [
    # Everything present: it only checks.
    ([], "always", True, True, 0, 0, 0, []),
    # A failing update is tried again and the second try is enough.
    (["xdotool"], 1, False, True, 0, 2, 1, ["try 1 of 3"]),
    # Lists that never fully download but still let the install through: a warning.
    (["xdotool"], "always", False, True, 0, 3, 1, ["try 3 of 3", "some package lists failed"]),
    # The security list failed and so did the install: once more with that suite pinned, and
    # what came from the main suite instead, with the upgrade that brings it.
    (["wine32:i386"], "always", True, False, 0, 3, 2,
     ["pinned below the main one", "came from the main suite instead of the security suite",
      "  libssl3 3.0.20-1 (security: 3.0.22-1)\n", "apt-get upgrade"]),
    # The pinned install fails too: what failed, the usual cause and the pin to try, then
    # a failure.
    (["wine32:i386"], "always", True, True, 1, 3, 2,
     ["held broken packages", "unexpected size", "mirror in the middle of a sync",
      "Pin: release l=Debian-Security", "Pin-Priority: 100",
      "-o Dir::Etc::PreferencesParts=/tmp/lumerin-pin wine32:i386"]),
    # The lists are fine but the install fails: apt's reason, no talk of mirrors.
    (["xdotool"], 0, True, False, 1, 1, 1, ["held broken packages", "Check the packages"]),
])
def test_bootstrap_retries_updates_and_explains_a_failed_install(
        tmp_path, missing, update_failures, install_fails, pinned_fails, status, updates,
        installs, says):
    result, calls = run_bootstrap(tmp_path, missing, update_failures, install_fails, pinned_fails)
    assert result.returncode == status, result.stderr
    assert sum(c.startswith("apt-get update") for c in calls) == updates
    assert sum(c.startswith("apt-get install") for c in calls) == installs
    for text in says:
        assert text in result.stderr
    if status == 0:
        assert "could not install" not in result.stderr
    if not missing:
        assert result.stderr == ""
    assert "zlib1g" not in result.stderr.split("could not install")[0]
    # The pin is the command's own: every pinned call names a folder that is gone afterwards.
    for call in calls:
        if "PreferencesParts=" in call:
            folder = call.split("PreferencesParts=")[1].split()[0]
            assert not pathlib.Path(folder).exists()


@pytest.mark.parametrize("os_release, architecture, status", [
    ('PRETTY_NAME="Debian GNU/Linux 13 (trixie)"\nID=debian\nVERSION_ID="13"\n', "amd64", 0),
    ('PRETTY_NAME="Debian GNU/Linux 11 (bullseye)"\nID=debian\nVERSION_ID="11"\n', "amd64", 1),
    ('PRETTY_NAME="Ubuntu 24.04.1 LTS"\nID=ubuntu\nID_LIKE=debian\nVERSION_ID="24.04"\n',
     "amd64", 1),
    ('PRETTY_NAME="Debian GNU/Linux 13 (trixie)"\nID=debian\nVERSION_ID="13"\n', "arm64", 1),
    ("", "amd64", 1),
])
def test_an_unknown_system_gets_the_list_by_purpose_and_nothing_installed(
        tmp_path, os_release, architecture, status):
    result, calls = run_bootstrap(tmp_path, ["xdotool"], 0, False, os_release=os_release,
                                  architecture=architecture)
    assert result.returncode == status, result.stderr
    installing = [c for c in calls if c.startswith(("apt-get", "dpkg --add"))]
    if status == 0:
        assert installing
        return
    assert installing == []
    assert "known for Debian 12 (bookworm) and Debian 13 (trixie), amd64 only" in result.stderr
    assert "nothing was installed" in result.stderr
    for purpose in ("  building: build-essential", "  Wine: wine ", "  Wayland: ",
                    "  the web edition: emscripten chromium"):
        assert purpose in result.stderr
