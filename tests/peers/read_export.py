#!/usr/bin/env python3
"""One vexlin-dump export as the readers people use read it, printed as JSON for the dump
tests: .mbox by Python's mailbox and email (policy=email.policy.default), .ics by icalendar
(with dateutil's rrule for the first occurrences), .vcf by vobject. Exits 77 (skipped) when
a reader is missing, 1 when the reader refuses the file.

Usage: read_export.py FILE"""
import email
import email.policy
import json
import mailbox
import sys


def read_mbox(path):
    box = mailbox.mbox(path)
    messages = []
    for key in box.keys():
        message = email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
        headers = [[name, str(value)] for name, value in message.items()]
        addresses = {}
        for name in ("From", "To", "Cc", "Reply-To"):
            if message[name] is not None:
                addresses[name] = [[a.display_name, a.addr_spec] for a in message[name].addresses]
        messages.append({"FromLine": box.get_message(key).get_from(), "Headers": headers,
                         "Addresses": addresses, "Body": message.get_content()})
    return messages


def read_ics(path):
    import icalendar
    import vobject
    from dateutil import rrule
    with open(path, "rb") as f:
        raw = f.read()
    calendar = icalendar.Calendar.from_ical(raw)
    # icalendar 4 splits CATEGORIES at escaped commas as well; vobject (and libical) do not.
    same = [c for c in vobject.readOne(raw.decode("utf-8")).getChildren()
            if c.name in ("VEVENT", "VTODO")]
    components = []
    for c in calendar.walk():
        if c.name not in ("VEVENT", "VTODO"):
            continue
        out = {"Kind": c.name}
        lines = same[len(components)].contents.get("categories")
        if lines:
            out["CATEGORIES"] = [str(x) for x in lines[0].value]
        for name in ("UID", "SUMMARY", "DESCRIPTION", "CLASS"):
            if name in c:
                out[name] = str(c[name])
        for name in ("DTSTART", "DTEND"):
            if name in c:
                out[name] = c.decoded(name).isoformat()
        out["Alarms"] = [a.decoded("TRIGGER").total_seconds() for a in c.subcomponents
                         if a.name == "VALARM"]
        if "RRULE" in c:
            out["RRULE"] = c["RRULE"].to_ical().decode()
            rule = rrule.rrulestr(out["RRULE"], dtstart=c.decoded("DTSTART"))
            out["First"] = [d.date().isoformat() for d in rule[:3]]
        components.append(out)
    return components


def read_vcf(path):
    import vobject
    with open(path, encoding="utf-8", newline="") as f:
        cards = list(vobject.readComponents(f.read()))
    def value(line):
        return [str(v) for v in line.value] if isinstance(line.value, list) else str(line.value)
    return [{name: [value(line) for line in lines] for name, lines in card.contents.items()}
            for card in cards]


def main():
    path = sys.argv[1]
    try:
        import icalendar  # noqa: F401 -- every reader present, or the test is skipped
        import vobject  # noqa: F401
        import dateutil  # noqa: F401
    except ImportError as missing:
        print(f"SKIP: {missing.name} is not installed (Debian: python3-vobject, "
              "python3-icalendar)")
        return 77
    reader = {"mbox": read_mbox, "ics": read_ics, "vcf": read_vcf}[path.rsplit(".", 1)[-1]]
    try:
        print(json.dumps(reader(path)))
    except Exception as refused:  # the reader refuses the file: the test says how
        print(f"REFUSED: {type(refused).__name__}: {refused}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
