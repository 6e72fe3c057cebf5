#!/usr/bin/env python3
"""Reads every golden message with Python's e-mail parser (a second, independent MIME reader)
and checks that it is well-formed and carries what the writer put in."""
import email
import email.policy
import pathlib
import sys

EXPECTED = {
    "plain_only": {"subject": "Quarterly numbers", "from": "alice@example.com",
                   "types": ["text/plain"], "text": "the numbers are attached."},
    "html_only": {"types": ["text/html"], "text": "Grüße aus Köln – this paragraph"},
    "plain_and_html": {"types": ["multipart/alternative", "text/plain", "text/html"]},
    "rtf_encapsulated_html": {"types": ["text/html"], "text": "<p>Café prices rose € 5.&nbsp;</p>"},
    "rtf_plain": {"types": ["text/plain"], "text": "Привет, world!"},
    "non_ascii_headers": {"subject": "Grüße – 東京 meeting, and a subject long enough to need folding  "
                                     "Bcc: injected@example.com",
                          "from": "joerg@example.de", "no_header": "Bcc"},
    "transport_headers": {"subject": "Received subject ✓", "header_count": {"Content-Type": 1,
                                                                             "MIME-Version": 1}},
    "attachments": {"files": {"report.pdf": 15, "Übersicht März 2024 – final version for the board.xlsx": 512,
                              "empty.bin": 0, "forwarded.eml": 27, "Résumé.pdf": 4, "Отчёт.txt": 4}},
    "inline_image": {"types": ["multipart/mixed", "multipart/alternative", "text/plain", "multipart/related",
                               "text/html", "image/png", "image/gif", "text/plain"],
                     "files": {"image001.png": 70, "logo.gif": 6, "notes.txt": 15}},
    "nested_message": {"files": {"Forwarded original.eml": None}},
    "reference_attachment": {"files": {"Q3 plan.docx.uri": None, "budget.xlsx.uri": None,
                                       "Shared deck.uri": None, "lost.doc.uri": None}},
    "sent_without_address": {"from_text": "Alice Example:;"},
}


def check(path):
    problems = []
    raw = path.read_bytes()
    message = email.message_from_bytes(raw, policy=email.policy.default)
    expected = EXPECTED.get(path.stem, {})
    parts = list(message.walk())
    for part in parts:
        if part.defects:
            problems.append(f"defects in {part.get_content_type()}: {part.defects}")
    if "subject" in expected and str(message["subject"]) != expected["subject"]:
        problems.append(f"subject {message['subject']!r}")
    if "from" in expected and expected["from"] not in str(message["from"]):
        problems.append(f"from {message['from']!r}")
    if "from_text" in expected and str(message["from"]).replace(" ;", ";") != expected["from_text"]:
        problems.append(f"from {message['from']!r}")
    if "no_header" in expected and message[expected["no_header"]] is not None:
        problems.append(f"unexpected {expected['no_header']} header")
    for name, count in expected.get("header_count", {}).items():
        if len(message.get_all(name, [])) != count:
            problems.append(f"{name} appears {len(message.get_all(name, []))} times")
    if "types" in expected:
        types = [part.get_content_type() for part in parts]
        if types != expected["types"]:
            problems.append(f"structure {types}")
    if "text" in expected:
        bodies = [part.get_content() for part in parts if part.get_content_maintype() == "text"]
        if not any(expected["text"] in body for body in bodies):
            problems.append(f"text {expected['text']!r} not found")
    files = {part.get_filename(): part for part in parts if part.get_filename()}
    for name, size in expected.get("files", {}).items():
        if name not in files:
            problems.append(f"attachment {name!r} missing; have {sorted(files)}")
            continue
        if size is not None:
            data = files[name].get_payload(decode=True) or b""
            if len(data) != size:
                problems.append(f"attachment {name!r} has {len(data)} bytes")
    return problems


def main():
    folder = pathlib.Path(sys.argv[1])
    failures = 0
    files = sorted(folder.glob("*.eml"))
    if not files:
        print("no golden files")
        return 1
    for path in files:
        problems = check(path)
        for problem in problems:
            print(f"{path.name}: {problem}")
        failures += bool(problems)
    print(f"{len(files) - failures}/{len(files)} golden messages parse as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
