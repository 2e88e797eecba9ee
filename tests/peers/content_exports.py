#!/usr/bin/env python3
"""vexlin-dump --export read back by standard libraries (vobject for vCard, icalendar for
iCalendar, Python's mailbox and email for mboxrd): every exported field equal to what
--json --content says. Exits 77 (skipped) when a library is missing.

Usage: content_exports.py VEXLIN_DUMP MAKE_CONTENT_SAMPLES CORPUS_DIR"""
import datetime
import email.header
import email.utils
import json
import mailbox
import os
import re
import subprocess
import sys
import tempfile

try:
    import icalendar
    import vobject
except ImportError as missing:
    print(f"SKIP: {missing.name} is not installed (Debian: python3-vobject, python3-icalendar)")
    sys.exit(77)

CORPUS = [("palmpdb_MemoDB.pdb", "cp1252"), ("pypalmdb_ToDoDB_secret-record.pdb", "cp1252"),
          ("palmpdb_DatebookDB_open-attr.pdb", "cp1252"), ("p5palm_MailDB.pdb", "cp1252"),
          ("palmpdb_AddressDB-PalmV-JP.pdb", "cp932")]
FIELDS = ["LastName", "FirstName", "Company", "Phone1", "Phone2", "Phone3", "Phone4", "Phone5",
          "Address", "City", "State", "ZipCode", "Country", "Title", "Custom1", "Custom2",
          "Custom3", "Custom4", "Note"]
PHONE_TYPES = [{"WORK", "VOICE"}, {"HOME", "VOICE"}, {"FAX"}, {"VOICE"}, {"INTERNET"},
               {"X-MAIN"}, {"PAGER"}, {"CELL"}]


class Check:
    def __init__(self):
        self.faults = []
        self.count = 0

    def equal(self, where, ours, exported):
        self.count += 1
        if ours != exported:
            self.faults.append(f"{where}: JSON {ours!r}, export {exported!r}")


def category(content, item):
    if item["Category"] == 0 or not content["Categories"]:
        return None
    return content["Categories"][item["Category"]]["Name"] or None


def live(content):
    return [i for i in content["Items"] if not i["Deleted"]]


def check_memos(content, folder, name, check):
    for item in live(content):
        path = os.path.join(folder, name, "%04d.txt" % item["Record"])
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        check.equal(f"{path}", item["Text"], text[:-1] if text.endswith("\n") and not
                    item["Text"].endswith("\n") else text)


def split_reading(value):
    return value.split("\x01")[0] if value else value


def check_vcards(content, folder, name, check):
    with open(os.path.join(folder, name + ".vcf"), "rb") as f:
        raw = f.read()
    check.equal(f"{name}.vcf line ends", True, all(line.endswith(b"\r") for line in raw.split(b"\n")[:-1]))
    cards = list(vobject.readComponents(raw.decode("utf-8")))
    items = live(content)
    check.equal(f"{name}.vcf cards", len(items), len(cards))
    for item, card in zip(items, cards):
        where = f"{name}.vcf card {item['Record']}"
        fields = item["Fields"]
        check.equal(where + " N.family", split_reading(fields["LastName"]) or "", card.n.value.family)
        check.equal(where + " N.given", split_reading(fields["FirstName"]) or "", card.n.value.given)
        check.equal(where + " ORG", fields["Company"],
                    card.org.value[0] if hasattr(card, "org") else None)
        check.equal(where + " TITLE", fields["Title"], card.title.value if hasattr(card, "title") else None)
        check.equal(where + " NOTE", fields["Note"], card.note.value if hasattr(card, "note") else None)
        phones = [(p.value, set(p.params.get("TYPE", []))) for p in
                  card.contents.get("tel", []) + card.contents.get("email", [])]
        expected = []
        for i in range(5):
            value = fields[f"Phone{i + 1}"]
            if value is not None:
                types = set(PHONE_TYPES[item["PhoneLabels"][i]])
                if i == item["DisplayPhone"]:
                    types.add("PREF")
                expected.append((value, types))
        check.equal(where + " phones", sorted(expected, key=str), sorted(phones, key=str))
        if any(fields[k] is not None for k in ("Address", "City", "State", "ZipCode", "Country")):
            adr = card.adr.value
            check.equal(where + " ADR", [fields[k] or "" for k in ("Address", "City", "State", "ZipCode", "Country")],
                        [adr.street, adr.city, adr.region, adr.code, adr.country])
        for n in range(1, 5):
            key = f"x-palm-custom{n}"
            check.equal(where + " " + key, fields[f"Custom{n}"],
                        card.contents[key][0].value if key in card.contents else None)
        check.equal(where + " CATEGORIES", category(content, item),
                    card.categories.value[0] if hasattr(card, "categories") else None)
        check.equal(where + " CLASS", "PRIVATE" if item["Private"] else None,
                    card.contents["class"][0].value if "class" in card.contents else None)


