#!/usr/bin/env python3
"""`ost2eml convert STORE imaps://USER@HOST...` against a private Dovecot on 127.0.0.1: the folders
and the mails per folder, the bytes against the .eml files, flags and INTERNALDATE against the
Maildir conversion, the special-use folders; a re-run adds nothing; uploads killed at several
points and run again, and one whose server restarts, leave every mail once; a server gone for
good ends the run with exit 2 and the report; a wrong password, a certificate for another host
and a server without STARTTLS are refused with exit 1 and nothing uploaded. Exit 77 without
Dovecot.

usage: convert_imap_test.py OST2EML STOREGEN DEMO_STORE"""
import email.parser
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import dovecot_server  # noqa: E402

ost2eml, storegen, demo = sys.argv[1:]
if not dovecot_server.available():
    print("Dovecot (dovecot-imapd) is not installed")
    sys.exit(77)
failures = []
# The store's folders below its top folder, as the server gets them.
SERVER_NAMES = {"Inbox": "INBOX", "Sent Items": "Sent", "Drafts": "Drafts", "Deleted Items": "Trash",
                "Junk E-mail": "Spam"}


def fail(message):
    failures.append(message)
    print("FAILED:", message)


def run(work, store, url, *options, password=dovecot_server.Dovecot.PASSWORD, wait=True):
    password_file = os.path.join(work, "password")
    with open(password_file, "w") as f:
        f.write(password + "\n")
    command = [ost2eml, "convert", *options, "--password-file", password_file, "--report-dir",
               os.path.join(work, "reports"), store, url]
    if not wait:
        return subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return subprocess.run(command, capture_output=True, text=True)


def latest_report(work):
    directory = os.path.join(work, "reports")
    names = sorted((os.path.getmtime(os.path.join(directory, n)), n) for n in os.listdir(directory)
                   if n.endswith(".json"))
    with open(os.path.join(directory, names[-1][1])) as f:
        return json.load(f)


def identity(message):
    header = email.parser.BytesHeaderParser().parsebytes(message)
    return (header.get("Message-ID") or header.get("X-Ost2eml-Key") or "").strip()


def lines(message):
    return message.replace(b"\r\n", b"\n").rstrip(b"\n")


def converted(work, store, form):
    """Folder below the top folder -> {file name: bytes}, from a conversion into files."""
    out = os.path.join(work, "files-" + form + "-" + os.path.basename(store))
    subprocess.run([ost2eml, "convert", "--format", form, store, out], capture_output=True)
    root = os.path.join(out, os.path.basename(store))
    top = os.listdir(root)[0]
    folders = {}
    for directory, subdirectories, names in os.walk(os.path.join(root, top)):
        relative = os.path.relpath(directory, os.path.join(root, top))
        if form == "maildir" and os.path.basename(directory) == "cur":
            folders[os.path.dirname(relative)] = {n: open(os.path.join(directory, n), "rb").read() for n in names}
        elif form == "eml" and any(n.endswith(".eml") for n in names):
            folders[relative] = {n: open(os.path.join(directory, n), "rb").read() for n in names
                                 if n.endswith(".eml")}
    return folders


def server_folder(folder, prefix=""):
    parts = folder.split("/")
    if not prefix and parts[0] in SERVER_NAMES:
        parts[0] = SERVER_NAMES[parts[0]]
    return "/".join(([prefix] if prefix else []) + parts)


def on_server(server, folder):
    return [m for m in server.messages(folder, "flags date.received")]


def check_all_once(server, store_files, prefix, what):
    """Every mail of the store once in its folder below prefix."""
    for folder, mails in store_files.items():
        name = server_folder(folder, prefix)
        found = sorted(identity(m["text"]) for m in on_server(server, name))
        want = sorted(identity(m) for m in mails.values())
        if found != want:
            fail(f"{what}: {name} holds {len(found)} mails, {len(set(found) & set(want))} of the {len(want)} "
                 f"of the store ({len(found) - len(set(found))} twice)")


