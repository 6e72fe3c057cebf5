#!/usr/bin/env python3
"""`ost2eml convert` stopped by Ctrl+C (SIGINT) half way: it exits with 130, its report says it was
stopped and counts what was written, and every file it wrote is whole (the same bytes as a run to
the end). Exit 77 when the conversion ends before the signal lands.

usage: convert_stop_test.py OST2EML STOREGEN"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

ost2eml, storegen = sys.argv[1:3]


def files(root):
    found = {}
    for directory, _, names in os.walk(root):
        for name in names:
            if name.endswith(".eml"):
                path = os.path.join(directory, name)
                with open(path, "rb") as handle:
                    found[os.path.relpath(path, root)] = handle.read()
    return found


def main():
    with tempfile.TemporaryDirectory() as work:
        store = os.path.join(work, "store.ost")
        subprocess.run([storegen, "--random", "--messages", "5000", "-o", store], check=True,
                       stdout=subprocess.DEVNULL)
        full = os.path.join(work, "full")
        subprocess.run([ost2eml, "convert", store, full], check=True, stdout=subprocess.DEVNULL)

        stopped = os.path.join(work, "stopped")
        program = subprocess.Popen([ost2eml, "convert", store, stopped], stdout=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 60
        # Until the first mail is written (hidden files of the conversion come before it).
        while not any(n.endswith(".eml") for _, _, names in os.walk(stopped) for n in names) \
                and time.monotonic() < deadline:
            if program.poll() is not None:
                break
            time.sleep(0.002)
        program.send_signal(signal.SIGINT)
        output, _ = program.communicate(timeout=120)
        if program.returncode == 0:
            print("skipped: the conversion ended before the signal")
            return 77

        problems = []
        if program.returncode != 130:
            problems.append(f"exit {program.returncode}, not 130")
        if "The conversion was stopped before the end." not in output:
            problems.append("the summary does not say the conversion was stopped")
        with open(os.path.join(stopped, "conversion-report.json")) as handle:
            report = json.load(handle)
        written = files(os.path.join(stopped, "store.ost"))
        whole = files(os.path.join(full, "store.ost"))
        if report["totals"]["written"] != len(written):
            problems.append(f"report counts {report['totals']['written']} written, {len(written)} files found")
        if not 0 < len(written) < len(whole):
            problems.append(f"{len(written)} of {len(whole)} mails written: not stopped half way")
        cut = [name for name, data in written.items() if whole.get(name) != data]
        if cut:
            problems.append(f"{len(cut)} files differ from the run to the end, e.g. {cut[0]}")
        for problem in problems:
            print("FAIL:", problem)
        print(f"stopped after {len(written)} of {len(whole)} mails")
        return 1 if problems else 0


sys.exit(main())
