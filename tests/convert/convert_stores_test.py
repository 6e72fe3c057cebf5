#!/usr/bin/env python3
"""Several stores in one `ost2eml convert` run: each into a folder of its own (two stores of the same
file name too), one report of all, which names a store that could not be converted; with --dedup, the mails an earlier store holds are left out and
named as copies, in every format, and a re-run writes nothing. `ost2eml merge-reports` sums up
the reports of separate runs to the same totals.

usage: convert_stores_test.py OST2EML STOREGEN DEMO_STORE"""
import json
import mailbox
import os
import shutil
import subprocess
import sys
import tempfile

ost2eml, storegen, demo = sys.argv[1:]
failures = []


def fail(message):
    failures.append(message)
    print("FAILED:", message)


def run(*arguments):
    return subprocess.run([ost2eml, *arguments], capture_output=True, text=True)


def report(directory, name):
    with open(os.path.join(directory, name)) as f:
        return json.load(f)


def newest(directory, prefix):
    names = [n for n in os.listdir(directory) if n.startswith(prefix) and n.endswith(".json")]
    return max(names, key=lambda n: os.path.getmtime(os.path.join(directory, n)))


def mails_below(directory, form):
    if form == "eml":
        return sum(1 for _, _, names in os.walk(directory) for n in names if n.endswith(".eml"))
    if form == "mbox":
        return sum(len(mailbox.mbox(os.path.join(d, n))) for d, _, names in os.walk(directory)
                   for n in names if n.endswith(".mbox"))
    return sum(len(names) for d, _, names in os.walk(directory) if os.path.basename(d) == "cur")


with tempfile.TemporaryDirectory() as work:
    # The demo store twice under one name (two backups of one mailbox), and a random store.
    first, second = os.path.join(work, "a", "demo.ost"), os.path.join(work, "b", "demo.ost")
    for path in (first, second):
        os.makedirs(os.path.dirname(path))
        shutil.copy(demo, path)
    other = os.path.join(work, "random.ost")
    subprocess.run([storegen, "--random", "--messages", "60", "--seed", "3", "-o", other], check=True,
                   capture_output=True)
    demo_mails = report_mails = None

    for form in ("eml", "mbox", "maildir"):
        out = os.path.join(work, "out-" + form)
        result = run("convert", "--format", form, "--dedup", first, other, second, out)
        if result.returncode != 0:
            fail(f"{form}: exit {result.returncode}: {result.stderr}")
            continue
        folders = sorted(os.listdir(out))
        if [f for f in folders if not f.startswith("conversion-report")] != ["demo.ost", "demo.ost (2)", "random.ost"]:
            fail(f"{form}: store folders {folders}")
        merged = report(out, "conversion-report-all.json")
        totals = merged["totals"]
        demo_mails = mails_below(os.path.join(out, "demo.ost"), form)
        random_mails = mails_below(os.path.join(out, "random.ost"), form)
        if (len(merged["stores"]) != 3 or totals["copies"] != demo_mails or
                totals["written"] != demo_mails + random_mails or
                mails_below(os.path.join(out, "demo.ost (2)"), form) != 0):
            fail(f"{form}: totals {totals}, {demo_mails} + {random_mails} mails written")
        notes = [n for f in merged["stores"][2]["folders"] for n in f.get("copies", [])]
        if len(notes) != demo_mails or not all(n["reason"].startswith("a copy of " + first + ": mail ")
                                              for n in notes):
            fail(f"{form}: copies named {notes[:2]}")
        # Again: nothing is written, the copies stay copies.
        again = run("convert", "--format", form, "--dedup", first, other, second, out)
        totals = report(out, newest(out, "conversion-report-all"))["totals"]
        if again.returncode != 0 or totals["written"] != 0 or totals["copies"] != demo_mails or \
                mails_below(out, form) != demo_mails + random_mails:
            fail(f"{form}: re-run: exit {again.returncode}, totals {totals}")
    print(f"three stores, --dedup: {demo_mails} copies left out in each format, re-runs write nothing")

    # Without --dedup, each store has all of its mails; separate runs merge to the run's totals.
    out = os.path.join(work, "out-all")
    result = run("convert", first, second, out)
    together = report(out, "conversion-report-all.json")["totals"]
    if result.returncode != 0 or together["written"] != 2 * demo_mails or together.get("copies"):
        fail(f"without --dedup: exit {result.returncode}, totals {together}")
    separate = os.path.join(work, "separate")
    reports = []
    for index, store in enumerate((first, second)):
        directory = os.path.join(separate, str(index))
        run("convert", store, directory)
        reports.append(os.path.join(directory, "conversion-report.json"))
    merged_path = os.path.join(work, "merged.json")
    result = run("merge-reports", "--json", merged_path, *reports)
    if result.returncode != 0 or report(work, "merged.json")["totals"] != together:
        fail(f"merge-reports: exit {result.returncode}: {result.stdout} {result.stderr}")
    if "All stores: mails 56, written 56" not in result.stdout:
        fail(f"merge-reports text: {result.stdout}")
    for arguments, expected in ((("--json", merged_path, reports[0]), "exists"),
                                ((os.path.join(work, "a", "demo.ost"),), "not a conversion report")):
        result = run("merge-reports", *arguments)
        if result.returncode != 1 or expected not in result.stderr:
            fail(f"merge-reports {arguments}: exit {result.returncode}: {result.stderr}")
    # A file that is no store among them: the others are converted, and the report names it.
    broken = os.path.join(work, "notes.ost")
    with open(broken, "wb") as f:
        f.write(b"not a store" * 100)
    out = os.path.join(work, "out-broken")
    result = run("convert", first, broken, out)
    stores = report(out, "conversion-report-all.json")["stores"] if os.path.isdir(out) else []
    if (result.returncode != 2 or len(stores) != 2 or "failure" not in stores[1]
            or stores[0]["totals"]["written"] != demo_mails):
        fail(f"a file that is no store among them: exit {result.returncode}: {stores}")
    result = run("convert", "--dedup", first, out)
    if result.returncode != 1 or "two or more stores" not in result.stderr:
        fail(f"--dedup with one store: exit {result.returncode}: {result.stderr}")
    print("merge-reports sums separate runs to the totals of one run")

sys.exit(1 if failures else 0)