def total_messages(server):
    out = server.doveadm("mailbox status", "messages", "*").decode()
    return sum(int(part.split("=")[1]) for part in out.split() if part.startswith("messages="))


def polled_messages(server):
    """total_messages while an upload runs: a mailbox it is creating this moment can be listed
    before it exists, and then the caller polls again."""
    try:
        return total_messages(server)
    except RuntimeError:
        return 0


def kill_when(server, program, count):
    deadline = time.monotonic() + 120
    while program.poll() is None and time.monotonic() < deadline:
        if polled_messages(server) >= count:
            program.send_signal(signal.SIGKILL)
            break
        time.sleep(0.02)
    program.wait()


with tempfile.TemporaryDirectory() as work:
    server = dovecot_server.Dovecot(os.path.join(work, "dovecot"))
    server.start()
    try:
        imaps = f"imaps://{server.USER}@localhost:{server.imaps_port}"
        starttls = f"imap://{server.USER}@localhost:{server.imap_port}"
        ca = ("--ca-file", server.ca_file)

        # Refused before anything is uploaded.
        result = run(work, demo, imaps, *ca, password="wrong")
        if result.returncode != 1 or "refused the login" not in result.stderr:
            fail(f"a wrong password: exit {result.returncode}: {result.stderr}")
        result = run(work, demo, imaps)
        if result.returncode != 1 or "certificate is not trusted" not in result.stderr:
            fail(f"an authority that is not given: exit {result.returncode}: {result.stderr}")
        result = run(work, demo, imaps, *ca, "--contacts")
        if result.returncode != 1 or "holds mail" not in result.stderr:
            fail(f"contacts to IMAP: exit {result.returncode}: {result.stderr}")
        if total_messages(server) != 0:
            fail(f"refused runs uploaded {total_messages(server)} mails")

        # The demo store: folders, counts, bytes, flags, INTERNALDATE, special-use folders.
        eml = converted(work, demo, "eml")
        maildir = converted(work, demo, "maildir")
        result = run(work, demo, imaps, *ca)
        if result.returncode != 0:
            report = latest_report(work)
            problems = [f"{f['path']}: {n['reason']}" for f in report["folders"] for n in f["failures"]][:3]
            fail(f"demo upload: exit {result.returncode}: {result.stderr} {report['destinationFailure']} {problems}")
        for folder, mails in eml.items():
            name = server_folder(folder)
            stored = {identity(m["text"]): m for m in on_server(server, name)}
            if sorted(stored) != sorted(identity(m) for m in mails.values()):
                fail(f"{name}: {len(stored)} mails instead of {len(mails)}")
                continue
            expected_flags = {}
            for file_name, message in maildir[folder].items():
                letters = file_name.split(":2,")[1]
                flags = {f for letter, f in (("S", "\\Seen"), ("F", "\\Flagged"), ("R", "\\Answered"),
                                             ("D", "\\Draft")) if letter in letters}
                expected_flags[identity(message)] = (flags, int(file_name.split(".")[0]))
            for message in mails.values():
                key = identity(message)
                got = stored[key]
                if lines(got["text"]) != lines(message):
                    fail(f"{name} {key}: the bytes differ from the .eml file")
                flags = set(got.get("flags", b"").decode().split()) - {"\\Recent"}
                if flags != expected_flags[key][0]:
                    fail(f"{name} {key}: flags {sorted(flags)} instead of {sorted(expected_flags[key][0])}")
                received = time.strptime(got["date.received"].decode(), "%Y-%m-%d %H:%M:%S")
                if expected_flags[key][1] and int(time.mktime(received) - time.timezone) != expected_flags[key][1]:
                    fail(f"{name} {key}: INTERNALDATE {got['date.received']} instead of {expected_flags[key][1]}")
        special = [f for f in server.folders() if f in ("Sent Items", "Deleted Items", "Junk E-mail")]
        if special:
            fail(f"folders made beside the special-use ones: {special}")
        print(f"demo.ost: {sum(len(m) for m in eml.values())} mails uploaded into {len(eml)} folders")

        # Again, over STARTTLS: nothing is added.
        before = total_messages(server)
        result = run(work, demo, starttls, *ca)
        totals = latest_report(work)["totals"]
        if result.returncode != 0 or totals["written"] != 0 or totals["alreadyThere"] != before:
            fail(f"re-run: exit {result.returncode}, {totals['written']} uploaded, {totals['alreadyThere']} there")
        if total_messages(server) != before:
            fail(f"re-run: the server holds {total_messages(server)} mails instead of {before}")

        # Two copies of the demo store with --dedup: each below a folder of its own, the copies left out.
        copies = [os.path.join(work, name, "demo.ost") for name in ("copy-a", "copy-b")]
        for path in copies:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.copy(demo, path)
        base = total_messages(server)
        result = subprocess.run([ost2eml, "convert", *ca, "--password-file", os.path.join(work, "password"),
                                 "--report-dir", os.path.join(work, "reports"), "--dedup", *copies,
                                 imaps + "/Backups"], capture_output=True, text=True)
        backups = [f for f in server.folders() if f.startswith("Backups/")]
        if (result.returncode != 0 or total_messages(server) - base != before or
                any(on_server(server, f) for f in backups if f.startswith("Backups/demo.ost (2)")) or
                "Backups/demo.ost/Inbox" not in backups):
            fail(f"two stores with --dedup: exit {result.returncode}, {total_messages(server) - base} mails "
                 f"uploaded, folders {backups[:6]}: {result.stderr}")
        print(f"two copies of demo.ost with --dedup: {before} mails uploaded once, below Backups/demo.ost")

        # Killed at several points, then run to the end: every mail once.
        store = os.path.join(work, "random.ost")
        subprocess.run([storegen, "--random", "--messages", "800", "--seed", "5", "-o", store], check=True,
                       capture_output=True)
        files = converted(work, store, "eml")
        mails = sum(len(m) for m in files.values())
        base = total_messages(server)
        for share in (0.1, 0.5, 0.9):
            kill_when(server, run(work, store, imaps + "/Killed", *ca, wait=False), base + share * mails)
        result = run(work, store, imaps + "/Killed", *ca)
        if result.returncode != 0:
            fail(f"killed, then run to the end: exit {result.returncode}: {result.stderr}")
        check_all_once(server, files, "Killed", "killed and run again")
        print(f"random.ost: killed at several points, then {mails} mails once each")

        # The server restarts half way: the upload goes on.
        base = total_messages(server)
        program = run(work, store, imaps + "/Restarted", *ca, wait=False)
        deadline = time.monotonic() + 120
        while polled_messages(server) < base + mails / 2 and program.poll() is None and time.monotonic() < deadline:
            time.sleep(0.02)
        server.restart()
        if program.wait(timeout=300) != 0:
            report = latest_report(work)
            problems = [n["reason"] for f in report["folders"] for n in f["failures"]][:3]
            fail(f"a server restarted half way: exit {program.returncode}: {report['destinationFailure']} {problems}")
        check_all_once(server, files, "Restarted", "server restarted")

        # The server gone for good: exit 2 with the report.
        # Counted before the upload starts: while it runs, a mailbox it is creating can be listed
        # before it exists.
        base = total_messages(server)
        program = run(work, store, imaps + "/Gone", *ca, "--retry-for", "3", wait=False)
        deadline = time.monotonic() + 120
        while polled_messages(server) < base + 50 and program.poll() is None and time.monotonic() < deadline:
            time.sleep(0.02)
        server.stop()
        code = program.wait(timeout=120)
        report = latest_report(work)
        if code != 2 or not report["destinationFailure"]:
            problems = [n["reason"] for f in report["folders"] for n in f["failures"]][:3]
            fail(f"a server gone for good: exit {code}, destination failure {report['destinationFailure']!r}, "
                 f"{report['totals'] if 'totals' in report else ''} {problems}")
        server.start()
    finally:
        server.stop()

    # A server that refuses the mails above a size: those are reported, every other one lands.
    store = os.path.join(work, "random.ost")
    files = converted(work, store, "eml")
    limit = 40 * 1024
    too_large = sum(1 for folder in files.values() for m in folder.values() if len(m) > limit)
    with dovecot_server.Dovecot(os.path.join(work, "dovecot-small"), max_mail_size=limit) as small:
        result = run(work, store, f"imaps://{small.USER}@localhost:{small.imaps_port}", "--ca-file", small.ca_file)
        report = latest_report(work)
        reasons = [n["reason"] for f in report["folders"] for n in f["failures"]]
        if (result.returncode != 2 or not too_large or report["totals"]["failed"] != too_large
                or not all("refused" in r for r in reasons)):
            fail(f"mails above {limit} bytes: exit {result.returncode}, {report['totals']['failed']} failed "
                 f"of {too_large}: {reasons[:2]}")
        if total_messages(small) != sum(len(m) for m in files.values()) - too_large:
            fail(f"mails above {limit} bytes: the server holds {total_messages(small)} mails")
        print(f"random.ost: {too_large} mails above {limit} bytes refused and reported, the rest uploaded")

        # A German store: its special folders are known by the store's entry ids, not by name.
        german = {"Posteingang": ("inbox", "INBOX"), "Gesendete Elemente": ("sentItems", "Sent"),
                  "Entwürfe": ("drafts", "Drafts"), "Gelöschte Elemente": ("deletedItems", "Trash"),
                  "Junk-E-Mail": ("junkEmail", "Spam"), "Archiv": ("", "Archiv")}
        folders = [{"name": name, "containerClass": "IPF.Note", **({"role": role} if role else {}),
                    "messages": [{"subject": f"In {name}", "properties": [
                        {"tag": "0x1035", "type": "unicode", "value": f"<{role or 'archiv'}@example.de>"}]}]}
                   for name, (role, _) in german.items()]
        description = os.path.join(work, "german.json")
        with open(description, "w", encoding="utf-8") as f:
            json.dump({"folders": [{"name": "Oberste Ebene", "role": "ipmSubtree", "folders": folders}]}, f)
        store = os.path.join(work, "german.ost")
        subprocess.run([storegen, description, "-o", store], check=True, capture_output=True)
        result = run(work, store, f"imaps://{small.USER}@localhost:{small.imaps_port}", "--ca-file", small.ca_file)
        for name, (role, target) in german.items():
            found = [identity(m["text"]) for m in on_server(small, target)]
            if f"<{role or 'archiv'}@example.de>" not in found:
                fail(f"german.ost: {name} is not in {target}: {found}")
        made = [f for f in small.folders() if f in german and german[f][1] != f]
        if result.returncode != 0 or made:
            fail(f"german.ost: exit {result.returncode}, folders made beside the special-use ones: {made}")

    # Certificates for another host, and a server that offers no STARTTLS.
    for tls, cert_host, scheme, expected in (("required", "other.example", "imaps", "not made out to localhost"),
                                             ("none", "localhost", "imap", "does not offer STARTTLS")):
        with dovecot_server.Dovecot(os.path.join(work, f"dovecot-{tls}-{cert_host}"), tls=tls,
                                    cert_host=cert_host) as other:
            port = other.imaps_port if scheme == "imaps" else other.imap_port
            result = run(work, demo, f"{scheme}://{other.USER}@localhost:{port}", "--ca-file", other.ca_file)
            if result.returncode != 1 or expected not in result.stderr:
                fail(f"{tls}/{cert_host}: exit {result.returncode}: {result.stderr}")
            if total_messages(other) != 0:
                fail(f"{tls}/{cert_host}: {total_messages(other)} mails uploaded")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
