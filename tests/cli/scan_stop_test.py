#!/usr/bin/env python3
"""`ost2eml scan`, `search` and `show` stopped by Ctrl+C (SIGINT) or `kill` (SIGTERM) during the
scan: each exits with 128 + the signal and leaves nothing in the temporary folder (its private
folder with the item texts, the search index and the saved attachments is removed). Exit 77 when
every run ended before its signal landed.

usage: scan_stop_test.py OST2EML STOREGEN"""
import os
import signal
import subprocess
import sys
import tempfile
import time

ost2eml, storegen = sys.argv[1:3]


def main():
    problems = []
    stopped = 0
    with tempfile.TemporaryDirectory() as work:
        store = os.path.join(work, "store.ost")
        subprocess.run([storegen, "--random", "--messages", "20000", "-o", store], check=True,
                       stdout=subprocess.DEVNULL)
        for command, sent in [(["scan", store], signal.SIGINT),
                              (["search", store, "body:review"], signal.SIGTERM),
                              (["show", store, "19999"], signal.SIGINT)]:
            scratch = os.path.join(work, "tmp-" + command[0])
            os.mkdir(scratch)
            program = subprocess.Popen([ost2eml] + command, env=dict(os.environ, TMPDIR=scratch),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            # Signalled once the scan has written into its private folder.
            deadline = time.monotonic() + 60
            while program.poll() is None and time.monotonic() < deadline:
                if any(names for _, _, names in os.walk(scratch)):
                    break
                time.sleep(0.002)
            time.sleep(0.2)
            program.send_signal(sent)
            _, errors = program.communicate(timeout=120)
            if program.returncode in (0, 2):
                continue  # ended before the signal
            stopped += 1
            if program.returncode != 128 + sent:
                problems.append(f"{command[0]}: exit {program.returncode}, not {128 + sent}")
            if "the scan was stopped" not in errors:
                problems.append(f"{command[0]}: does not say the scan was stopped: {errors!r}")
            left = os.listdir(scratch)
            if left:
                problems.append(f"{command[0]}: left in the temporary folder: {left}")
    for problem in problems:
        print("FAIL:", problem)
    if not stopped:
        print("skipped: every run ended before its signal")
        return 77
    print(f"{stopped} runs stopped")
    return 1 if problems else 0


sys.exit(main())
