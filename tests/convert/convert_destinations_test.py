#!/usr/bin/env python3
"""`ost2eml convert --format eml|mbox|maildir`, read back by Python's mailbox module: every folder's
mbox holds the folder's .eml files in store order (mboxrd-unquoted), every folder's Maildir holds
the same bytes with flags in their names and the delivery time as their modification time. Run
again, each format writes nothing and counts every mail as already there; killed at several points
and run again, it ends with every mail exactly once.

usage: convert_destinations_test.py OST2EML STOREGEN SAMPLES_DIR DEMO_STORE"""
import hashlib
import json
import mailbox
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import dovecot_server  # noqa: E402

ost2eml, storegen, samples, demo = sys.argv[1:]
failures = []
FORMATS = ("eml", "mbox", "maildir")
MAILDIR_PARTS = {"cur", "new", "tmp"}


def fail(message):
    failures.append(message)
    print("FAILED:", message)


def convert(store, destination, form, check=True):
    result = subprocess.run([ost2eml, "convert", "--format", form, store, destination],
                            capture_output=True, text=True)
    if check and result.returncode not in (0, 2):
        fail(f"{os.path.basename(store)} --format {form}: exit {result.returncode}: {result.stderr}")
    return result.returncode


def report(destination, name="conversion-report.json"):
    with open(os.path.join(destination, name)) as f:
        return json.load(f)


def latest_report(destination):
    names = [n for n in os.listdir(destination) if n.startswith("conversion-report") and n.endswith(".json")]
    number = lambda n: int(re.search(r"\((\d+)\)", n).group(1)) if "(" in n else 1
    return report(destination, max(names, key=number))


def tree(root):
    """Every file below root but the reports: relative path -> digest."""
    found = {}
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.join(directory, name)
            relative = os.path.relpath(path, root)
            if relative.startswith("conversion-report") or name.startswith(".ost2eml-"):
                continue
            with open(path, "rb") as f:
                found[relative] = hashlib.sha256(f.read()).hexdigest()
    return found


def eml_folders(root):
    """Folder directory (relative) -> the .eml bytes of its mails in store order."""
    folders = {}
    for directory, _, names in os.walk(root):
        mails = sorted(n for n in names if n.endswith(".eml"))
        if mails:
            folders[os.path.relpath(directory, root)] = [open(os.path.join(directory, n), "rb").read()
                                                         for n in mails]
    return folders


def unquote(message):
    return re.sub(rb"(?m)^>(>*From )", rb"\1", message)


def mbox_folders(root):
    folders = {}
    for directory, _, names in os.walk(root):
        boxes = [n for n in names if n.endswith(".mbox")]
        if len(boxes) > 1:
            fail(f"{directory}: {len(boxes)} mbox files")
        for name in boxes:
            box = mailbox.mbox(os.path.join(directory, name), create=False)
            folders[os.path.relpath(directory, root)] = [unquote(box.get_bytes(key)) for key in box.keys()]
            box.close()
    return folders


def maildir_folders(root):
    folders = {}
    for directory, subdirectories, _ in os.walk(root):
        if not MAILDIR_PARTS <= set(subdirectories):
            continue
        box = mailbox.Maildir(directory, factory=None, create=False)
        messages = []
        for key in box.keys():
            message = box.get_message(key)
            if not set(message.get_flags()) <= set("DFRS"):
                fail(f"{directory}/{key}: flags {message.get_flags()}")
            path = os.path.join(directory, message.get_subdir(), key + ":" + message.get_info())
            stamp = int(key.split(".")[0])
            if stamp and int(os.stat(path).st_mtime) != stamp:
                fail(f"{path}: modified {os.stat(path).st_mtime}, delivered {stamp}")
            messages.append(box.get_bytes(key))
        folders[os.path.relpath(directory, root)] = sorted(messages)
        box.close()
    return folders


def maildir_name(folder):
    """A folder's directory as a Maildir has it: one called like a part of a Maildir is renamed."""
    return "/".join(p + " (2)" if p in MAILDIR_PARTS else p for p in folder.split("/"))


def compare(store, form, expected, found):
    name = os.path.basename(store)
    if form.startswith("maildir"):
        expected = {maildir_name(f): m for f, m in expected.items()}
    if sorted(found) != sorted(expected):
        fail(f"{name} {form}: folders {sorted(found)} instead of {sorted(expected)}")
        return
    for folder, mails in expected.items():
        got = found[folder]
        want = sorted(mails) if form.startswith("maildir") else mails
        if got != want:
            same = sum(1 for a, b in zip(got, want) if a == b)
            fail(f"{name} {form} {folder}: {len(got)} messages, {same} of {len(want)} equal to the .eml files")


READERS = {"eml": eml_folders, "mbox": mbox_folders, "maildir": maildir_folders}


def lines(message):
    return message.replace(b"\r\n", b"\n").rstrip(b"\n")


def read_by_dovecot(work, store, converted, expected):
    """Dovecot's mbox driver reads each folder's mbox, its Maildir driver (LAYOUT=fs) the Maildirs:
    the same messages as the .eml files."""
    name = os.path.basename(store)
    with dovecot_server.Dovecot(os.path.join(work, "dovecot-readers")) as server:
        read_with(server, name, converted, expected)
    print(f"{name}: Dovecot reads the mbox files and the Maildirs as the .eml files")


