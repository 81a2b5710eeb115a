#!/usr/bin/env python3
"""Proves that scripts/install-deps.sh installs everything the build's configure reads.

Runs the CMake configure under strace, collects every file it opened from outside
the repository and the build folder, and checks that each belongs to a Debian
package that `apt-get install --no-install-recommends <the list>` brings: a listed
package, one in the Depends/Pre-Depends closure of the list, or one of the base
system's required packages. A file that no package owns is an error too, unless it
is machine state that no package ships (the dynamic linker's cache, the machine's
own accounts and name-service files).

Exit status 0 when every file is accounted for, 1 otherwise (the files are listed
with the package that owns them, if any), 2 when the check itself cannot run.
"""
import argparse
import glob
import os
import re
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Files a machine generates or an administrator writes; no package owns them.
MACHINE_STATE = {
    "/etc/ld.so.cache", "/etc/passwd", "/etc/group", "/etc/nsswitch.conf",
    "/etc/localtime", "/etc/timezone", "/etc/hosts", "/etc/resolv.conf",
    "/etc/host.conf", "/etc/gai.conf", "/etc/machine-id", "/etc/mtab",
}
# Kernel and process views and scratch folders are not files of a package.
SKIPPED_PREFIXES = ("/proc/", "/sys/", "/dev/", "/tmp/", "/run/", "/var/tmp/")


def listed_packages(install_script):
    """The package list of install-deps.sh, as it prints it with --list."""
    out = subprocess.run(["bash", install_script, "--list"], check=True,
                         capture_output=True, text=True).stdout
    return out.split()


def dependency_closure(packages):
    """The packages that apt-get install --no-install-recommends would bring."""
    cmd = ["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
           "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances"] + packages
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    closure = set()
    for line in out.splitlines():
        if line and not line[0].isspace() and not line.startswith("<"):
            closure.add(line.strip().split(":")[0])
    return closure


def base_system_packages():
    """Essential and required packages: present on every Debian installation."""
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Essential} ${Priority}\n"],
                         check=True, capture_output=True, text=True).stdout
    base = set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 2 and ("yes" in parts[1:] or "required" in parts[1:]):
            base.add(parts[0])
    return base


def pc_files_of(modules):
    """The .pc files of the modules pkg-config was asked for, with their requirements.

    pkg-config opens every .pc file of its search path while it looks for one,
    so what it opened says nothing; what matters is the modules it resolved.
    """
    files, seen, queue = set(), set(), list(modules)
    while queue:
        module = queue.pop()
        if module in seen:
            continue
        seen.add(module)
        where = subprocess.run(["pkg-config", "--path", module], capture_output=True, text=True)
        if where.returncode != 0:
            continue
        files.add(where.stdout.strip())
        requires = subprocess.run(["pkg-config", "--print-requires", "--print-requires-private", module],
                                  capture_output=True, text=True).stdout
        queue += [line.split()[0] for line in requires.splitlines() if line.strip()]
    return files


def files_read_by_configure(build_dir, extra_args):
    """Regular files the configure used from outside the repository and the build."""
    log = os.path.join(build_dir, "strace.log")
    cmd = ["strace", "-f", "-qq", "-e", "trace=open,openat,execve", "-o", log,
           "cmake", "-S", REPO, "-B", os.path.join(build_dir, "build")] + extra_args
    env = dict(os.environ, CCACHE_DISABLE="1")
    configure = subprocess.run(cmd, capture_output=True, text=True, env=env)
    opened, pkg_config_pids, modules = set(), set(), set()
    opening = re.compile(r'^(\d+) +(?:openat\([^,]+, |open\()"((?:[^"\\]|\\.)*)"(.*)= (-?\d+)')
    starting = re.compile(r'^(\d+) +execve\("((?:[^"\\]|\\.)*)", \[(.*)\], .*= (-?\d+)')
    with open(log, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            started = starting.search(line)
            if started and int(started.group(4)) >= 0:
                opened.add(started.group(2))
                if os.path.basename(started.group(2)) == "pkg-config":
                    pkg_config_pids.add(started.group(1))
                    args = re.findall(r'"((?:[^"\\]|\\.)*)"', started.group(3))[1:]
                    modules |= {arg for arg in args if not arg.startswith("-")}
                continue
            match = opening.search(line)
            if not match or int(match.group(4)) < 0 or "O_DIRECTORY" in match.group(3):
                continue
            if match.group(1) in pkg_config_pids and match.group(2).endswith(".pc"):
                continue
            opened.add(match.group(2))
    opened |= pc_files_of(modules)
    outside = set()
    home = os.path.expanduser("~")
    for path in opened:
        real = os.path.realpath(path)
        if not os.path.isfile(real):
            continue
        if real.startswith(REPO + "/") or real.startswith(build_dir + "/"):
            continue
        if real.startswith(SKIPPED_PREFIXES) or real.startswith(home + "/"):
            continue
        outside.add(path)
    return configure, outside


def owners(paths):
    """Maps each path to the packages dpkg says own it (empty when none)."""
    found = {path: set() for path in paths}
    index = {}
    for list_file in glob.glob("/var/lib/dpkg/info/*.list"):
        package = os.path.basename(list_file)[:-len(".list")].split(":")[0]
        with open(list_file, encoding="utf-8", errors="replace") as names:
            for name in names:
                index.setdefault(name.rstrip("\n"), set()).add(package)
    for path in paths:
        # With the merged /usr, a file opened as /usr/lib/x may be packaged as /lib/x.
        real = os.path.realpath(path)
        candidates = {path, real}
        for name in (path, real):
            if name.startswith("/usr/"):
                candidates.add(name[len("/usr"):])
            else:
                candidates.add("/usr" + name)
        for candidate in candidates:
            found[path] |= index.get(candidate, set())
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[1])
    parser.add_argument("--packages", help="check this blank-separated list instead of install-deps.sh's")
    # Every other argument (-DNAME=VALUE) goes to the configure.
    args, cmake_args = parser.parse_known_args()

    install_script = os.path.join(REPO, "scripts", "install-deps.sh")
    packages = args.packages.split() if args.packages else listed_packages(install_script)
    allowed = dependency_closure(packages) | set(packages) | base_system_packages()

    with tempfile.TemporaryDirectory(prefix="korvane-deps-") as build_dir:
        build_dir = os.path.realpath(build_dir)
        configure, files = files_read_by_configure(build_dir, cmake_args)
    problems = []
    for path, packs in sorted(owners(files).items()):
        if path in MACHINE_STATE or os.path.realpath(path) in MACHINE_STATE:
            continue
        if not packs:
            problems.append(f"{path}: owned by no package")
        elif not packs & allowed:
            problems.append(f"{path}: from {', '.join(sorted(packs))}, which the list does not install")
    if configure.returncode != 0:
        tail = configure.stderr.strip().splitlines()[-5:]
        problems.append("the configure failed:\n  " + "\n  ".join(tail))
    print(f"check-deps: {len(files)} files read by the configure, {len(packages)} packages listed, "
          f"{len(allowed)} installed with their dependencies")
    for problem in problems:
        print("check-deps: " + problem)
    if problems:
        print("check-deps: FAILED: add the missing packages to scripts/install-deps.sh")
        return 1
    print("check-deps: every file the configure read comes from the installed list")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"check-deps: cannot run the check: {error}", file=sys.stderr)
        sys.exit(2)
