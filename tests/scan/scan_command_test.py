#!/usr/bin/env python3
"""Runs `ost2eml scan` and `ost2eml show` as a user would: messages, exit codes, JSON, pages."""
import json
import os
import subprocess
import sys
import tempfile

program, testdata = sys.argv[1], sys.argv[2]
failures = []


def run(*args):
    return subprocess.run([program, *args], capture_output=True, text=True, timeout=300)


def check(condition, what):
    if not condition:
        failures.append(what)


MAIL_FIELDS = {"node", "name", "kind", "senderAddress", "from", "to", "subject", "deliveryTime", "date",
               "modificationTime", "size", "flags", "priority", "sensitivity", "importance", "body",
               "attachments", "bodyKind", "folderPath", "serial"}
APPOINTMENT_FIELDS = {"node", "name", "kind", "end", "location", "recurrence", "start", "placeholder1",
                      "placeholder2", "folderPath", "subject", "serial"}

with tempfile.TemporaryDirectory() as tmp:
    attachments = os.path.join(tmp, "attachments")
    r = run("scan")
    check(r.returncode == 1, "scan without a store")
    r = run("show", "x.ost")
    check(r.returncode == 1, "show without a serial")
    r = run("scan", "--attachments", attachments, os.path.join(tmp, "missing.ost"))
    check(r.returncode == 1 and "no such file" in r.stderr, "missing file")

    stores = os.path.join(testdata, "stores")
    if not os.path.isdir(stores):
        print("no shared test data: the sample checks are skipped")
        sys.exit(0 if not failures else 1)

    r = run("scan", "--attachments", attachments, os.path.join(stores, "aspose-personal-store-named.ost"))
    check(r.returncode == 1 and "This is not a valid OST File" in r.stderr, "personal store refused")
    r = run("scan", "--attachments", attachments, os.path.join(testdata, "broken", "truncated-100k.ost"))
    check(r.returncode == 1 and r.stderr, "truncated store refused with a message")

    sample = os.path.join(stores, "aspose-python-test.SO.ost")
    fresh = os.path.join(tmp, "fresh")
    r = run("scan", "--json", "--attachments", fresh, sample)
    check(r.returncode == 0, f"scan --json exit code {r.returncode}: {r.stderr}")
    data = json.loads(r.stdout)
    folders = data["folders"]
    check(folders[0]["parent"] is None and folders[0]["depth"] == 0, "the store node comes first")
    check(all(f["parent"] is not None for f in folders[1:]), "every folder has a parent")
    nodes = [f["node"] for f in folders]
    check(nodes == sorted(nodes), "folders in insertion order")
    inbox = [f for f in folders if f["name"] == "Inbox"]
    check(len(inbox) == 1 and inbox[0]["label"] == "Inbox(6)" and inbox[0]["bold"] and inbox[0]["image"] == 7,
          f"Inbox node: {inbox}")
    check(len(data["mails"]) == 20, f"{len(data['mails'])} mails (14 in folders, 6 embedded)")
    check(all(set(m) == MAIL_FIELDS for m in data["mails"]), "mail record fields")
    check(len(data["appointments"]) == 1 and set(data["appointments"][0]) == APPOINTMENT_FIELDS,
          "appointment record")
    check(len(data["contacts"]) == 1 and "slots" in data["contacts"][0], "contact record")
    serials = sorted(m["serial"] for m in data["mails"] + data["contacts"] + data["appointments"])
    check(serials == list(range(1, len(serials) + 1)), "serials 1..n")
    check(sum(f["itemsSeen"] - f["embeddedSeen"] for f in data["report"]) == 17, "report counts the 17 items")
    check(all(not f["failures"] for f in data["report"]), "no failures")

    r = run("scan", "--attachments", fresh, sample)
    check(r.returncode == 2 and "exists already" in r.stdout,
          "a named attachments directory is not emptied; its leftovers are reported")
    check(os.path.isdir(os.path.join(fresh, "Embedded00001")), "embedded item directories stay")
    r = run("scan", "--attachments", os.path.join(tmp, "text"), sample)
    check(r.returncode == 0 and "* Inbox(6)" in r.stdout, "text tree marks bold nodes")

    pages = os.path.join(tmp, "pages")
    html_mail = next(m for m in data["mails"] if m["bodyKind"] == 1)
    r = run("show", "--attachments", os.path.join(tmp, "show"), sample, str(html_mail["serial"]), "-o", pages)
    check(r.returncode == 0, f"show exit code {r.returncode}: {r.stderr}")
    page = os.path.join(pages, "temp.html")
    check(os.path.isfile(page) and os.path.isfile(os.path.join(pages, "body.html")), "page and body file")
    if os.path.isfile(page):
        with open(page, "rb") as f:
            raw = f.read()
        check(raw.startswith(b"\xff\xfe"), "page is UTF-16LE with a byte-order mark")
        text = raw[2:].decode("utf-16-le")
        check(html_mail["from"] in text and "body.html" in text, "page shows the mail")
    r = run("show", "--attachments", os.path.join(tmp, "show"), sample, "9999", "-o", pages)
    check(r.returncode == 1 and "9999" in r.stderr, "unknown serial")

    # Without named folders nothing goes to fixed names in the shared temporary folder: the
    # attachments go to a private folder of the run (removed at the end), the page of `show` to a
    # new private folder that is kept. A link planted at the old names is never followed.
    shared = os.path.join(tmp, "shared")
    os.mkdir(shared)
    victim = os.path.join(tmp, "victim")
    os.mkdir(victim)
    for name in ("Attachments", "temp.html", "body.html"):
        os.symlink(victim, os.path.join(shared, name))
    env = dict(os.environ, TMPDIR=shared)
    r = subprocess.run([program, "scan", "--json", sample], capture_output=True, text=True, timeout=300, env=env)
    check(r.returncode == 0, f"scan with the default attachments directory: {r.stderr}")
    attached = [m["attachments"] for m in json.loads(r.stdout)["mails"] if m["attachments"]] if r.returncode == 0 else []
    check(attached and all(a.startswith(shared + "/tarvolin-ost2eml-") for a in attached),
          f"attachments listed in the run's private folder: {attached[:1]}")
    check(sorted(os.listdir(shared)) == ["Attachments", "body.html", "temp.html"], "the run's folder is removed")
    r = subprocess.run([program, "show", sample, str(html_mail["serial"])], capture_output=True, text=True,
                       timeout=300, env=env)
    check(r.returncode == 0, f"show into the default folder: {r.stderr}")
    kept = [n for n in os.listdir(shared) if n.startswith("ost2eml-show-")]
    check(len(kept) == 1 and os.stat(os.path.join(shared, kept[0])).st_mode & 0o077 == 0,
          f"show keeps its page in a new owner-only folder: {kept}")
    check(not os.listdir(victim), "nothing written through the planted links")
    r = subprocess.run([program, "show", sample, "999999"], capture_output=True, text=True, timeout=300, env=env)
    check(r.returncode == 1 and len([n for n in os.listdir(shared) if n.startswith("ost2eml-show-")]) == 1,
          "show of a serial that is not there leaves no folder behind")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
