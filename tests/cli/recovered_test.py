#!/usr/bin/env python3
"""`--recovered` of info, scan and convert on a store written as Outlook leaves it after deleting
and editing items: the JSON listing, the "Recovered Items" folder of scan and convert with the
folder paths below it, the report's counts per state; and that damaged files keep their exit codes
with and without it."""
import glob
import json
import os
import subprocess
import sys
import tempfile

program, storegen, testdata, crashes = sys.argv[1:5]
failures = []


def run(*args):
    return subprocess.run([program, *args], capture_output=True, text=True, timeout=300)


def check(condition, what):
    if not condition:
        failures.append(what)


DESCRIPTION = {"folders": [{"name": "Top", "role": "ipmSubtree", "folders": [
    {"name": "Inbox", "containerClass": "IPF.Note", "messages": [
        {"subject": "kept"},
        {"subject": "RE: gone", "deleted": True, "plainBody": "deleted body"},
        {"class": "IPM.Rule.Message", "subject": "move invoices", "deleted": True},
        {"subject": "second draft", "earlierVersion": {"subject": "first draft"}}],
     "folders": [{"name": "Old", "deleted": True, "messages": [
         {"subject": "left behind"}, {"class": "IPM.Contact", "subject": "a contact", "deleted": True}]}]}]}]}
EXPECTED = {
    ("RE: gone", "IPM.Note", "deleted", "Top/Inbox"),
    ("move invoices", "IPM.Rule.Message", "deleted", "Top/Inbox"),
    ("first draft", "IPM.Note", "earlier-version", "Top/Inbox"),
    ("left behind", "IPM.Note", "orphan", "Top/Inbox/Old"),
    ("a contact", "IPM.Contact", "deleted", "Top/Inbox/Old"),
}

with tempfile.TemporaryDirectory() as tmp:
    source, store = os.path.join(tmp, "changed.json"), os.path.join(tmp, "changed.ost")
    with open(source, "w") as f:
        json.dump(DESCRIPTION, f)
    subprocess.run([storegen, source, "-o", store], check=True)

    plain = run("info", "--json", store)
    check(plain.returncode == 0 and "recovered" not in json.loads(plain.stdout), "info without --recovered")
    r = run("info", "--json", "--recovered", store)
    check(r.returncode == 0, f"info --recovered: {r.returncode} {r.stderr}")
    listing = json.loads(r.stdout)["recovered"]
    got = {(e["subject"], e["class"], e["state"], e["folder"]) for e in listing}
    check(got == EXPECTED, f"info --recovered lists {got}")
    check(all(isinstance(e["identifier"], int) and e["found"] for e in listing), "identifiers and origins")
    live = json.loads(plain.stdout)
    live.pop("recovered", None)
    with_recovered = json.loads(r.stdout)
    with_recovered.pop("recovered")
    check(live == with_recovered, "the live part of info is the same with --recovered")

    r = run("scan", "--json", "--recovered", store)
    check(r.returncode == 0, f"scan --recovered: {r.returncode} {r.stderr}")
    scan = json.loads(r.stdout)
    check(scan["recovered"] == {"deleted": 3, "earlier-version": 1, "orphan": 1}, f"scan counts {scan['recovered']}")
    labels = [f["label"] for f in scan["folders"]]
    check("Recovered Items(5)" in labels and "Old(1)" in [l.lstrip("* ") for l in labels], f"scan tree {labels}")
    # A kind without a view of its own (here a rule) is listed, previewed and converted as a mail.
    recoveredInbox = [f for f in scan["folders"] if f["label"].lstrip("* ") == "Inbox(3)"]
    check(len(recoveredInbox) == 1 and recoveredInbox[0]["items"] == 3, f"recovered Inbox {recoveredInbox}")
    plainScan = json.loads(run("scan", "--json", store).stdout)
    check("recovered" not in plainScan and "Recovered Items" not in [f["label"] for f in plainScan["folders"]],
          "scan without --recovered")

    out = os.path.join(tmp, "out")
    r = run("convert", "--recovered", "--contacts", store, out)
    check(r.returncode == 0, f"convert --recovered: {r.returncode} {r.stderr}")
    base = os.path.join(out, "changed.ost")
    files = sorted(os.path.relpath(p, base) for p in glob.glob(os.path.join(base, "**", "*.*"), recursive=True))
    check(files == ["Recovered Items/Top/Inbox/00003 RE_ gone.eml", "Recovered Items/Top/Inbox/00004 move invoices.eml",
                    "Recovered Items/Top/Inbox/00005 first draft.eml", "Recovered Items/Top/Inbox/Old/00006 left behind.eml", "Recovered Items/Top/Inbox/Old/Old.vcf",
                    "Top/Inbox/00001 kept.eml", "Top/Inbox/00002 second draft.eml"], f"converted {files}")
    with open(os.path.join(out, "conversion-report.json")) as f:
        report = json.load(f)
    check(report.get("recovered") == {"deleted": 3, "earlier-version": 1, "orphan": 1}, f"report {report.get('recovered')}")

# Damaged files: the same exit code with and without --recovered, for every command.
damaged = glob.glob(os.path.join(crashes, "*"))
if os.path.isdir(os.path.join(testdata, "broken")):
    damaged += glob.glob(os.path.join(testdata, "broken", "*"))
with tempfile.TemporaryDirectory() as tmp:
    for path in damaged:
        for command in (["info"], ["scan"], ["convert"]):
            extra = [os.path.join(tmp, "out")] if command == ["convert"] else []
            without = run(*command, path, *extra)
            withIt = run(*command, "--recovered", path, *extra)
            check(without.returncode == withIt.returncode and withIt.returncode in (0, 1, 2),
                  f"{command[0]} {os.path.basename(path)}: {without.returncode} without, {withIt.returncode} with")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