def day(value):
    return value.isoformat() if value is not None else None


def check_calendar(content, folder, name, check, kind):
    with open(os.path.join(folder, name + ".ics"), "rb") as f:
        raw = f.read()
    check.equal(f"{name}.ics line ends", True, all(line.endswith(b"\r") for line in raw.split(b"\n")[:-1]))
    calendar = icalendar.Calendar.from_ical(raw)
    components = [c for c in calendar.walk() if c.name == kind]
    items = [i for i in live(content) if kind == "VTODO" or i["Date"]]
    check.equal(f"{name}.ics {kind}s", len(items), len(components))
    for item, c in zip(items, components):
        where = f"{name}.ics {kind} {item['Record']}"
        check.equal(where + " SUMMARY", item["Description"], str(c.get("SUMMARY")))
        check.equal(where + " DESCRIPTION", item["Note"] or None,
                    str(c["DESCRIPTION"]) if "DESCRIPTION" in c else None)
        check.equal(where + " CLASS", "PRIVATE" if item["Private"] else None,
                    str(c["CLASS"]) if "CLASS" in c else None)
        cats = c.get("CATEGORIES")
        check.equal(where + " CATEGORIES", category(content, item),
                    str(cats.cats[0]) if cats is not None else None)
        if kind == "VTODO":
            due = c.decoded("DUE") if "DUE" in c else None
            check.equal(where + " DUE", item["Due"], day(due))
            check.equal(where + " PRIORITY", item["Priority"] or None,
                        int(c["PRIORITY"]) if "PRIORITY" in c else None)
            check.equal(where + " STATUS", "COMPLETED" if item["Completed"] else "NEEDS-ACTION", str(c["STATUS"]))
            continue
        start, end = c.decoded("DTSTART"), c.decoded("DTEND")
        if item["Start"] is None:
            check.equal(where + " DTSTART", item["Date"], day(start))
            check.equal(where + " untimed", False, isinstance(start, datetime.datetime))
        else:
            check.equal(where + " DTSTART", f"{item['Date']}T{item['Start']}:00", start.isoformat())
            check.equal(where + " DTEND", f"{item['Date']}T{item['End']}:00", end.isoformat())
        alarms = [a for a in c.subcomponents if a.name == "VALARM"]
        if item["Alarm"]:
            unit = {"minutes": 60, "hours": 3600, "days": 86400}[item["Alarm"]["Unit"]]
            check.equal(where + " TRIGGER", -item["Alarm"]["Advance"] * unit,
                        alarms[0].decoded("TRIGGER").total_seconds() if alarms else None)
        else:
            check.equal(where + " VALARM", 0, len(alarms))
        exdates = []
        for prop in (c.get("EXDATE") if isinstance(c.get("EXDATE"), list) else [c["EXDATE"]] if "EXDATE" in c else []):
            exdates += [d.dt.isoformat()[:10] for d in prop.dts]
        check.equal(where + " EXDATE", item["Exceptions"], exdates)
        repeat = item["Repeat"]
        rule = c.get("RRULE")
        if not repeat:
            check.equal(where + " RRULE", None, rule)
            continue
        freq = {"daily": "DAILY", "weekly": "WEEKLY", "monthly-by-day": "MONTHLY",
                "monthly-by-date": "MONTHLY", "yearly": "YEARLY"}[repeat["Type"]]
        check.equal(where + " FREQ", freq, rule["FREQ"][0])
        check.equal(where + " INTERVAL", repeat["Frequency"], rule.get("INTERVAL", [1])[0])
        until = rule.get("UNTIL")
        check.equal(where + " UNTIL", repeat["End"], day(until[0])[:10] if until else None)
        names = ["SU", "MO", "TU", "WE", "TH", "FR", "SA"]
        if repeat["Type"] == "weekly":
            check.equal(where + " BYDAY", [names[d] for d in repeat["Days"]], rule["BYDAY"])
        if repeat["Type"] == "monthly-by-day":
            week = "-1" if repeat["Week"] == 4 else str(repeat["Week"] + 1)
            check.equal(where + " BYDAY", [week + names[repeat["Day"]]], rule["BYDAY"])
        check.equal(where + " WKST", names[repeat["WeekStart"]], rule.get("WKST", ["MO"])[0])


