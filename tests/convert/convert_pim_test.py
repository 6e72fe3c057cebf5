#!/usr/bin/env python3
"""Round trip of contacts, appointments, tasks, notes and journal entries: a storegen description
-> store -> `ost2eml convert --all` -> .vcf / .ics / .txt -> independent parsers (vobject,
icalendar, dateutil) -> the description's values. Recurrence blobs and time-zone definitions are
built here from the format's documented layout, so the test shares no code with the converter.
Also: --vcard 3, the report's counts, the same bytes on a second run and with the libpff reader,
--since on appointments,
and the golden files in data/pim (REGENERATE_GOLDEN=1 rewrites them).

The sample stores that hold contacts, appointments or tasks are converted too and compared field by
field with what the store layer reads (conversion_expectations --pim).

usage: convert_pim_test.py OST2EML STOREGEN [EXPECTATIONS SAMPLES_DIR]"""
import base64
import datetime as dt
import io
import json
import os
import struct
import subprocess
import sys
import tempfile

try:
    import icalendar
    import vobject
    from dateutil import rrule as dateutil_rrule
    from dateutil import tz as dateutil_tz
except ImportError as error:
    print("skipped:", error)
    sys.exit(77)

ost2eml, storegen = sys.argv[1:3]
expectations_tool, samples = (sys.argv[3:5] + [None, None])[:2]
HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "data", "pim")
UTC = dt.timezone.utc
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED:", message)


def equal(actual, expected, what):
    check(actual == expected, f"{what}: {actual!r} != {expected!r}")


# ---- the store's binary values, from [MS-OXOCAL] ------------------------------------------------

EPOCH = dt.datetime(1601, 1, 1)


