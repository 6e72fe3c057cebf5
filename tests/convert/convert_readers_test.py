#!/usr/bin/env python3
"""`ost2eml convert` writes the same bytes with the native reader and with libpff: the sample
offline stores (when present), the demo store and random offline mailboxes of every format and
encryption written by storegen, and stores with OLE attachments. Only the reports' destination lines may differ.

usage: convert_readers_test.py OST2EML STOREGEN SAMPLES_DIR DEMO_STORE"""
import email
import filecmp
import json
import os
import subprocess
import sys
import tempfile

ost2eml, storegen, samples, demo = sys.argv[1:]
failures = []


def convert(store, reader, destination):
    result = subprocess.run([ost2eml, "convert", "--reader", reader, store, destination],
                            capture_output=True, text=True)
    return result.returncode, result.stdout.replace(destination, "DEST")


def compare(left, right, relative=""):
    """Lists the files that differ or exist on one side only."""
    differences = []
    comparison = filecmp.dircmp(os.path.join(left, relative), os.path.join(right, relative))
    # The lists kept for re-runs (with the files' times) differ from run to run.
    differences += [os.path.join(relative, n) for n in comparison.left_only + comparison.right_only
                    if not n.startswith(".ost2eml-")]
    for name in comparison.common_files:
        if name.startswith(".ost2eml-"):
            continue
        path = os.path.join(relative, name)
        a = open(os.path.join(left, path), "rb").read()
        b = open(os.path.join(right, path), "rb").read()
        if name.startswith("conversion-report"):
            a = a.replace(left.encode(), b"DEST")
            b = b.replace(right.encode(), b"DEST")
        if a != b:
            differences.append(path)
    for name in comparison.common_dirs:
        differences += compare(left, right, os.path.join(relative, name))
    return differences


with tempfile.TemporaryDirectory() as work:
    stores = []
    if os.path.isdir(samples):
        stores += sorted(os.path.join(samples, n) for n in os.listdir(samples) if n.endswith(".ost"))
    if os.path.isfile(demo):
        stores.append(demo)
    # Offline stores only: the conversion refuses personal ones.
    for form in ("unicode", "4k", "ansi"):
        for encryption in ("none", "compressible", "high"):
            path = os.path.join(work, f"random-{form}-{encryption}.ost")
            subprocess.run([storegen, "--random", "--messages", "300", "--seed", "7", "--format", form,
                            "--encryption", encryption, "-o", path], check=True, capture_output=True)
            stores.append(path)
    # OLE attachments: an object whose sub-node holds a compound file, not a message. Both readers
    # write it as its stored bytes, named by its file name or display name.
    ole_store = {"folders": [{"name": "Top of Personal Folders", "role": "ipmSubtree", "folders": [
        {"name": "Inbox", "containerClass": "IPF.Note", "messages": [
            {"subject": "Pictures", "plainBody": "Two pictures.", "properties": [{"tag": "0x0E07", "type": "int32", "value": 1}],
             "attachments": [
                 {"method": "ole", "properties": [
                     {"tag": "0x3001", "type": "unicode", "value": "Picture (Device Independent Bitmap)"}]},
                 {"method": "ole", "filename": "chart.bmp"},
                 {"method": "ole", "filename": "sheet.xls", "mimeType": "application/vnd.ms-excel",
                  "data": {"repeat": {"text": "object bytes ", "size": 100000}}},
                 {"method": "ole"},
             ]}]}]}]}
    ole_source = os.path.join(work, "ole.json")
    with open(ole_source, "w") as f:
        json.dump(ole_store, f)
    ole_stores = []
    for form in ("unicode", "4k", "ansi"):
        path = os.path.join(work, f"ole-{form}.ost")
        subprocess.run([storegen, ole_source, "--format", form, "--encryption", "high", "-o", path], check=True,
                       capture_output=True)
        ole_stores.append(path)
    stores += ole_stores

    compared = 0
    for store in stores:
        name = os.path.basename(store)
        native_dir = os.path.join(work, "native", name)
        libpff_dir = os.path.join(work, "libpff", name)
        native = convert(store, "native", native_dir)
        libpff = convert(store, "libpff", libpff_dir)
        if native[0] != libpff[0]:
            failures.append(f"{name}: exit codes {native[0]} (native) and {libpff[0]} (libpff)")
            continue
        if native[0] == 1:
            # Refused by both, as a personal store must be; a store written here is an offline one.
            if store.startswith(work) or store == demo:
                failures.append(f"{name}: refused by both readers")
            continue
        if native[1].replace("native", "") != libpff[1].replace("libpff", ""):
            failures.append(f"{name}: the summaries differ:\n{native[1]}\n{libpff[1]}")
        differences = compare(native_dir, libpff_dir)
        if differences:
            failures.append(f"{name}: {len(differences)} files differ, e.g. {differences[:5]}")
        compared += 1
    print(f"{compared} stores converted alike by both readers")
    for store in ole_stores:
        name = os.path.basename(store)
        mails = [os.path.join(d, f) for d, _, files in os.walk(os.path.join(work, "native", name)) for f in files
                 if f.endswith(".eml")]
        if len(mails) != 1:
            failures.append(f"{name}: {len(mails)} mails written")
            continue
        with open(mails[0], "rb") as f:
            parts = [p for p in email.message_from_binary_file(f).walk() if p.get_filename()]
        found = [(p.get_filename(), p.get_content_type(), p.get_payload(decode=True)[:8]) for p in parts]
        cfb = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
        # The bitmap each picture object shows follows it as a BMP file (70 bytes for 2 x 2 pixels).
        bmp = b"BM\x46\x00\x00\x00\x00\x00"
        expected = [("Picture (Device Independent Bitmap)", "application/octet-stream", cfb),
                    ("Picture (Device Independent Bitmap).bmp", "image/bmp", bmp),
                    ("chart.bmp", "application/octet-stream", cfb),
                    ("chart (picture).bmp", "image/bmp", bmp),
                    ("sheet.xls", "application/vnd.ms-excel", b"object b"),
                    ("attachment-4", "application/octet-stream", cfb),
                    ("attachment-4.bmp", "image/bmp", bmp)]
        if found != expected:
            failures.append(f"{name}: OLE attachments written as {found}")
    if compared < 9:
        failures.append(f"only {compared} stores were compared")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
