#!/usr/bin/env python3
"""Uploads a random store of N mails (default 10,000) to a private Dovecot on 127.0.0.1 (the
tests' server: TLS, Maildir, no fsync) with `ost2eml convert STORE imaps://...`, and then again
(a re-run that uploads nothing). Prints seconds and mails per second of each.

usage: bench/imap_upload.py [BUILD_DIR] [N]"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import dovecot_server  # noqa: E402

on_disk = "--disk" in sys.argv
arguments = [argument for argument in sys.argv[1:] if argument != "--disk"]
build = arguments[0] if len(arguments) > 0 else "build"
count = int(arguments[1]) if len(arguments) > 1 else 10000
memory = "/dev/shm" if not on_disk and os.path.isdir("/dev/shm") else None
ost2eml = os.path.join(build, "src", "cli", "ost2eml")
storegen = os.path.join(build, "tools", "storegen", "storegen")

with tempfile.TemporaryDirectory() as work, tempfile.TemporaryDirectory(dir=memory) as server_work:
    os.chmod(server_work, 0o711)  # passed through by the server's own users
    store = os.path.join(work, f"random-{count}.ost")
    subprocess.run([storegen, "--random", "--messages", str(count), "--seed", "1", "-o", store], check=True,
                   capture_output=True)
    with dovecot_server.Dovecot(os.path.join(server_work, "dovecot")) as server:
        password = os.path.join(work, "password")
        with open(password, "w") as f:
            f.write(server.PASSWORD + "\n")
        url = f"imaps://{server.USER}@localhost:{server.imaps_port}"
        print(f"{'run':8} {'mails':>8} {'seconds':>9} {'mails/s':>9}")
        for run in ("first", "re-run"):
            started = time.monotonic()
            result = subprocess.run([ost2eml, "convert", "--ca-file", server.ca_file, "--password-file", password,
                                     "--report-dir", work, store, url], capture_output=True, text=True)
            seconds = time.monotonic() - started
            if result.returncode not in (0, 2):
                sys.exit(f"ost2eml: exit {result.returncode}: {result.stderr}")
            mails = next(int(line.split(":")[1]) for line in result.stdout.splitlines()
                         if line.startswith("Mails found"))
            print(f"{run:8} {mails:>8} {seconds:>9.2f} {mails / seconds:>9.0f}")