def minutes(value):
    if isinstance(value, dt.date) and not isinstance(value, dt.datetime):
        value = dt.datetime(value.year, value.month, value.day)
    return int((value - EPOCH).total_seconds() // 60)


def systemtime(month, day_of_week, week, hour):
    return struct.pack("<8H", 0, month, day_of_week, week, hour, 0, 0, 0)


def zone_definition(name, *rules):
    """rules: (year from which it applies, bias, daylight bias, standard date, daylight date), by
    year; the last one is the rule in effect."""
    key = name.encode("utf-16-le")
    rest = struct.pack("<HH", 2, len(key) // 2) + key + struct.pack("<H", len(rules))
    blob = struct.pack("<BBH", 2, 1, len(rest)) + rest
    for index, (year, bias, daylight_bias, standard, daylight) in enumerate(rules):
        flags = 0x0002 if index == len(rules) - 1 else 0
        blob += struct.pack("<BBHHH", 2, 1, 0x3E, flags, year) + b"\0" * 14
        blob += struct.pack("<iii", bias, 0, daylight_bias) + standard + daylight
    return blob.hex()


# Central Europe: UTC+1, daylight time from the last Sunday of March 02:00 to the last Sunday of
# October 03:00.
EUROPE = zone_definition("W. Europe Standard Time",
                         (2024, -60, -60, systemtime(10, 0, 5, 3), systemtime(3, 0, 5, 2)))
EUROPE_TZ = dateutil_tz.gettz("Europe/Berlin")
# US Eastern, UTC-5: daylight time until 2006 from the first Sunday of April to the last Sunday of
# October, from 2007 on from the second Sunday of March to the first Sunday of November.
EASTERN = zone_definition("Eastern Standard Time",
                          (2006, 300, -60, systemtime(10, 0, 5, 2), systemtime(4, 0, 1, 2)),
                          (2007, 300, -60, systemtime(11, 0, 1, 2), systemtime(3, 0, 2, 2)))
# Days between the old and the new changes, 10:00 local, and the UTC offset (hours) of each.
# The same zone name with only its pre-2007 rule, as appointments made before then carry it: on
# 20 March 2008 it still keeps standard time.
OLD_EASTERN = zone_definition("Eastern Standard Time",
                              (2006, 300, -60, systemtime(10, 0, 5, 2), systemtime(4, 0, 1, 2)))
OLD_EASTERN_START = dt.datetime(2008, 3, 20, 10, 0, tzinfo=dt.timezone(dt.timedelta(hours=-5)))

EASTERN_DAYS = {dt.date(2006, 3, 20): -5, dt.date(2006, 10, 30): -5, dt.date(2008, 3, 20): -4,
                dt.date(2008, 10, 30): -4}

DAILY, WEEKLY, MONTHLY, YEARLY = 0x200A, 0x200B, 0x200C, 0x200D
END_DATE, END_COUNT, END_NEVER = 0x2021, 0x2022, 0x2023


# Override flags of an exception besides subject (0x1) and location (0x10); recurrence() takes them
# as {flag: value}, None for the flag without a field.
REMINDER_DELTA, REMINDER_SET, BUSY, ATTACHMENT, ALL_DAY, OWN_BODY = 0x4, 0x8, 0x20, 0x40, 0x80, 0x200


def recurrence(frequency, pattern, period, specific, start, end_type, count=0, end=None, deleted=(),
               exceptions=(), duration=60):
    """start: the first instance (local); exceptions: (original date, new start, new end,
    subject, location[, {flag: value} of other overrides])."""
    blob = struct.pack("<HHHHHIII", 0x3004, 0x3004, frequency, pattern, 0, 0, period, 0) + specific
    blob += struct.pack("<III", end_type, count, 1)
    removed = sorted(set(deleted) | {e[0] for e in exceptions})
    blob += struct.pack("<I", len(removed)) + b"".join(struct.pack("<I", minutes(d)) for d in removed)
    moved = sorted(e[1].date() for e in exceptions)
    blob += struct.pack("<I", len(moved)) + b"".join(struct.pack("<I", minutes(d)) for d in moved)
    last = end or dt.date(4500, 8, 31)
    blob += struct.pack("<II", minutes(start.date()), minutes(last))
    offset = start.hour * 60 + start.minute
    blob += struct.pack("<IIIIH", 0x3006, 0x3009, offset, offset + duration, len(exceptions))
    for original, new_start, new_end, subject, location, *more in exceptions:
        overrides = more[0] if more else {}
        blob += struct.pack("<IIIH", minutes(new_start), minutes(new_end), minutes(original),
                            0x0011 | sum(overrides))
        texts = {0x0001: subject, 0x0010: location}
        for flag in (0x0001, REMINDER_DELTA, REMINDER_SET, 0x0010, BUSY, ATTACHMENT, ALL_DAY):
            if flag in texts:
                data = texts[flag].encode("cp1252", "replace")
                blob += struct.pack("<HH", len(data) + 1, len(data)) + data
            elif flag in overrides:
                blob += struct.pack("<I", overrides[flag])
    blob += struct.pack("<I", 0)
    for original, new_start, new_end, subject, location, *_ in exceptions:
        blob += struct.pack("<II", 4, 0) + struct.pack("<I", 0)
        blob += struct.pack("<III", minutes(new_start), minutes(new_end), minutes(original))
        for text in (subject, location):
            wide = text.encode("utf-16-le")
            blob += struct.pack("<H", len(wide) // 2) + wide
        blob += struct.pack("<I", 0)
    return (blob + struct.pack("<I", 0)).hex()


def filetime(value):
    return value.astimezone(UTC).strftime("%Y-%m-%dT%H:%M:%SZ")


def named(set_name, lid, type_name, value):
    key = "hex" if type_name == "binary" else "value"
    return {"named": {"set": set_name, "lid": lid}, "type": type_name, key: value}


def categories(values):
    return {"named": {"set": "public", "name": "Keywords"}, "type": "mvunicode", "value": values}


def tag(number, type_name, value):
    key = "hex" if type_name == "binary" else "value"
    return {"tag": number, "type": type_name, key: value}


def local(*args):
    return dt.datetime(*args, tzinfo=EUROPE_TZ)


def eastern_start(day):
    return dt.datetime(day.year, day.month, day.day, 10, 0,
                       tzinfo=dt.timezone(dt.timedelta(hours=EASTERN_DAYS[day])))


# ---- the description ------------------------------------------------------------------------------

PHOTO = bytes(range(256)) * 4
CONTACT = {
    "given": "Zoë", "surname": "Ångström", "middle": "Q", "prefix": "Dr.", "suffix": "Jr.",
    "display": "Dr. Zoë Q Ångström Jr.", "file_as": "Ångström, Zoë", "nickname": "Zo",
    "emails": [("Zoë (work)", "zoe@example.com"), ("Zoë home", "zoe@home.example"), ("", "z3@example.org")],
    "phones": {0x3A08: "+49 30 1234", 0x3A09: "+49 30 5678", 0x3A1C: "+49 171 999", 0x3A24: "+49 30 1235",
               0x3A21: "555-PAGE", 0x3A1E: "555-CAR", 0x3A2E: "555-ASSIST"},
    "work": ("", "Unter den Linden 1", "Berlin", "BE", "10117", "Deutschland"),
    "home": ("PO 7", "Fischerstraße 3;4", "Köln", "NRW", "50667", "Deutschland"),
    "other": ("", "Rue de l'Été 9", "Genève", "GE", "1201", "Suisse"),
    "company": "Tarvolin, Söhne & Co", "department": "Forschung", "title": "Leiterin",
    "manager": "Max Müller", "assistant": "Åsa", "home_page": "https://zoe.example/",
    "work_page": "https://tarvolin.example/zoe", "birthday": dt.date(1980, 2, 29),
    "anniversary": dt.date(2005, 6, 1), "note": "Line one, with comma; semicolon\nLine two: 日本語",
    "categories": ["Family", "Köln, Süd"],
}
ADDRESS_TAGS = {"work": (0x3A2B, 0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26),
                "home": (0x3A5E, 0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A),
                "other": (0x3A64, 0x3A63, 0x3A5F, 0x3A62, 0x3A61, 0x3A60)}


def contact_message(c):
    props = [tag(0x3001, "unicode", c["display"]), tag(0x3A06, "unicode", c["given"]),
             tag(0x3A11, "unicode", c["surname"]), tag(0x3A44, "unicode", c["middle"]),
             tag(0x3A45, "unicode", c["prefix"]), tag(0x3A05, "unicode", c["suffix"]),
             tag(0x3A4F, "unicode", c["nickname"]), named("address", 0x8005, "unicode", c["file_as"]),
             tag(0x3A16, "unicode", c["company"]), tag(0x3A18, "unicode", c["department"]),
             tag(0x3A17, "unicode", c["title"]), tag(0x3A4E, "unicode", c["manager"]),
             tag(0x3A30, "unicode", c["assistant"]), tag(0x3A50, "unicode", c["home_page"]),
             tag(0x3A51, "unicode", c["work_page"]),
             tag(0x3A42, "time", c["birthday"].isoformat() + "T00:00:00Z"),
             tag(0x3A41, "time", c["anniversary"].isoformat() + "T00:00:00Z"),
             tag(0x3008, "time", "2024-01-02T03:04:05Z"), categories(c["categories"])]
    for (name, address), lid in zip(c["emails"], (0x8080, 0x8090, 0x80A0)):
        if name:
            props.append(named("address", lid, "unicode", name))
        props.append(named("address", lid + 2, "unicode", "SMTP"))
        props.append(named("address", lid + 3, "unicode", address))
    for number, value in c["phones"].items():
        props.append(tag(number, "unicode", value))
    for kind, tags in ADDRESS_TAGS.items():
        for number, value in zip(tags, c[kind]):
            if value:
                props.append(tag(number, "unicode", value))
    return {"class": "IPM.Contact", "subject": c["display"], "plainBody": c["note"], "properties": props,
            "attachments": [{"filename": "ContactPicture.jpg", "mimeType": "image/jpeg",
                             "data": {"hex": PHOTO.hex()}, "properties": [tag(0x7FFF, "bool", True)]}]}


def one_off(name, address, kind="SMTP"):
    return ("00000000" + "812B1FA4BEA310199D6E00DD010F5402" + "0000" + "0180" +
            (name + "\0" + kind + "\0" + address + "\0").encode("utf-16-le").hex())


def wrapped(kind, entry):
    """A distribution list's member entry id: 0 one-off, 0x83 a contact's first address, 0x84 a list."""
    return "00000000" + "C091ADD3519DCF11A4A900AA0047FAA4" + f"{kind:02X}" + entry


def stored(position):
    """The store's entry id of the message storegen writes at this position (from 0x400, in order)."""
    nid = ((0x400 + position) << 5) | 4
    return "00000000" + "00" * 16 + struct.pack("<I", nid).hex()


def members(entries):
    """Both member lists: the entry ids, and beside them one-off entries (name and address as added)."""
    return [{"named": {"set": "address", "lid": 0x8055}, "type": "mvbinary", "value": [e for e, _ in entries]},
            {"named": {"set": "address", "lid": 0x8054}, "type": "mvbinary", "value": [o for _, o in entries]}]


MEMBERS = [("Zoë (work)", "zoe@example.com"), ("Ann Ärger", "ann@example.com"), ("Bob", "bob@example.com")]
# The contact (the second message written) as it is now, not as its stale one-off entry says.
GROUP = {"class": "IPM.DistList", "subject": "Team Ä",
         "properties": [tag(0x3001, "unicode", "Team Ä")] + members(
             [(wrapped(0x83, stored(1)), one_off("Zoë old", "zoe-old@example.com"))] +
             [(wrapped(0, one_off(n, a)), one_off(n, a)) for n, a in MEMBERS[1:]] +
             [(wrapped(0, one_off("Ex User", "/o=Org/cn=ex", "EX")), one_off("Ex User", "/o=Org/cn=ex", "EX"))])}
# A list holding the one above (the third message written) and a member of its own.
EVERYONE = {"class": "IPM.DistList", "subject": "Everyone",
            "properties": [tag(0x3001, "unicode", "Everyone")] + members(
                [(wrapped(0x84, stored(2)), one_off("Team Ä", "")),
                 (wrapped(0, one_off("Cy", "cy@example.com")), one_off("Cy", "cy@example.com"))])}

# Appointments: (subject, description fields, expectations)
MEETING_START = local(2024, 3, 25, 9, 0)


def appointment(subject, start, end, zone=EUROPE, all_day=False, recur=None, extra=(), recipients=(),
                attachments=(), body=None, html=None):
    props = [named("appointment", 0x820D, "time", filetime(start)),
             named("appointment", 0x820E, "time", filetime(end)),
             named("appointment", 0x8215, "bool", all_day),
             named("appointment", 0x8205, "int32", 2),
             tag(0x3008, "time", "2024-01-02T03:04:05Z")]
    if zone:
        props.append(named("appointment", 0x825E, "binary", zone))
    if recur:
        props += [named("appointment", 0x8223, "bool", True), named("appointment", 0x8216, "binary", recur),
                  named("appointment", 0x8260, "binary", zone)]
    props += list(extra)
    message = {"class": "IPM.Appointment", "subject": subject, "properties": props,
               "recipients": list(recipients), "attachments": list(attachments)}
    if body:
        message["plainBody"] = body
    if html:
        message["htmlBody"] = html
    return message


WEEKLY_EXCEPTIONS = [(dt.date(2024, 4, 8), dt.datetime(2024, 4, 9, 10, 0), dt.datetime(2024, 4, 9, 11, 30),
                      "Moved ✓", "Room Ü"),
                     (dt.date(2024, 4, 10), dt.datetime(2024, 4, 10), dt.datetime(2024, 4, 11), "Offsite", "Lake",
                      {REMINDER_DELTA: 5, REMINDER_SET: 1, BUSY: 3, ATTACHMENT: 1, ALL_DAY: 1, OWN_BODY: None})]
SERIES_ATTACHMENT = b"series \x01"
OFFSITE_ATTACHMENT = b"route \x00\xfe" * 5


def instance_attachment(new_start, new_end, message):
    """A modified instance as Outlook keeps it: a hidden embedded message of the series."""
    return {"method": "embedded", "filename": "Untitled",
            "properties": [tag(0x7FFE, "bool", True), tag(0x7FFD, "int32", 2),
                           tag(0x7FFB, "time", new_start.strftime("%Y-%m-%dT%H:%M:%SZ")),
                           tag(0x7FFC, "time", new_end.strftime("%Y-%m-%dT%H:%M:%SZ"))],
            "message": message}


# The moved instance's message is found by its attachment's start (it lacks the start it replaces),
# the offsite day's by the start it replaces.
WEEKLY_ATTACHMENTS = [
    {"filename": "series.bin", "data": {"hex": SERIES_ATTACHMENT.hex()}},
    instance_attachment(WEEKLY_EXCEPTIONS[0][1], WEEKLY_EXCEPTIONS[0][2], {
        "class": "IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}", "subject": "Moved ✓",
        "plainBody": "Bring the slides", "properties": [
            named("appointment", 0x820D, "time", filetime(local(2024, 4, 9, 10, 0))),
            named("appointment", 0x820E, "time", filetime(local(2024, 4, 9, 11, 30)))]}),
    instance_attachment(WEEKLY_EXCEPTIONS[1][1], WEEKLY_EXCEPTIONS[1][2], {
        "class": "IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}", "subject": "Offsite",
        "plainBody": "Whole day at the lake", "htmlBody": "<p>Whole day at the <b>lake</b></p>",
        "properties": [
            named("appointment", 0x8228, "time", filetime(local(2024, 4, 10, 9, 0))),
            named("appointment", 0x820D, "time", filetime(local(2024, 4, 10, 0, 0))),
            named("appointment", 0x820E, "time", filetime(local(2024, 4, 11, 0, 0))),
            named("appointment", 0x8215, "bool", True), named("appointment", 0x8205, "int32", 3),
            named("common", 0x8503, "bool", True), named("common", 0x8501, "int32", 5)],
        "attachments": [{"filename": "route.bin", "mimeType": "application/octet-stream",
                         "data": {"hex": OFFSITE_ATTACHMENT.hex()}}]}),
]
SERIES = {
    # subject: (first local start, blob, expected local instance starts (first ones for open ends))
    "Weekly Mon Wed": (local(2024, 3, 25, 9, 0),
                       recurrence(WEEKLY, 1, 1, struct.pack("<I", 0b0001010), dt.datetime(2024, 3, 25, 9, 0),
                                  END_COUNT, count=6, deleted=[dt.date(2024, 4, 3)],
                                  exceptions=WEEKLY_EXCEPTIONS),
                       [(2024, 3, 25), (2024, 3, 27), (2024, 4, 1), (2024, 4, 8), (2024, 4, 10)]),
    "Every second day": (local(2024, 3, 29, 9, 0),
                         recurrence(DAILY, 0, 2880, b"", dt.datetime(2024, 3, 29, 9, 0), END_DATE,
                                    end=dt.date(2024, 4, 4)),
                         [(2024, 3, 29), (2024, 3, 31), (2024, 4, 2), (2024, 4, 4)]),
    "Monthly on the 31st": (local(2024, 1, 31, 9, 0),
                            recurrence(MONTHLY, 2, 1, struct.pack("<I", 31), dt.datetime(2024, 1, 31, 9, 0),
                                       END_COUNT, count=4),
                            [(2024, 1, 31), (2024, 2, 29), (2024, 3, 31), (2024, 4, 30)]),
    "Second Tuesday": (local(2024, 3, 12, 9, 0),
                       recurrence(MONTHLY, 3, 1, struct.pack("<II", 0b0000100, 2),
                                  dt.datetime(2024, 3, 12, 9, 0), END_NEVER),
                       [(2024, 3, 12), (2024, 4, 9), (2024, 5, 14)]),
    "Last Friday every 2 months": (local(2024, 3, 29, 9, 0),
                                   recurrence(MONTHLY, 3, 2, struct.pack("<II", 0b0100000, 5),
                                              dt.datetime(2024, 3, 29, 9, 0), END_COUNT, count=3),
                                   [(2024, 3, 29), (2024, 5, 31), (2024, 7, 26)]),
    "Yearly 15 March": (local(2024, 3, 15, 9, 0),
                        recurrence(YEARLY, 2, 12, struct.pack("<I", 15), dt.datetime(2024, 3, 15, 9, 0),
                                   END_COUNT, count=3),
                        [(2024, 3, 15), (2025, 3, 15), (2026, 3, 15)]),
    "Fourth Thursday of November": (local(2024, 11, 28, 9, 0),
                                    recurrence(YEARLY, 3, 12, struct.pack("<II", 0b0010000, 4),
                                               dt.datetime(2024, 11, 28, 9, 0), END_NEVER),
                                    [(2024, 11, 28), (2025, 11, 27), (2026, 11, 26)]),
}

ATTENDEES = [
    {"name": "Org Anizer", "email": "org@example.com", "properties": [tag(0x5FFD, "int32", 3), tag(0x5FFF, "int32", 1)]},
    {"name": "Ann Ärger", "email": "ann@example.com", "properties": [tag(0x5FFD, "int32", 1), tag(0x5FFF, "int32", 3)]},
    {"name": "Bob", "email": "bob@example.com", "type": "cc", "properties": [tag(0x5FFD, "int32", 1), tag(0x5FFF, "int32", 4)]},
]
ATTACHMENT = b"agenda \x00\xff" * 10

CALENDAR = [
    appointment("Planning, Q2; Ü", MEETING_START, MEETING_START + dt.timedelta(hours=1),
                extra=[named("appointment", 0x8208, "unicode", "Room 1, Floor 2"), tag(0x0036, "int32", 2),
                       named("common", 0x8503, "bool", True), named("common", 0x8501, "int32", 30),
                       categories(["Work", "Planning; Q2"]),
                       tag(0x0042, "unicode", "Org Anizer"), tag(0x5D02, "unicode", "org@example.com")],
                recipients=ATTENDEES,
                attachments=[{"filename": "agenda.bin", "mimeType": "application/octet-stream",
                              "data": {"hex": ATTACHMENT.hex()}}],
                body="Agenda:\n1. Plans", html="<p>Agenda</p>"),
    appointment("Holiday", dt.datetime(2024, 5, 1, 0, 0, tzinfo=EUROPE_TZ),
                dt.datetime(2024, 5, 2, 0, 0, tzinfo=EUROPE_TZ), all_day=True),
    appointment("No zone", dt.datetime(2024, 6, 1, 12, 0, tzinfo=UTC), dt.datetime(2024, 6, 1, 13, 0, tzinfo=UTC),
                zone=None),
] + [appointment(subject, start, start + dt.timedelta(hours=1), recur=blob,
                 attachments=WEEKLY_ATTACHMENTS if subject == "Weekly Mon Wed" else ())
     for subject, (start, blob, _) in SERIES.items()
] + [appointment(f"Eastern {day}", eastern_start(day), eastern_start(day) + dt.timedelta(hours=1), zone=EASTERN)
     for day in EASTERN_DAYS
] + [appointment("Old Eastern", OLD_EASTERN_START, OLD_EASTERN_START + dt.timedelta(hours=1), zone=OLD_EASTERN)]

TASK = {"subject": "Write report ✓", "start": dt.date(2024, 4, 2), "due": dt.date(2024, 4, 9),
        "completed": dt.datetime(2024, 4, 8, 15, 0, tzinfo=UTC), "percent": 0.75, "status": 1}
TASKS = [{"class": "IPM.Task", "subject": TASK["subject"], "plainBody": "Numbers, tables; charts",
          "properties": [named("task", 0x8104, "time", TASK["start"].isoformat() + "T00:00:00Z"),
                         named("task", 0x8105, "time", TASK["due"].isoformat() + "T00:00:00Z"),
                         named("task", 0x810F, "time", filetime(TASK["completed"])),
                         named("task", 0x8102, "float64", TASK["percent"]),
                         named("task", 0x8101, "int32", TASK["status"]),
                         named("task", 0x8116, "binary",
                               recurrence(WEEKLY, 1, 1, struct.pack("<I", 0b0000100), dt.datetime(2024, 4, 2),
                                          END_COUNT, count=3)),
                         tag(0x0017, "int32", 2), tag(0x3008, "time", "2024-01-02T03:04:05Z"),
                         categories(["Reports"])]}]

NOTE_TEXT = "Buy milk\nand bread – über"
DESCRIPTION = {
    "type": "ost",
    "folders": [{"name": "Top of Personal Folders", "role": "ipmSubtree", "folders": [
        {"name": "Inbox", "containerClass": "IPF.Note", "messages": [
            {"subject": "A mail", "plainBody": "Hello", "properties": [tag(0x0E06, "time", "2024-03-01T10:00:00Z")]}]},
        {"name": "Contacts", "containerClass": "IPF.Contact", "messages": [contact_message(CONTACT), GROUP, EVERYONE]},
        {"name": "Calendar", "containerClass": "IPF.Appointment", "messages": CALENDAR},
        {"name": "Tasks", "containerClass": "IPF.Task", "messages": TASKS},
        {"name": "Notes", "containerClass": "IPF.StickyNote", "messages": [
            {"class": "IPM.StickyNote", "subject": "Buy milk", "plainBody": NOTE_TEXT,
             "properties": [tag(0x3008, "time", "2024-01-02T03:04:05Z")]}]},
        {"name": "Journal", "containerClass": "IPF.Journal", "messages": [
            {"class": "IPM.Activity", "subject": "Call with Ann", "plainBody": "Talked",
             "properties": [named("common", 0x8706, "time", "2024-02-03T10:00:00Z")]}]},
    ]}],
}


# ---- running -------------------------------------------------------------------------------------

def run(*arguments, expect=(0,)):
    result = subprocess.run([ost2eml, "convert", *arguments], capture_output=True, text=True)
    check(result.returncode in expect, f"convert {arguments}: exit {result.returncode}: {result.stderr}")
    return result


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def tree(root):
    files = {}
    for directory, _, names in os.walk(root):
        for name in names:
            if name.startswith(".ost2eml-"):  # what re-runs read, with the files' sizes and times
                continue
            path = os.path.join(directory, name)
            files[os.path.relpath(path, root)] = read(path)
    return files


def as_utc(value):
    return value.astimezone(UTC) if isinstance(value, dt.datetime) else value


def parse_calendar(data):
    return icalendar.Calendar.from_ical(data)


def unfolded_lines(data):
    return data.decode("utf-8").replace("\r\n ", "").split("\r\n")


def check_vcard(card, version, raw):
    c = CONTACT
    equal(card.version.value, version, "vCard version")
    equal(card.fn.value, c["display"], "FN")
    n = card.n.value
    equal((n.family, n.given, n.additional, n.prefix, n.suffix),
          (c["surname"], c["given"], c["middle"], c["prefix"], c["suffix"]), "N")
    equal(card.x_file_as.value, c["file_as"], "file-as")
    equal(card.nickname.value, c["nickname"], "NICKNAME")
    emails = [(e.params.get("X-CN", [""])[0], e.value) for e in card.contents["email"]]
    equal(emails, c["emails"], "EMAIL with display names")
    phones = sorted(t.value for t in card.contents["tel"])
    equal(phones, sorted(c["phones"].values()), "TEL")
    cell = [t for t in card.contents["tel"] if t.value == c["phones"][0x3A1C]][0]
    check("cell" in [v.lower() for v in cell.params["TYPE"][0].split(",")] or
          "cell" in [v.lower() for v in cell.params["TYPE"]], f"mobile phone type {cell.params}")
    addresses = {}
    for adr in card.contents["adr"]:
        kind = ",".join(adr.params["TYPE"]).lower()
        a = adr.value
        addresses[kind] = (a.box, a.street, a.city, a.region, a.code, a.country)
    equal(addresses.get("work"), c["work"], "work address")
    equal(addresses.get("home"), c["home"], "home address")
    equal(addresses.get("x-other"), c["other"], "other address")
    equal(card.org.value, [c["company"], c["department"]], "ORG")
    equal(card.title.value, c["title"], "TITLE")
    equal(card.x_ms_manager.value, c["manager"], "manager")
    equal(card.x_ms_assistant.value, c["assistant"], "assistant")
    equal(sorted(u.value for u in card.contents["url"]), sorted([c["home_page"], c["work_page"]]), "URL")
    bday = card.bday.value.replace("-", "")
    equal(bday, c["birthday"].strftime("%Y%m%d"), "BDAY")
    anniversary = card.contents["anniversary" if version == "4.0" else "x-anniversary"][0].value
    equal(anniversary.replace("-", ""), c["anniversary"].strftime("%Y%m%d"), "anniversary")
    equal(card.note.value, c["note"], "NOTE")
    equal(card.categories.value, c["categories"], "CATEGORIES")
    if version == "4.0":
        # vobject splits a 4.0 data URI at its comma: the unfolded line is read here instead.
        photo = [line for line in unfolded_lines(raw) if line.startswith("PHOTO:")]
        check(len(photo) == 1 and photo[0].startswith("PHOTO:data:image/jpeg;base64,"), "PHOTO data URI")
        if photo:
            equal(base64.b64decode(photo[0].split(",", 1)[1]), PHOTO, "PHOTO bytes")
    else:
        equal(card.photo.value, PHOTO, "PHOTO bytes (3.0)")


def check_group(card, version, name="Team Ä", expected=MEMBERS):
    equal(card.fn.value, name, "group FN")
    if version == "4.0":
        equal(card.kind.value, "group", "KIND")
        members = card.contents["member"]
    else:
        members = card.contents["x-addressbookserver-member"]
    equal([(m.params["X-CN"][0], m.value) for m in members],
          [(n, "mailto:" + a) for n, a in expected], f"{name}: MEMBER")


def attachments_of(event):
    attach = event.get("attach")
    return attach if isinstance(attach, list) else [attach] if attach is not None else []


def check_calendar(calendar):
    zones = {}
    for component in calendar.walk("VTIMEZONE"):
        zones[str(component["tzid"])] = dateutil_tz.tzical(io.StringIO(component.to_ical().decode())).get()
    check("W. Europe Standard Time" in zones, "VTIMEZONE for the stored definition")
    check("Eastern Standard Time" in zones, "VTIMEZONE for the definition with two rules")

    def when(event, name):
        prop = event[name]
        value = prop.dt
        tzid = prop.params.get("TZID")
        if tzid and isinstance(value, dt.datetime):
            value = value.replace(tzinfo=zones[str(tzid)])
        return value

    events = {}
    overrides = []
    for event in calendar.walk("VEVENT"):
        if "recurrence-id" in event:
            overrides.append(event)
        else:
            events[str(event["summary"])] = event
    equal(sorted(events), sorted(["Planning, Q2; Ü", "Holiday", "No zone"] + list(SERIES) +
                                 [f"Eastern {day}" for day in EASTERN_DAYS] + ["Old Eastern"]), "VEVENT summaries")

    # Two definitions under one name: the second is written under a name of its own.
    old = events["Old Eastern"]
    equal(str(old["dtstart"].params.get("TZID")), "Eastern Standard Time (2)", "second definition's TZID")
    equal(as_utc(when(old, "dtstart")), OLD_EASTERN_START.astimezone(UTC), "second definition's UTC start")

    # Each year by the rule of its own: the local time written and the zone's offset for it.
    for day, hours in EASTERN_DAYS.items():
        event = events[f"Eastern {day}"]
        equal(event["dtstart"].dt.replace(tzinfo=None), dt.datetime(day.year, day.month, day.day, 10, 0),
              f"Eastern {day}: local start")
        equal(as_utc(when(event, "dtstart")), eastern_start(day).astimezone(UTC), f"Eastern {day}: UTC start")

    meeting = events["Planning, Q2; Ü"]
    equal(as_utc(when(meeting, "dtstart")), MEETING_START.astimezone(UTC), "meeting start")
    equal(as_utc(when(meeting, "dtend")), (MEETING_START + dt.timedelta(hours=1)).astimezone(UTC), "meeting end")
    equal(str(meeting["location"]), "Room 1, Floor 2", "LOCATION")
    equal(str(meeting["description"]), "Agenda:\n1. Plans", "DESCRIPTION")
    equal(str(meeting["x-alt-desc"]), "<p>Agenda</p>", "X-ALT-DESC")
    equal(str(meeting["class"]), "PRIVATE", "CLASS")
    equal(list(meeting["categories"].cats), ["Work", "Planning; Q2"], "CATEGORIES")
    equal(str(meeting["organizer"]), "mailto:org@example.com", "ORGANIZER")
    attendees = meeting.get("attendee")
    attendees = attendees if isinstance(attendees, list) else [attendees]
    equal([(str(a), a.params["CN"], a.params["ROLE"], a.params["PARTSTAT"]) for a in attendees],
          [("mailto:ann@example.com", "Ann Ärger", "REQ-PARTICIPANT", "ACCEPTED"),
           ("mailto:bob@example.com", "Bob", "OPT-PARTICIPANT", "DECLINED")], "ATTENDEE")
    alarms = meeting.walk("VALARM")
    equal(len(alarms), 1, "VALARM")
    if alarms:
        equal(alarms[0].decoded("trigger"), dt.timedelta(minutes=-30), "TRIGGER")
    attach = meeting["attach"]
    equal(attach.params.get("X-FILENAME"), "agenda.bin", "ATTACH name")
    equal(base64.b64decode(str(attach)), ATTACHMENT, "ATTACH bytes")

    holiday = events["Holiday"]
    equal(holiday.decoded("dtstart"), dt.date(2024, 5, 1), "all-day start")
    equal(holiday.decoded("dtend"), dt.date(2024, 5, 2), "all-day end")
    no_zone = events["No zone"]
    equal(no_zone.decoded("dtstart"), dt.datetime(2024, 6, 1, 12, 0, tzinfo=UTC), "UTC start without a zone")

    for subject, (start, _, expected) in SERIES.items():
        event = events[subject]
        equal(as_utc(when(event, "dtstart")), start.astimezone(UTC), f"{subject}: start")
        start_tz = when(event, "dtstart")
        rule = dateutil_rrule.rrulestr(event["rrule"].to_ical().decode(), dtstart=start_tz, forceset=True)
        exdates = event.get("exdate")
        for group in (exdates if isinstance(exdates, list) else [exdates] if exdates else []):
            for value in group.dts:
                rule.exdate(value.dt.replace(tzinfo=zones[str(group.params["TZID"])]))
        got = [w for _, w in zip(range(len(expected)), rule)]
        # Instances keep their local time across the daylight-saving change.
        want = [local(y, m, d, start.hour, start.minute) for y, m, d in expected]
        equal([w.astimezone(UTC) for w in got], [w.astimezone(UTC) for w in want], f"{subject}: instances")

    # The series lists its own attachment only; its instances' messages are attachments too.
    weekly = events["Weekly Mon Wed"]
    equal([(a.params.get("X-FILENAME"), base64.b64decode(str(a))) for a in attachments_of(weekly)],
          [("series.bin", SERIES_ATTACHMENT)], "series ATTACH")
    equal(len(overrides), 2, "modified instances")
    for override in overrides:
        equal(str(override["uid"]), str(weekly["uid"]), "RECURRENCE-ID's UID")
    by_summary = {str(o["summary"]): o for o in overrides}
    moved = by_summary.get("Moved ✓")
    check(moved is not None, "moved instance")
    if moved:
        equal(as_utc(when(moved, "recurrence-id")), local(2024, 4, 8, 9, 0).astimezone(UTC), "RECURRENCE-ID")
        equal(as_utc(when(moved, "dtstart")), local(2024, 4, 9, 10, 0).astimezone(UTC), "moved start")
        equal(as_utc(when(moved, "dtend")), local(2024, 4, 9, 11, 30).astimezone(UTC), "moved end")
        equal(str(moved["location"]), "Room Ü", "moved location")
        equal(str(moved["description"]), "Bring the slides", "moved DESCRIPTION, from its message")
        equal(attachments_of(moved), [], "moved ATTACH")
        check("valarm" not in [c.name.lower() for c in moved.subcomponents], "moved: the series' reminder")
    offsite = by_summary.get("Offsite")
    check(offsite is not None, "all-day instance")
    if offsite:
        # The series is timed, so the instance it replaces is named by a date-time.
        equal(as_utc(when(offsite, "recurrence-id")), local(2024, 4, 10, 9, 0).astimezone(UTC),
              "all-day instance's RECURRENCE-ID")
        equal(offsite.decoded("dtstart"), dt.date(2024, 4, 10), "all-day instance's start")
        equal(offsite.decoded("dtend"), dt.date(2024, 4, 11), "all-day instance's end")
        equal(str(offsite["location"]), "Lake", "all-day instance's location")
        equal(str(offsite["description"]), "Whole day at the lake", "all-day instance's DESCRIPTION")
        equal(str(offsite["x-alt-desc"]), "<p>Whole day at the <b>lake</b></p>", "all-day instance's X-ALT-DESC")
        equal((str(offsite["transp"]), str(offsite["x-microsoft-cdo-busystatus"])), ("OPAQUE", "OOF"),
              "all-day instance's busy status")
        equal([a.decoded("trigger") for a in offsite.walk("VALARM")], [dt.timedelta(minutes=-5)],
              "all-day instance's reminder")
        equal([(a.params.get("X-FILENAME"), base64.b64decode(str(a))) for a in attachments_of(offsite)],
              [("route.bin", OFFSITE_ATTACHMENT)], "all-day instance's ATTACH")


def check_tasks(calendar):
    todos = calendar.walk("VTODO")
    equal(len(todos), 1, "VTODO count")
    if not todos:
        return
    todo = todos[0]
    equal(str(todo["summary"]), TASK["subject"], "task SUMMARY")
    equal(str(todo["description"]), "Numbers, tables; charts", "task DESCRIPTION")
    equal(todo.decoded("dtstart"), TASK["start"], "task DTSTART")
    equal(todo.decoded("due"), TASK["due"], "task DUE")
    equal(todo.decoded("completed"), TASK["completed"], "task COMPLETED")
    equal(int(todo["percent-complete"]), 75, "PERCENT-COMPLETE")
    equal(str(todo["status"]), "IN-PROCESS", "task STATUS")
    equal(int(todo["priority"]), 1, "task PRIORITY")
    equal(list(todo["categories"].cats), ["Reports"], "task CATEGORIES")
    start = dt.datetime.combine(todo.decoded("dtstart"), dt.time())
    rule = dateutil_rrule.rrulestr(todo["rrule"].to_ical().decode(), dtstart=start)
    equal([d.date() for d in rule], [dt.date(2024, 4, 2), dt.date(2024, 4, 9), dt.date(2024, 4, 16)],
          "task recurrence")


def check_sample(store, work):
    result = subprocess.run([expectations_tool, "--pim", store], capture_output=True, text=True)
    if result.returncode != 0:
        return False  # not an offline store, or one that must be refused
    expected = [json.loads(line) for line in result.stdout.splitlines()]
    if not expected:
        return False
    out = os.path.join(work, os.path.basename(store) + ".out")
    run(store, out, "--all", "--no-mail", expect=(0, 2))
    cards, events, todos = [], [], []
    for path, data in sorted(tree(out).items()):
        if path.endswith(".vcf"):
            cards += list(vobject.readComponents(data.decode("utf-8")))
        elif path.endswith(".ics"):
            calendar = parse_calendar(data)
            events += calendar.walk("VEVENT")
            todos += calendar.walk("VTODO")
    name = os.path.basename(store)
    got_contacts = sorted(
        (c.fn.value, c.n.value.given, c.n.value.family, [e.value for e in c.contents.get("email", [])],
         sorted(t.value for t in c.contents.get("tel", [])),
         c.org.value[0] if "org" in c.contents else "", c.title.value if "title" in c.contents else "")
        for c in cards)
    want_contacts = sorted(
        (e["name"], e["given"], e["surname"], e["emails"], sorted(e["phones"]), e["company"], e["title"])
        for e in expected if e["kind"] == "contact")
    equal(got_contacts, want_contacts, f"{name}: contacts")

    got_events = sorted((str(e.get("summary", "")), str(e.get("location", ""))) for e in events)
    want_events = sorted((e["subject"], e["location"]) for e in expected if e["kind"] == "appointment")
    equal(got_events, want_events, f"{name}: appointments")
    for event in events:
        match = [e for e in expected if e["kind"] == "appointment" and e["subject"] == str(event.get("summary", ""))]
        if not match or match[0]["start"] is None:
            continue
        start = event.decoded("dtstart")
        if isinstance(start, dt.datetime) and "TZID" in event["dtstart"].params:
            continue  # compared by the generated stores, whose zones are known
        if isinstance(start, dt.datetime):
            equal(start.astimezone(UTC), dt.datetime.fromisoformat(match[0]["start"]), f"{name}: start")
    equal(sorted(str(t.get("summary", "")) for t in todos),
          sorted(e["subject"] for e in expected if e["kind"] == "task"), f"{name}: tasks")
    return True


def check_demo(work):
    """The demo store's daily stand-up is a real series: one meeting cancelled, one moved."""
    store = os.path.join(work, "demo.ost")
    subprocess.run([storegen, "--demo", "--force", "-o", store], check=True, capture_output=True)
    out = os.path.join(work, "demo-out")
    run(store, out, "--calendar")
    calendar = parse_calendar(read(os.path.join(out, "demo.ost", "Top of Personal Folders", "Calendar",
                                                "Calendar.ics")))
    events = [e for e in calendar.walk("VEVENT") if str(e["summary"]).startswith("Team stand-up")]
    series = [e for e in events if "RECURRENCE-ID" not in e]
    moved = [e for e in events if "RECURRENCE-ID" in e]
    equal(len(series), 1, "the stand-up series")
    equal(len(moved), 1, "the stand-up's moved meeting")
    if len(series) != 1 or len(moved) != 1:
        return
    start = series[0].decoded("dtstart")
    rule = dateutil_rrule.rrulestr(series[0]["rrule"].to_ical().decode(), dtstart=start, forceset=True)
    for exdate in series[0].get("exdate").dts:
        rule.exdate(exdate.dt)
    week = [d.date() for d in rule.between(dt.datetime(2024, 10, 12, tzinfo=UTC), dt.datetime(2024, 10, 19,
                                                                                              tzinfo=UTC))]
    equal(week, [dt.date(2024, 10, d) for d in (15, 16, 17, 18)], "the second week's meetings, 14 October cancelled")
    equal((moved[0].decoded("recurrence-id"), moved[0].decoded("dtstart"), str(moved[0]["location"])),
          (dt.datetime(2024, 10, 16, 9, 0, tzinfo=UTC), dt.datetime(2024, 10, 16, 10, 0, tzinfo=UTC), "Room 3.01"),
          "the moved meeting")
    report = read(os.path.join(out, "conversion-report.txt"))
    check(b"recurr" not in report, f"nothing is reported of the demo's series: {report!r}")


def main():
    with tempfile.TemporaryDirectory() as temporary:
        # KEEP_OUTPUT=DIR keeps the store and the files for a look.
        work = os.environ.get("KEEP_OUTPUT") or temporary
        os.makedirs(work, exist_ok=True)
        check_demo(work)
        description = os.path.join(work, "pim.json")
        with open(description, "w") as handle:
            json.dump(DESCRIPTION, handle)
        store = os.path.join(work, "pim.ost")
        subprocess.run([storegen, description, "-o", store], check=True)

        out = os.path.join(work, "out")
        # Exit 2: a list member without an Internet address is left out (and reported).
        run(store, out, "--all", expect=(2,))
        root = os.path.join(out, "pim.ost", "Top of Personal Folders")
        files = tree(root)
        equal(sorted(files), sorted(["Inbox/00001 A mail.eml", "Contacts/Contacts.vcf", "Calendar/Calendar.ics",
                                     "Tasks/Tasks.ics", "Notes/00021 Buy milk.txt", "Journal/Journal.ics"]),
              "files written")
        cards = list(vobject.readComponents(files["Contacts/Contacts.vcf"].decode("utf-8")))
        equal(len(cards), 3, "vCards in the folder's file")
        if len(cards) == 3:
            check_vcard(cards[0], "4.0", files["Contacts/Contacts.vcf"])
            check_group(cards[1], "4.0")
            check_group(cards[2], "4.0", "Everyone", MEMBERS + [("Cy", "cy@example.com")])
        calendar = parse_calendar(files["Calendar/Calendar.ics"])
        check_calendar(calendar)
        check_tasks(parse_calendar(files["Tasks/Tasks.ics"]))
        journal = parse_calendar(files["Journal/Journal.ics"]).walk("VJOURNAL")
        equal([(str(j["summary"]), j.decoded("dtstart")) for j in journal],
              [("Call with Ann", dt.datetime(2024, 2, 3, 10, 0, tzinfo=UTC))], "VJOURNAL")
        equal(files["Notes/00021 Buy milk.txt"].decode("utf-8"), NOTE_TEXT, "note text")
        # vobject's own parser reads the calendar too.
        check(len(list(vobject.readComponents(files["Calendar/Calendar.ics"].decode("utf-8")))) == 1,
              "vobject reads the calendar")

        report = json.loads(read(os.path.join(out, "conversion-report.json")))
        equal(report["totals"].get("kinds"),
              {"appointment": {"items": 15, "written": 15, "alreadyThere": 0, "failed": 0, "filteredOut": 0},
               "contact": {"items": 3, "written": 3, "alreadyThere": 0, "failed": 0, "filteredOut": 0},
               "journal entry": {"items": 1, "written": 1, "alreadyThere": 0, "failed": 0, "filteredOut": 0},
               "note": {"items": 1, "written": 1, "alreadyThere": 0, "failed": 0, "filteredOut": 0},
               "task": {"items": 1, "written": 1, "alreadyThere": 0, "failed": 0, "filteredOut": 0}}, "report counts")
        reasons = [n["reason"] for f in report["folders"] for n in f.get("incomplete", [])]
        check(any("member 4 (Ex User) has no Internet address" in r for r in reasons),
              f"a member left out is reported: {reasons}")
        check(b"appointment items 15, written 15, failed 0" in read(os.path.join(out, "conversion-report.txt")),
              "text report counts appointments")

        again = os.path.join(work, "again")
        run(store, again, "--all", expect=(2,))
        equal(tree(os.path.join(again, "pim.ost")), tree(os.path.join(out, "pim.ost")), "second run, same bytes")

        # Nothing depends on the reader: libpff's gives the same files.
        libpff = os.path.join(work, "libpff")
        run(store, libpff, "--all", "--reader", "libpff", expect=(2,))
        equal(tree(os.path.join(libpff, "pim.ost")), tree(os.path.join(out, "pim.ost")), "libpff reader, same bytes")

        # Into the same destination again: what is there stays as it is; a file of the name with
        # other bytes is kept, and the contacts get a name with a number.
        run(store, out, "--contacts", "--no-mail", expect=(2,))
        check(not os.path.exists(os.path.join(root, "Contacts", "Contacts (2).vcf")), "the same file is already there")
        with open(os.path.join(root, "Contacts", "Contacts.vcf"), "ab") as f:
            f.write(b"changed\r\n")
        run(store, out, "--contacts", "--no-mail", expect=(2,))
        check(os.path.exists(os.path.join(root, "Contacts", "Contacts (2).vcf")), "a taken name gets a number")

        three = os.path.join(work, "three")
        run(store, three, "--contacts", "--vcard", "3", expect=(2,))
        raw = read(os.path.join(three, "pim.ost", "Top of Personal Folders", "Contacts", "Contacts.vcf"))
        cards = list(vobject.readComponents(raw.decode("utf-8")))
        if len(cards) == 3:
            check_vcard(cards[0], "3.0", raw)
            check_group(cards[1], "3.0")
        check(not os.path.exists(os.path.join(three, "pim.ost", "Top of Personal Folders", "Calendar")),
              "only the chosen kinds are written")
        summary = read(os.path.join(three, "conversion-report.txt")).decode("utf-8")
        check("Items of kinds not chosen, not converted: 18 (activity 1, appointment 15, note 1, task 1)" in summary,
              "the report names the kinds left out")

        mail_only = os.path.join(work, "mail")
        run(store, mail_only)
        written = tree(os.path.join(mail_only, "pim.ost"))
        equal(sorted(written), ["Top of Personal Folders/Inbox/00001 A mail.eml"], "mail only without the options")

        since = os.path.join(work, "since")
        run(store, since, "--calendar", "--since", "2024-05-01", "--folder", "Calendar")
        events = parse_calendar(read(os.path.join(since, "pim.ost", "Top of Personal Folders",
                                                                "Calendar", "Calendar.ics"))).walk("VEVENT")
        equal(sorted({str(e["summary"]) for e in events}), ["Fourth Thursday of November", "No zone"],
              "--since compares appointments by their start")

        # Golden files, reviewed by hand: one contact, one recurring meeting with exceptions, one task.
        golden = {
            "contact.vcf": files["Contacts/Contacts.vcf"].split(b"END:VCARD\r\n")[0] + b"END:VCARD\r\n",
            "task.ics": files["Tasks/Tasks.ics"],
        }
        text = files["Calendar/Calendar.ics"].decode("utf-8")
        head = text.split("BEGIN:VEVENT")[0]
        series = [part for part in text.split("BEGIN:VEVENT")[1:] if "Weekly Mon Wed" in part or "Moved" in part or "Offsite" in part]
        golden["recurring-meeting.ics"] = (head + "".join("BEGIN:VEVENT" + p.replace("END:VCALENDAR\r\n", "")
                                                          for p in series) + "END:VCALENDAR\r\n").encode("utf-8")
        for name, content in golden.items():
            path = os.path.join(GOLDEN, name)
            if os.environ.get("REGENERATE_GOLDEN"):
                os.makedirs(GOLDEN, exist_ok=True)
                with open(path, "wb") as handle:
                    handle.write(content)
            elif not os.path.exists(path):
                check(False, f"golden file {name} missing")
            else:
                equal(content.decode("utf-8"), read(path).decode("utf-8"), f"golden file {name}")

        if samples and os.path.isdir(samples):
            checked = [store for store in sorted(os.listdir(samples)) if store.endswith(".ost")
                       and check_sample(os.path.join(samples, store), work)]
            print("sample stores with contacts, appointments or tasks:", ", ".join(checked))

    if failures:
        print(f"{len(failures)} failures")
        sys.exit(1)
    print("all checks passed")


main()
