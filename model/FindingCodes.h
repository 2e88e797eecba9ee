// Every finding code Vexlin reports, structural and of the content, with its severity and its
// meaning exactly as the manual page's tables list them.
#pragma once

#include <string_view>

namespace vexlin {

struct FindingCode {
    std::string_view Code;     // "record-past-end"
    std::string_view Severity; // as the manual page's table has it: "error", "warning",
                               // "note" or "warning or note"
    std::string_view Meaning;  // the manual page's one line, scdoc markup as it stands there
};

namespace codes {

// Structural: the header, the entry list and the areas.
inline constexpr FindingCode HeaderShort{"header-short", "error",
        "the file is shorter than the 78-byte header"};
inline constexpr FindingCode NameUnterminated{"name-unterminated", "warning",
        "the 32-byte name has no zero byte"};
inline constexpr FindingCode ListPastEnd{"list-past-end", "error",
        "the entry list runs past the end of the file"};
inline constexpr FindingCode RecordInHeader{"record-in-header", "error",
        "a data offset lies inside the header or the entry list"};
inline constexpr FindingCode RecordPastEnd{"record-past-end", "error",
        "a data offset lies past the end of the file"};
inline constexpr FindingCode RecordOutOfOrder{"record-out-of-order", "error",
        "a data offset below the previous one: that record's size is negative"};
inline constexpr FindingCode RecordEmpty{"record-empty", "note", "a record of zero bytes"};
inline constexpr FindingCode AreaInHeader{"area-in-header", "error",
        "the app info or sort info offset lies inside the header or the entry list"};
inline constexpr FindingCode AreaPastEnd{"area-past-end", "error",
        "the app info or sort info offset lies past the end of the file"};
inline constexpr FindingCode AreaOutOfOrder{"area-out-of-order", "warning",
        "app info, sort info and the first record are not in that order"};
inline constexpr FindingCode NextList{"next-list", "warning",
        "NextRecordListID is not 0: a further list that nothing here follows"};
inline constexpr FindingCode DuplicateUniqueId{"duplicate-unique-id", "warning",
        "two records share a unique ID (0, which desktop tools write, is left out)"};
inline constexpr FindingCode DuplicateResource{"duplicate-resource", "warning",
        "two resources share type and ID"};
inline constexpr FindingCode ResourceDatabase{"resource-database", "note",
        "the viewer's record views read its 10-byte entries as 8-byte record entries"};
inline constexpr FindingCode ExtensionMismatch{"extension-mismatch", "note",
        "a .prc file holding a record database, or a .pdb file holding a resource database"};
inline constexpr FindingCode Gap{"gap", "note",
        "bytes that nothing points to, beyond the customary 2-byte pad after the list"};

// Content: what the records hold.
inline constexpr FindingCode ContentTruncated{"content-truncated", "error",
        "the record ends inside a field (its size given in the message); the fields after "
        "it are missing"};
inline constexpr FindingCode ContentUnterminated{"content-unterminated", "warning",
        "a text field has no terminating zero byte: it runs to the end of the record"};
inline constexpr FindingCode ContentExceptionsPastEnd{"content-exceptions-past-end", "error",
        "a datebook record counts more exceptions than it holds"};
inline constexpr FindingCode ContentBadDate{"content-bad-date", "warning",
        "a date that is none (month 13, February 30th); shown as null"};
inline constexpr FindingCode ContentBadTime{"content-bad-time", "warning",
        "a time that is none (25:70); shown as null"};
inline constexpr FindingCode ContentRepeatType{"content-repeat-type", "warning",
        "a datebook repeat of a type that does not exist; kept as \"unknown\", the event "
        "left out of an export"};
inline constexpr FindingCode ContentRepeatDay{"content-repeat-day", "warning",
        "a monthly repeat on a day past the month's fifth week, or a weekly repeat on no "
        "day; the event left out of an export"};
inline constexpr FindingCode ContentRepeatFrequency{"content-repeat-frequency", "warning",
        "a repeat every 0 days, weeks, months or years, which means nothing; kept as it is, "
        "the event left out of an export"};
inline constexpr FindingCode ContentRepeatNever{"content-repeat-never", "warning",
        "a repeat that ends before the first of its days on or after the event's date: the "
        "event never occurs; left out of an export"};
inline constexpr FindingCode ContentEndBeforeStart{"content-end-before-start", "warning",
        "an event that ends before it starts (the device has none that pass midnight); kept "
        "as it is, the event left out of an export"};
inline constexpr FindingCode ContentAlarmUnit{"content-alarm-unit", "warning",
        "an alarm unit other than minutes, hours or days"};
inline constexpr FindingCode ContentAlarmAdvance{"content-alarm-advance", "warning",
        "an alarm advance below -1: an alarm after the start, which the device never sets; "
        "kept as it is, left out of an export (-1 is the device's \"no alarm\", decoded as "
        "none)"};
inline constexpr FindingCode ContentHiddenText{"content-hidden-text", "warning or note",
        "bytes after a record's last field that are not zeros (\"visible\\\\0hidden\"): "
        "text the device never shows; a note when they show nothing (a line end or control "
        "bytes left after the NUL, as real memos and mail hold them). The message quotes "
        "its first 48 bytes, backslashes, control characters and NULs escaped; the fields "
        "and the exports hold only what the device shows"};
inline constexpr FindingCode ContentEncoding{"content-encoding", "warning",
        "bytes that are not text in the encoding, shown as U+FFFD"};
inline constexpr FindingCode ContentEncodingGuess{"content-encoding-guess", "note",
        "the encoding was detected on thin evidence (see *--encoding*), which names what "
        "was weighed"};
inline constexpr FindingCode ContentOutputBound{"content-output-bound", "warning",
        "records, text records or bitmap entries that share their bytes would decode to "
        "more than the file may yield (see *CONTENT*); named where it stopped: the records "
        "from there on are left out, a book's text is cut, bitmap entries are listed "
        "without their members"};
inline constexpr FindingCode ContentUnknownFlags{"content-unknown-flags", "note",
        "flag bits this version does not know (the datebook flags' high byte, address field "
        "map), kept as they are; the datebook flags' low byte is padding, kept without a "
        "note"};
// Books: PalmDOC and Mobipocket.
inline constexpr FindingCode ContentBookHeader{"content-book-header", "error",
        "record 0 holds less than the 16 bytes of a book header; nothing of the book is "
        "read"};
inline constexpr FindingCode ContentTextRecords{"content-text-records", "warning",
        "record 0 declares more text records than follow it (before the MOBI header's first "
        "non-book record); those there are read"};
inline constexpr FindingCode ContentTextLength{"content-text-length", "note",
        "the text records decode to another length than record 0 declares; the text is what "
        "they hold, never cut"};
inline constexpr FindingCode ContentBackReference{"content-back-reference", "error",
        "a PalmDOC back-reference before the start of its record's text; skipped, the rest "
        "of the record decoded"};
inline constexpr FindingCode ContentRecordOverflow{"content-record-overflow", "error",
        "a text record that holds or decodes to more than 4,096 bytes; cut there, the rest "
        "dropped"};
inline constexpr FindingCode ContentRecordCut{"content-record-cut", "warning",
        "a text record whose last code (a literal run or a back-reference) is cut by the "
        "record's end; decoded as far as it goes"};
inline constexpr FindingCode ContentTrailingEntries{"content-trailing-entries", "error",
        "a Mobipocket text record whose trailing entries (the MOBI header's extra flags) "
        "claim more than its bytes; its text is left out"};
inline constexpr FindingCode ContentCompression{"content-compression", "note",
        "a compression other than none (1), PalmDOC (2) or HUFF/CDIC (17480); the headers "
        "are read, the text is not decoded"};
inline constexpr FindingCode ContentEncrypted{"content-encrypted", "note",
        "an encrypted book (record 0's encryption field, see *mobi*): its headers are read, "
        "its text neither decrypted nor decoded, nothing exported"};
inline constexpr FindingCode ContentHuffcdic{"content-huffcdic", "error",
        "HUFF or CDIC records missing or unreadable, the text not decoded; or a code the "
        "tables do not place, the rest of its record or phrase dropped; or phrases that "
        "hold themselves, nest more than 32 deep or expand past the cap, left out"};
inline constexpr FindingCode ContentMobiHeader{"content-mobi-header", "warning",
        "a MOBI header that record 0 does not hold whole, or shorter than 116 bytes, or "
        "whose full name lies outside record 0; the fields there are read, the others as 0"};
inline constexpr FindingCode ContentExth{"content-exth", "warning",
        "the EXTH flag is set but no EXTH header follows the MOBI header, or an EXTH record "
        "runs past record 0; the EXTH records before it are kept"};
// Bitmaps and fonts.
inline constexpr FindingCode ContentBitmapHeader{"content-bitmap-header", "warning",
        "a bitmap header cut by the end of its entry, of a version other than 0 to 3, or of "
        "a depth other than 1, 2, 4, 8 or 16; it and the members after it are not read"};
inline constexpr FindingCode ContentBitmapRowbytes{"content-bitmap-rowbytes", "warning",
        "row bytes too few for the bitmap's width: the columns they hold are decoded"};
inline constexpr FindingCode ContentBitmapData{"content-bitmap-data", "warning",
        "a bitmap's data, or its declared compressed size, short of its rows: the rows "
        "there are decoded (none without its compressed size or direct colour information)"};
inline constexpr FindingCode ContentBitmapSize{"content-bitmap-size", "warning",
        "a bitmap of more than 4,194,304 pixels, the rows within them decoded; or one past "
        "what its family (8,388,608 pixels) or the file may decode to, described, not "
        "decoded"};
inline constexpr FindingCode ContentBitmapColortable{"content-bitmap-colortable", "warning",
        "a colour table of more than 256 entries, the first 256 used; or one past the end "
        "of its entry, the bitmap described, not decoded"};
inline constexpr FindingCode ContentBitmapCompression{"content-bitmap-compression", "warning",
        "a compressed bitmap of an unknown compression type; described, its pixels not "
        "decoded"};
inline constexpr FindingCode ContentBitmapFamily{"content-bitmap-family", "warning",
        "a next-member offset that leads back into the member or past the end of its entry; "
        "the family ends there"};
inline constexpr FindingCode ContentFont{"content-font", "warning",
        "a font shorter than its 26-byte header, left out; or a strike short of its rows, "
        "larger than a bitmap holds, or past the bytes the file holds (fonts that share "
        "their bytes): the rows there are drawn, or none"};
inline constexpr FindingCode ContentPhoto{"content-photo", "warning",
        "a record of a picture database that is not a DBLK slice, or a slice whose size passes "
        "the record's end: the JPEG is joined from the bytes there are"};

} // namespace codes

// Every code, structural first in the manual page's order, then content in its order.
inline constexpr const FindingCode* FindingCodes[] = {
    &codes::HeaderShort, &codes::NameUnterminated, &codes::ListPastEnd, &codes::RecordInHeader,
    &codes::RecordPastEnd, &codes::RecordOutOfOrder, &codes::RecordEmpty, &codes::AreaInHeader,
    &codes::AreaPastEnd, &codes::AreaOutOfOrder, &codes::NextList, &codes::DuplicateUniqueId,
    &codes::DuplicateResource, &codes::ResourceDatabase, &codes::ExtensionMismatch, &codes::Gap,
    &codes::ContentTruncated, &codes::ContentUnterminated, &codes::ContentExceptionsPastEnd,
    &codes::ContentBadDate, &codes::ContentBadTime, &codes::ContentRepeatType,
    &codes::ContentRepeatDay, &codes::ContentRepeatFrequency, &codes::ContentRepeatNever,
    &codes::ContentEndBeforeStart, &codes::ContentAlarmUnit, &codes::ContentAlarmAdvance,
    &codes::ContentHiddenText, &codes::ContentEncoding, &codes::ContentEncodingGuess,
    &codes::ContentOutputBound, &codes::ContentUnknownFlags, &codes::ContentBookHeader,
    &codes::ContentTextRecords, &codes::ContentTextLength, &codes::ContentBackReference,
    &codes::ContentRecordOverflow, &codes::ContentRecordCut, &codes::ContentTrailingEntries,
    &codes::ContentCompression, &codes::ContentEncrypted, &codes::ContentHuffcdic,
    &codes::ContentMobiHeader, &codes::ContentExth, &codes::ContentBitmapHeader,
    &codes::ContentBitmapRowbytes, &codes::ContentBitmapData, &codes::ContentBitmapSize,
    &codes::ContentBitmapColortable, &codes::ContentBitmapCompression, &codes::ContentBitmapFamily,
    &codes::ContentFont, &codes::ContentPhoto,
};

} // namespace vexlin
