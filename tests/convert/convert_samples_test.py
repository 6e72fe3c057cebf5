#!/usr/bin/env python3
"""Converts stores with `ost2eml convert` and reads every .eml with Python's email package, an
independent MIME parser: subject, addresses, body text and attachment bytes must match what the
store holds (as conversion_expectations reads it through the store layer). Also checks that two
conversions give identical bytes, and that a truncated store is reported, not fatal.

usage: convert_samples_test.py OST2EML EXPECTATIONS STORE... (directories: every *.ost inside)"""
import email
import email.policy
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile

ost2eml, expectations_tool, *inputs = sys.argv[1:]
stores = []
for item in inputs:
    if os.path.isdir(item):
        stores += sorted(os.path.join(item, n) for n in os.listdir(item) if n.endswith(".ost"))
    elif os.path.isfile(item):
        stores.append(item)
failures = []
checked = 0
attachments_checked = 0


def fail(message):
    failures.append(message)
    print("FAILED:", message)


def words(text):
    return re.sub(r"\s+", " ", text or "").strip()


def leaf_hashes(message):
    hashes = set()
    for part in message.walk():
        if part.is_multipart() or part.get_content_maintype() == "message":
            continue
        payload = part.get_payload(decode=True)
        if payload is not None:
            hashes.add(hashlib.sha256(payload).hexdigest())
    return hashes


def body_text(message):
    for part in message.walk():
        if part.get_content_type() == "text/plain" and part.get_content_disposition() != "attachment":
            return part.get_content()
    return ""


def files_by_serial(root):
    found = {}
    for directory, _, names in os.walk(root):
        for name in names:
            if name.endswith(".eml"):
                found[int(name[:5])] = os.path.join(directory, name)
    return found


def convert(store, destination):
    return subprocess.run([ost2eml, "convert", store, destination], capture_output=True, text=True, timeout=1800)


for store in stores:
    name = os.path.basename(store)
    probe = subprocess.run([expectations_tool, store], capture_output=True, text=True, timeout=1800)
    if probe.returncode != 0:
        continue  # not an offline store, or not readable: refused elsewhere
    expected = [json.loads(line) for line in probe.stdout.splitlines()]
    with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
        run = convert(store, first)
        if run.returncode not in (0, 2):
            fail(f"{name}: convert exited {run.returncode}: {run.stderr}")
            continue
        files = files_by_serial(os.path.join(first, name))
        for mail in expected:
            path = files.get(mail["serial"])
            if path is None:
                fail(f"{name}: mail {mail['serial']} ({mail['subject']!r}) was not written")
                continue
            with open(path, "rb") as handle:
                parsed = email.message_from_binary_file(handle, policy=email.policy.default)
            checked += 1
            where = f"{name}: {os.path.basename(path)}"
            if words(str(parsed["subject"] or "")) != words(mail["subject"]):
                fail(f"{where}: subject {parsed['subject']!r} != {mail['subject']!r}")
            if mail["from"] and mail["from"].lower() not in str(parsed["from"] or "").lower():
                fail(f"{where}: From {parsed['from']!r} lacks {mail['from']!r}")
            addressed = " ".join(str(parsed[h] or "") for h in ("to", "cc", "bcc")).lower()
            for address in mail["recipients"]:
                if address.lower() not in addressed:
                    fail(f"{where}: recipient {address!r} missing")
            plain = words(mail.get("plain", ""))
            if plain and plain[:200] not in words(body_text(parsed)):
                fail(f"{where}: plain body differs")
            hashes = leaf_hashes(parsed)
            for digest in mail["attachments"]:
                attachments_checked += 1
                if digest not in hashes:
                    fail(f"{where}: an attachment's bytes differ (sha256 {digest[:12]})")
        # Determinism: a second conversion writes the same bytes.
        convert(store, second)
        for directory, _, names in os.walk(os.path.join(first, name)):
            for file_name in names:
                if file_name.startswith(".ost2eml-"):  # what re-runs read, with the files' sizes and times
                    continue
                a = os.path.join(directory, file_name)
                b = os.path.join(second, os.path.relpath(a, first))
                if not os.path.exists(b) or open(a, "rb").read() != open(b, "rb").read():
                    fail(f"{name}: {file_name} differs between two conversions")

# A truncated store: refused or converted as far as it goes, with a report; never a crash.
for store in stores[:1]:
    with tempfile.TemporaryDirectory() as work:
        data = open(store, "rb").read()
        cut = os.path.join(work, "cut.ost")
        with open(cut, "wb") as handle:
            handle.write(data[: len(data) * 2 // 3])
        run = convert(cut, os.path.join(work, "out"))
        if run.returncode not in (0, 1, 2) or "Traceback" in run.stderr:
            fail(f"truncated store: exit code {run.returncode}")
        elif run.returncode in (0, 2) and not os.path.exists(os.path.join(work, "out", "conversion-report.txt")):
            fail("truncated store: no report")

print(f"{checked} mails and {attachments_checked} attachments checked in {len(stores)} stores")
if not stores:
    print("no stores to convert: skipped")
    sys.exit(77)
print("ok" if not failures else f"{len(failures)} problems")
sys.exit(1 if failures else 0)
