#!/usr/bin/env python3
"""Runs `ost2eml info` as a user would: messages, exit codes, JSON, and that it writes nothing."""
import json
import os
import subprocess
import sys
import tempfile

program, testdata, storegen = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []


def run(*args, cwd=None):
    return subprocess.run([program, *args], capture_output=True, text=True, cwd=cwd, timeout=120)


def check(condition, what):
    if not condition:
        failures.append(what)


r = run("--help")
check(r.returncode == 0 and "info" in r.stdout, "--help lists info")
r = run("--version")
check(r.returncode == 0 and r.stdout.startswith("ost2eml "), "--version")
r = run("frobnicate")
check(r.returncode == 1 and "unknown command" in r.stderr, "unknown command")
r = run("info")
check(r.returncode == 1, "info without a store")

with tempfile.TemporaryDirectory() as tmp:
    r = run("info", os.path.join(tmp, "missing.ost"))
    check(r.returncode == 1 and "no such file" in r.stderr, "missing file")
    r = run("info", tmp)
    check(r.returncode == 1 and "directory" in r.stderr, "directory")
    empty = os.path.join(tmp, "empty.ost")
    open(empty, "wb").close()
    r = run("info", empty)
    check(r.returncode == 1 and "empty" in r.stderr, "empty file")

# ANSI stores whose messages name only an Internet code page (as mail received as ISO-2022-JP
# does): their folder names are in the Windows code page of that script, and info says so.
SCRIPTS = [
    (932, 50220, ["Outlook データ ファイルのトップ", "受信トレイ"]),
    (932, 51932, ["個人用フォルダー", "送信済みアイテム"]),
    (949, 50225, ["개인 폴더", "받은 편지함"]),
    (949, 51949, ["개인 폴더", "보낸 편지함"]),
    (936, 52936, ["个人文件夹", "收件箱"]),
    (1251, 20866, ["Личные папки", "Входящие"]),
    (1251, 28595, ["Личные папки", "Отправленные"]),
]
with tempfile.TemporaryDirectory() as tmp:
    for store_page, internet_page, (top, inbox) in SCRIPTS:
        what = f"ANSI store in {store_page}, messages naming {internet_page}"
        message = {"subject": inbox, "properties": [
            {"tag": "0x3FDE", "type": "int32", "value": internet_page}, {"tag": "0x3FFD", "absent": True}]}
        description = {"format": "ansi", "codePage": store_page, "folders": [
            {"name": top, "role": "ipmSubtree", "folders": [
                {"name": inbox, "containerClass": "IPF.Note", "messages": [message, message]}]}]}
        source, path = os.path.join(tmp, f"{internet_page}.json"), os.path.join(tmp, f"{internet_page}.ost")
        with open(source, "w", encoding="utf-8") as f:
            json.dump(description, f, ensure_ascii=False)
        if subprocess.run([storegen, source, "-o", path], capture_output=True).returncode != 0:
            failures.append(f"{what}: storegen failed")
            continue
        r = run("info", path)
        lines = r.stdout.splitlines()
        check(r.returncode == 0 and f"  {top}  [sub-folders: 1]" in lines and f"    {inbox}  [email: 2]" in lines,
              f"{what}: folder names {r.stdout!r}")
        check(f"Reader:     native (8-bit texts in code page {store_page})" in lines, f"{what}: reader line")
        check(any(l.startswith(f"Code page:  {store_page} (") and "named in PR_INTERNET_CPID by 2 of 2 messages" in l
                  and f"(as {internet_page}" in l for l in lines), f"{what}: code page line {lines[:8]}")
        choice = json.loads(run("info", "--json", path).stdout)["codePageChoice"]
        check(choice == {"from": "internetCodePage", "named": internet_page, "messages": 2, "sampled": 2},
              f"{what}: json {choice}")
        r = run("info", "--codepage", "1252", path)
        check("Code page:  1252 (windows-1252), given with --codepage" in r.stdout.splitlines(), f"{what}: given")
        r = run("info", "--reader", "libpff", path)
        check("Code page:  1252 (windows-1252), the reader's default" in r.stdout.splitlines(), f"{what}: libpff")

# Files that once hurt the store library: a clean answer, never a crash.
crashes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "fuzz-crashes")
for name in sorted(os.listdir(crashes)) if os.path.isdir(crashes) else []:
    r = run("info", os.path.join(crashes, name))
    check(r.returncode in (0, 1, 2), f"fuzz-crashes/{name}: exit code {r.returncode}")

if not os.path.isdir(os.path.join(testdata, "stores")):
    print("no shared test data: the sample checks are skipped")
    sys.exit(0 if not failures else 1)

stores = os.path.join(testdata, "stores")
broken = os.path.join(testdata, "broken")
with tempfile.TemporaryDirectory() as cwd:
    r = run("info", os.path.join(stores, "aspose-personal-store-named.ost"), cwd=cwd)
    check(r.returncode == 1 and "This is not a valid OST File" in r.stderr, "personal store named .ost")
    for name in sorted(os.listdir(broken)):
        r = run("info", os.path.join(broken, name), cwd=cwd)
        check(r.returncode == 1 and r.stderr.startswith("ost2eml: "), f"broken/{name}: {r.returncode} {r.stderr!r}")
    r = run("info", "--json", os.path.join(stores, "groupdocs-sample.ost"), cwd=cwd)
    check(r.returncode == 0, "info --json exit code")
    document = json.loads(r.stdout)
    totals = document["totals"]
    check(totals["folders"] == 39 and totals["messages"] == 5 and totals["attachments"] == 5, f"json totals {totals}")
    check(document["root"]["folders"], "json folder tree")
    r = run("info", os.path.join(stores, "groupdocs-sample.ost"), cwd=cwd)
    check(r.returncode == 0 and "Folders: 39" in r.stdout and "email: 5" in r.stdout, "text output")
    check(os.listdir(cwd) == [], "info wrote nothing")

for failure in failures:
    print("FAILED:", failure)
print(f"{'ok' if not failures else 'failed'}: info checks")
sys.exit(1 if failures else 0)
