#!/usr/bin/env python3
"""`ost2eml convert` writes the same bytes with the native reader and with libpff: the sample
offline stores (when present), the demo store and random offline mailboxes of every format and
encryption written by storegen. Only the reports' destination lines may differ.

usage: convert_readers_test.py OST2EML STOREGEN SAMPLES_DIR DEMO_STORE"""
import filecmp
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
    differences += [os.path.join(relative, n) for n in comparison.left_only + comparison.right_only]
    for name in comparison.common_files:
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
            continue  # refused by both, as a personal store must be
        if native[1].replace("native", "") != libpff[1].replace("libpff", ""):
            failures.append(f"{name}: the summaries differ:\n{native[1]}\n{libpff[1]}")
        differences = compare(native_dir, libpff_dir)
        if differences:
            failures.append(f"{name}: {len(differences)} files differ, e.g. {differences[:5]}")
        compared += 1
    print(f"{compared} stores converted alike by both readers")
    if compared < 9:
        failures.append(f"only {compared} stores were compared")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
