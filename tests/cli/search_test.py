#!/usr/bin/env python3
"""`ost2eml search` finds what an independent reading of the same mails finds: generated stores
(and the demo store) are converted to .eml files, the files are read back with Python's email
package, and each query is evaluated on those texts by this script's own folding and word rules.
The subjects of the matches (as a multiset) must agree. Also: --json's fields, --folder, --since
and --until, malformed queries, and the exit codes.

usage: search_test.py OST2EML STOREGEN DEMO_STORE"""
import collections
import email
import email.policy
import html
import json
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

ost2eml, storegen, demo = sys.argv[1:]
failures = []

WHOLE = {"æ": "ae", "ð": "d", "ø": "o", "þ": "th", "đ": "d", "ħ": "h", "ı": "i", "ł": "l", "œ": "oe",
         "ŧ": "t", "ß": "ss"}


def unspaced(c):
    o = ord(c)
    return (0x0E00 <= o <= 0x0EFF or 0x1000 <= o <= 0x109F or 0x1780 <= o <= 0x17FF or 0x2E80 <= o <= 0x2FDF
            or 0x3005 <= o <= 0x3007 or 0x3040 <= o <= 0x30FF or 0x31F0 <= o <= 0x31FF or 0x3400 <= o <= 0x4DBF
            or 0x4E00 <= o <= 0x9FFF or 0xF900 <= o <= 0xFAFF or 0xFF61 <= o <= 0xFF9F or o >= 0x20000)


def fold(text):
    out = []
    for c in text:
        low = c.lower()
        if low in WHOLE:
            out.append(WHOLE[low])
        elif unspaced(c) and not 0xFF61 <= ord(c) <= 0xFF9F:
            out.append(c)
        else:
            form = "NFKC" if 0xFF00 <= ord(c) <= 0xFFEF else "NFKD"
            out.append("".join(p for p in unicodedata.normalize(form, c) if not unicodedata.combining(p)).casefold())
    return re.sub(r"\s+", " ", "".join(out)).strip()


def word_char(c):
    return (c.isalnum() or unicodedata.category(c).startswith("M")) and not unspaced(c)


def contains(text, needle):
    if any(unspaced(c) for c in needle):
        return needle in text
    start = 0
    while True:
        at = text.find(needle, start)
        if at < 0:
            return False
        end = at + len(needle)
        before_ok = not word_char(needle[0]) or at == 0 or not word_char(text[at - 1])
        after_ok = not word_char(needle[-1]) or end == len(text) or not word_char(text[end])
        if before_ok and after_ok:
            return True
        start = at + 1


def html_text(markup):
    markup = re.sub(r"(?is)<(script|style|head)\b.*?</\1\s*>", " ", markup)
    markup = re.sub(r"(?s)<!--.*?-->", " ", markup)
    return html.unescape(re.sub(r"(?s)<[^>]*>", " ", markup))


def items_of(message, folder):
    """The message and every message attached to it, each with its own texts."""
    body, names, attached = [], [], []
    for part in message.iter_parts() if message.is_multipart() else [message]:
        stack = [part]
        while stack:
            p = stack.pop()
            if p.get_content_type() == "message/rfc822":
                attached.append(p.get_payload(0))
                continue
            if p.is_multipart():
                stack.extend(reversed(list(p.iter_parts())))
                continue
            name = p.get_filename()
            if name:
                names.append(name)
            elif p.get_content_type() == "text/plain":
                body.append(("plain", p.get_content()))
            elif p.get_content_type() == "text/html":
                body.append(("html", p.get_content()))
    # The catalog keeps one body: the HTML one where there is one.
    kept = [t for kind, t in body if kind == "html"] or [t for kind, t in body if kind == "plain"]
    text = html_text(kept[0]) if [k for k, _ in body if k == "html"] else (kept[0] if kept else "")
    addresses = lambda header: " ".join(f"{a.display_name} {a.addr_spec}" for a in (message[header].addresses if message[header] else ()))
    item = {"folder": folder, "subject": str(message["subject"] or ""),
            "fields": {"from": fold(addresses("from") + " " + addresses("sender")),
                       "to": fold(" ".join(addresses(h) for h in ("to", "cc", "bcc"))),
                       "subject": fold(str(message["subject"] or "")), "body": fold(text),
                       "attachment": fold("\n".join(names + [str(m["subject"] or "") for m in attached]))},
            "attachments": bool(names or attached)}
    yield item
    for inner in attached:
        yield from items_of(inner, folder)


def reference(items, query):
    terms = []
    for field, phrase, word in re.findall(r'(?:([A-Za-z]+):(?=\S))?(?:"([^"]*)"|(\S+))', query):
        terms.append((field or None, fold(phrase or word)))
    result = collections.Counter()
    for item in items:
        ok = True
        for field, needle in terms:
            if field == "has":
                ok = ok and item["attachments"]
            elif field:
                ok = ok and contains(item["fields"][field], needle)
            else:
                ok = ok and any(contains(t, needle) for t in item["fields"].values())
        if ok:
            result[item["subject"]] += 1
    return result


