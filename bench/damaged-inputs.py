#!/usr/bin/env python3
"""Runs fernquill-cli over damaged copies of a backup's files and reports any
crash (a signal or a sanitizer report) or hang (a timeout); damaged inputs are kept for replay.

  sqlite mode: truncated, bit-flipped, zeroed-page and header-scrambled copies
               of the backup's databases and Manifest.db, each through
               `fernquill-cli sqlite`.
  scan mode:   a copy of the whole backup with one database or property list
               damaged, through `fernquill-cli scan --json`.
  plant mode:  every SQLite file under a folder (the forensic corpus's
               tampered categories, say) put in place of each database of the
               backup in turn, Manifest.db included, through `scan --json`.

Usage: bench/damaged-inputs.py CLI BACKUP {sqlite|scan} [COUNT] [SEED]
       bench/damaged-inputs.py CLI BACKUP plant FOLDER...
(BACKUP from fq-mkbigbackup or fq-mkbackup --demo; Manifest.db layout.)
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile


def damage(data: bytearray, rnd: random.Random) -> str:
    kind = rnd.choice(["truncate", "flip", "flip", "zero-page", "header"])
    if kind == "truncate":
        del data[rnd.randrange(len(data)):]
    elif kind == "flip":
        for _ in range(rnd.choice([1, 8, 64, 512])):
            j = rnd.randrange(len(data))
            data[j] ^= 1 << rnd.randrange(8)
    elif kind == "zero-page":
        j = rnd.randrange(len(data))
        data[j:j + 4096] = bytes(min(4096, len(data) - j))
    else:
        for _ in range(4):
            data[rnd.randrange(min(100, len(data)))] = rnd.randrange(256)
    return kind


# A sanitizer build reports through standard error and may exit with 1 like
# an ordinary refusal, so its reports count as crashes too.
SANITIZER_MARKS = (b"AddressSanitizer", b"LeakSanitizer", b"runtime error:")


def run(cmd, timeout):
    try:
        done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "timeout"
    if any(mark in done.stderr for mark in SANITIZER_MARKS):
        return "sanitizer"
    return done.returncode


def plant(cli, backup, folders):
    planted = sorted(os.path.join(d, f) for folder in folders for d, _, fs in os.walk(folder) for f in fs
                     if open(os.path.join(d, f), "rb").read(16) == b"SQLite format 3\0")
    targets = sorted(os.path.join(d, f) for d, _, fs in os.walk(backup) for f in fs
                     if open(os.path.join(d, f), "rb").read(16) == b"SQLite format 3\0")
    work = tempfile.mkdtemp()
    codes, bad = {}, []
    for source in planted:
        for target in targets:
            copy = os.path.join(work, "b")
            shutil.rmtree(copy, ignore_errors=True)
            shutil.copytree(backup, copy)
            shutil.copyfile(source, os.path.join(copy, os.path.relpath(target, backup)))
            rc = run([cli, "scan", "--json", copy], 60)
            codes[rc] = codes.get(rc, 0) + 1
            if isinstance(rc, str) or rc < 0:
                bad.append(f"{rc}: {source} as {os.path.relpath(target, backup)}")
                print("BAD " + bad[-1])
    shutil.rmtree(work, ignore_errors=True)
    print(f"plant: {len(planted)} files x {len(targets)} databases = {len(planted) * len(targets)} scans, "
          f"exit codes {codes}, crashes or hangs {len(bad)}")
    sys.exit(1 if bad else 0)


def main():
    if len(sys.argv) >= 5 and sys.argv[3] == "plant":
        plant(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[4:])
    if len(sys.argv) < 4 or sys.argv[3] not in ("sqlite", "scan"):
        sys.exit(__doc__)
    cli, backup, mode = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    rnd = random.Random(int(sys.argv[5]) if len(sys.argv) > 5 else 1)
    files = [os.path.join(d, f) for d, _, fs in os.walk(backup) for f in fs]
    sqlite_files = [f for f in files if open(f, "rb").read(16) == b"SQLite format 3\0"]
    plists = [os.path.join(backup, p) for p in ("Info.plist", "Manifest.plist", "Status.plist")]
    keep = tempfile.mkdtemp(prefix="damaged-")
    codes, bad = {}, 0
    work = tempfile.mkdtemp()
    for i in range(count):
        if mode == "sqlite":
            source = sqlite_files[i % len(sqlite_files)]
            target = os.path.join(work, "damaged.db")
            shutil.copyfile(source, target)
        else:
            shutil.rmtree(os.path.join(work, "b"), ignore_errors=True)
            shutil.copytree(backup, os.path.join(work, "b"))
            source = rnd.choice(sqlite_files + plists)
            target = os.path.join(work, "b", os.path.relpath(source, backup))
        data = bytearray(open(target, "rb").read())
        kind = damage(data, rnd) if data else "empty"
        open(target, "wb").write(data)
        cmd = [cli, "sqlite", target] if mode == "sqlite" else [cli, "scan", "--json", os.path.join(work, "b")]
        rc = run(cmd, 60)
        codes[rc] = codes.get(rc, 0) + 1
        if isinstance(rc, str) or rc < 0:
            bad += 1
            kept = os.path.join(keep, f"{i}-{kind}-{os.path.basename(source)}")
            shutil.copyfile(target, kept)
            print(f"BAD {rc}: {kind} of {source} -> {kept}")
    shutil.rmtree(work, ignore_errors=True)
    print(f"{mode}: {count} damaged inputs, exit codes {codes}, crashes or hangs {bad}"
          + (f" (kept in {keep})" if bad else ""))
    if not bad:
        os.rmdir(keep)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
