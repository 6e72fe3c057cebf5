#!/usr/bin/env python3
"""Runs `ost2eml info` as a user would: messages, exit codes, JSON, and that it writes nothing."""
import json
import os
import subprocess
import sys
import tempfile

program, testdata = sys.argv[1], sys.argv[2]
failures = []


def run(*args, cwd=None):
    return subprocess.run([program, *args], capture_output=True, text=True, cwd=cwd, timeout=120)


def check(condition, what):
    if not condition:
        failures.append(what)


r = run("--help")
check(r.returncode == 0 and "info" in r.stdout, "--help lists info")
r = run("--version")
check(r.returncode == 0 and r.stdout.startswith("ost2eml "), "--version")
r = run("frobnicate")
check(r.returncode == 1 and "unknown command" in r.stderr, "unknown command")
r = run("info")
check(r.returncode == 1, "info without a store")

with tempfile.TemporaryDirectory() as tmp:
    r = run("info", os.path.join(tmp, "missing.ost"))
    check(r.returncode == 1 and "no such file" in r.stderr, "missing file")
    r = run("info", tmp)
    check(r.returncode == 1 and "directory" in r.stderr, "directory")
    empty = os.path.join(tmp, "empty.ost")
    open(empty, "wb").close()
    r = run("info", empty)
    check(r.returncode == 1 and "empty" in r.stderr, "empty file")

# Files that once hurt the store library: a clean answer, never a crash.
crashes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "fuzz-crashes")
for name in sorted(os.listdir(crashes)) if os.path.isdir(crashes) else []:
    r = run("info", os.path.join(crashes, name))
    check(r.returncode in (0, 1, 2), f"fuzz-crashes/{name}: exit code {r.returncode}")

if not os.path.isdir(os.path.join(testdata, "stores")):
    print("no shared test data: the sample checks are skipped")
    sys.exit(0 if not failures else 1)

stores = os.path.join(testdata, "stores")
broken = os.path.join(testdata, "broken")
with tempfile.TemporaryDirectory() as cwd:
    r = run("info", os.path.join(stores, "aspose-personal-store-named.ost"), cwd=cwd)
    check(r.returncode == 1 and "This is not a valid OST File" in r.stderr, "personal store named .ost")
    for name in sorted(os.listdir(broken)):
        r = run("info", os.path.join(broken, name), cwd=cwd)
        check(r.returncode == 1 and r.stderr.startswith("ost2eml: "), f"broken/{name}: {r.returncode} {r.stderr!r}")
    r = run("info", "--json", os.path.join(stores, "groupdocs-sample.ost"), cwd=cwd)
    check(r.returncode == 0, "info --json exit code")
    document = json.loads(r.stdout)
    totals = document["totals"]
    check(totals["folders"] == 39 and totals["messages"] == 5 and totals["attachments"] == 5, f"json totals {totals}")
    check(document["root"]["folders"], "json folder tree")
    r = run("info", os.path.join(stores, "groupdocs-sample.ost"), cwd=cwd)
    check(r.returncode == 0 and "Folders: 39" in r.stdout and "email: 5" in r.stdout, "text output")
    check(os.listdir(cwd) == [], "info wrote nothing")

for failure in failures:
    print("FAILED:", failure)
print(f"{'ok' if not failures else 'failed'}: info checks")
sys.exit(1 if failures else 0)