def mboxrd_body(text):
    """Python's mailbox reads mboxo; mboxrd takes one '>' off each quoted "From " line."""
    return re.sub(r"^>(>*From )", r"\1", text, flags=re.M)


def check_mail(content, folder, name, check):
    box = mailbox.mbox(os.path.join(folder, name + ".mbox"))
    messages = list(box)
    items = live(content)
    check.equal(f"{name}.mbox messages", len(items), len(messages))
    for item, message in zip(items, messages):
        where = f"{name}.mbox message {item['Record']}"
        for key, header in (("From", "From"), ("To", "To"), ("Cc", "Cc"), ("Bcc", "Bcc"),
                            ("ReplyTo", "Reply-To"), ("Subject", "Subject")):
            value = message[header]
            decoded = str(email.header.make_header(email.header.decode_header(value))) if value is not None else ""
            check.equal(f"{where} {header}", item[key], decoded)
        date = message["Date"]
        check.equal(where + " Date", item["Date"],
                    email.utils.parsedate_to_datetime(date).replace(tzinfo=None).isoformat()
                    if date is not None else None)
        check.equal(where + " read", item["Read"], "R" in message.get_flags())
        body = mboxrd_body(message.get_payload(decode=True).decode("utf-8"))
        check.equal(where + " body", item["Body"], body[:-1] if body.endswith("\n") else body)


def main():
    dump, make_samples, corpus = sys.argv[1:4]
    check = Check()
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([make_samples, os.path.join(work, "built")], check=True)
        files = [(os.path.join(corpus, n), e) for n, e in CORPUS if os.path.exists(os.path.join(corpus, n))]
        files += [(os.path.join(work, "built", n), "cp1252") for n in sorted(os.listdir(os.path.join(work, "built")))]
        out = os.path.join(work, "out")
        for path, encoding in files:
            subprocess.run([dump, "--export", out, "--encoding", encoding, path], check=True)
            content = json.loads(subprocess.run([dump, "--json", "--content", "--encoding", encoding, path],
                                                check=True, capture_output=True).stdout)["Content"]
            name = os.path.splitext(os.path.basename(path))[0]
            {"memo": check_memos, "address": check_vcards, "mail": check_mail,
             "datebook": lambda c, f, n, k: check_calendar(c, f, n, k, "VEVENT"),
             "todo": lambda c, f, n, k: check_calendar(c, f, n, k, "VTODO")}[content["Format"]](
                content, out, name, check)
    for fault in check.faults:
        print(fault)
    print(f"{len(files)} exports read back, {check.count} fields compared: {len(check.faults)} differences")
    return 1 if check.faults else 0


if __name__ == "__main__":
    sys.exit(main())