def read_with(server, name, converted, expected):
    mail_user = server.mail_user
    for form in ("mbox", "maildir"):
        # Dovecot's mail processes run as their own user and keep their indexes in memory.
        copy = os.path.join(server.home, form)
        shutil.copytree(os.path.join(converted[form], name), copy)
        subprocess.run(["chown", "-R", f"{mail_user}:", copy], check=True)
        found = {}
        for folder in expected:
            if form == "mbox":
                box = [n for n in os.listdir(os.path.join(copy, folder)) if n.endswith(".mbox")][0]
                location = f"mbox:{copy}/{folder}:INBOX={copy}/{folder}/{box}:INDEX=MEMORY"
                texts = [m.get("text", b"") for m in server.messages("INBOX", mail_location=location)]
                found[folder] = [lines(unquote(t)) for t in texts]
            else:
                location = f"maildir:{copy}:LAYOUT=fs:INDEX=MEMORY"
                texts = [m.get("text", b"") for m in server.messages(maildir_name(folder), mail_location=location)]
                found[folder] = sorted(lines(t) for t in texts)
        want = {f: (sorted(lines(m) for m in mails) if form == "maildir" else [lines(m) for m in mails])
                for f, mails in expected.items()}
        for folder in want:
            if found[folder] != want[folder]:
                same = sum(1 for a, b in zip(found[folder], want[folder]) if a == b)
                fail(f"{name} {form} read by Dovecot, {folder}: {len(found[folder])} messages, "
                     f"{same} of {len(want[folder])} equal to the .eml files")


def written_so_far(root, form):
    if form == "mbox":
        return sum(os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(root)
                   for n in names if n.endswith(".mbox"))
    if form == "maildir":
        return sum(len(names) for d, _, names in os.walk(root) if os.path.basename(d) == "cur")
    return sum(1 for _, _, names in os.walk(root) for n in names if n.endswith(".eml"))


def killed_and_resumed(store, work, form, expected, total):
    """Kills the conversion after a part of total (bytes or mails) is written, at several points,
    and then lets it run to the end."""
    destination = os.path.join(work, f"killed-{form}")
    for share in (0.05, 0.4, 0.8):
        program = subprocess.Popen([ost2eml, "convert", "--format", form, store, destination],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        root = os.path.join(destination, os.path.basename(store))
        deadline = time.monotonic() + 120
        while program.poll() is None and time.monotonic() < deadline:
            if os.path.isdir(root) and written_so_far(root, form) >= share * total:
                program.send_signal(signal.SIGKILL)
                break
            time.sleep(0.005)
        program.wait()
    convert(store, destination, form)
    compare(store, f"{form} killed and run again", expected,
            READERS[form](os.path.join(destination, os.path.basename(store))))
    leftovers = [os.path.join(d, n) for d, _, names in os.walk(destination) for n in names
                 if n.endswith(".part") or (os.path.basename(d) == "tmp" and n.endswith(".ost2eml"))]
    if leftovers:
        fail(f"{form}: left behind {leftovers[:3]}")


with tempfile.TemporaryDirectory() as work:
    stores = []
    if os.path.isfile(demo):
        stores.append(demo)
    random_store = os.path.join(work, "random.ost")
    subprocess.run([storegen, "--random", "--messages", "1500", "--seed", "11", "-o", random_store],
                   check=True, capture_output=True)
    stores.append(random_store)
    if os.path.isdir(samples):
        stores += sorted(os.path.join(samples, n) for n in os.listdir(samples) if n.endswith(".SO.ost"))

    for store in stores:
        name = os.path.basename(store)
        results = {}
        for form in FORMATS:
            destination = os.path.join(work, "out", name, form)
            code = convert(store, destination, form)
            results[form] = (destination, code, report(destination)["totals"])
        expected = eml_folders(os.path.join(results["eml"][0], name))
        for form in ("mbox", "maildir"):
            compare(store, form, expected, READERS[form](os.path.join(results[form][0], name)))
        for form, (destination, code, totals) in results.items():
            if totals["written"] != results["eml"][2]["written"]:
                fail(f"{name} {form}: {totals['written']} written, {results['eml'][2]['written']} as EML")
            before = tree(destination)
            again = convert(store, destination, form)
            totals_again = latest_report(destination)["totals"]
            if again != code or totals_again["written"] != 0 or totals_again["alreadyThere"] != totals["written"]:
                fail(f"{name} {form} run again: exit {again}, written {totals_again['written']}, "
                     f"already there {totals_again['alreadyThere']} of {totals['written']}")
            if tree(destination) != before:
                fail(f"{name} {form}: a second run changed the files")
        print(f"{name}: {results['eml'][2]['written']} mails alike as EML, mbox and Maildir; re-runs add nothing")
        if store == demo and dovecot_server.available():
            read_by_dovecot(work, store, {f: r[0] for f, r in results.items()}, expected)

    expected = eml_folders(os.path.join(work, "out", "random.ost", "eml", "random.ost"))
    mails = sum(len(m) for m in expected.values())
    mbox_size = sum(os.path.getsize(os.path.join(d, n)) for d, _, names in
                    os.walk(os.path.join(work, "out", "random.ost", "mbox")) for n in names if n.endswith(".mbox"))
    for form, total in (("eml", mails), ("mbox", mbox_size), ("maildir", mails)):
        killed_and_resumed(random_store, work, form, expected, total)
    print("killed at several points and run again: every mail once")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