def search(store, query, *options):
    result = subprocess.run([ost2eml, "search", store, query, "--json", *options], capture_output=True, text=True)
    return result.returncode, (json.loads(result.stdout) if result.returncode != 1 else None), result.stderr


with tempfile.TemporaryDirectory() as work:
    stores = []
    path = os.path.join(work, "random.ost")
    subprocess.run([storegen, "--random", "--messages", "400", "--seed", "11", "-o", path], check=True,
                   capture_output=True)
    stores.append(path)
    if os.path.isfile(demo):
        stores.append(demo)
    queries = ["budget", "munchen", "grusse aus", '"please review"', "review deadline", "from:fischer",
               "subject:invoice", "subject:\"budget review\"", "to:becker", "body:numbers", "attachment:zip",
               "attachment:png has:attachment", "議事録", "отчет", "cafe", "zazolc", "welcome", "1:1",
               "subject:conference", "genève"]
    for store in stores:
        destination = os.path.join(work, "eml-" + os.path.basename(store))
        subprocess.run([ost2eml, "convert", store, destination], capture_output=True, check=False)
        items = []
        for root, _, files in os.walk(destination):
            for name in files:
                if name.endswith(".eml"):
                    with open(os.path.join(root, name), "rb") as f:
                        message = email.message_from_binary_file(f, policy=email.policy.default)
                    items.extend(items_of(message, os.path.relpath(root, destination)))
        if not items:
            failures.append(f"{store}: the conversion wrote no mails")
            continue
        for query in queries:
            code, found, errors = search(store, query + " kind:mail")
            if found is None:
                failures.append(f"{store}: {query}: exit {code}: {errors}")
                continue
            got = collections.Counter(m["subject"] for m in found["matches"])
            want = reference(items, query)
            if got != want:
                failures.append(f"{store}: {query}: ost2eml found {sorted((got - want).items())[:5]} more and "
                                f"{sorted((want - got).items())[:5]} fewer than the .eml files hold")
            for match in found["matches"]:
                if set(match) != {"serial", "kind", "folder", "date", "from", "subject"}:
                    failures.append(f"{store}: {query}: a match has the fields {sorted(match)}")
                    break

    # Folders and dates narrow a search; --since and --until take whole days.
    store = stores[0]
    _, every, _ = search(store, "kind:mail")
    folders = collections.Counter(m["folder"] for m in every["matches"])
    folder = folders.most_common(1)[0][0]
    within = lambda path: path == folder or path.startswith(folder + "/")
    count = sum(n for path, n in folders.items() if within(path))
    _, inside, _ = search(store, "kind:mail", "--folder", folder)
    if len(inside["matches"]) != count or not all(within(m["folder"]) for m in inside["matches"]):
        failures.append(f"--folder {folder}: {len(inside['matches'])} matches, want {count}")
    top, _, below = folder.partition("/")
    if below:
        _, short, _ = search(store, "kind:mail", "--folder", below.lower())
        if len(short["matches"]) != count:
            failures.append(f"--folder {below.lower()} (without the top folder, other case): {len(short['matches'])}")
    dates = sorted(m["date"] for m in every["matches"] if m["date"])
    day = dates[len(dates) // 2][:10]
    _, since, _ = search(store, "kind:mail", "--since", day)
    _, until, _ = search(store, "kind:mail", "--until", day)
    if any(m["date"][:10] < day for m in since["matches"]) or any(m["date"][:10] > day for m in until["matches"]):
        failures.append(f"--since/--until {day}: matches outside the range")
    if len(since["matches"]) + len(until["matches"]) != len(dates) + sum(1 for d in dates if d[:10] == day):
        failures.append(f"--since/--until {day}: the two ranges do not cover every dated mail once (the day twice)")

    # A malformed query is an error that says why; no match is not.
    for query, said in (('"open', "not closed"), ("color:red", "not a field"), ("kind:fax", "kind:fax")):
        result = subprocess.run([ost2eml, "search", store, query], capture_output=True, text=True)
        if result.returncode != 1 or said not in result.stderr:
            failures.append(f"{query}: exit {result.returncode}, said {result.stderr.strip()!r}")
    result = subprocess.run([ost2eml, "search", store, "xyzzyplugh"], capture_output=True, text=True)
    if result.returncode != 0 or result.stdout:
        failures.append(f"a query without matches: exit {result.returncode}, printed {result.stdout!r}")
    result = subprocess.run([ost2eml, "search", os.path.join(work, "missing.ost"), "x"], capture_output=True, text=True)
    if result.returncode != 1:
        failures.append(f"a missing store: exit {result.returncode}")
    # The text lines: serial, folder, date, sender, subject.
    result = subprocess.run([ost2eml, "search", store, "budget"], capture_output=True, text=True)
    lines = result.stdout.splitlines()
    if not lines or any(len(line.split("\t")) != 5 for line in lines):
        failures.append(f"text output: {lines[:2]}")

for failure in failures:
    print("FAIL:", failure)
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
