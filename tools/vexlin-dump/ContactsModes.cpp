// The content modes for Palm OS 5's Contacts: the [Content] lines and JSON of each contact,
// its fields under the app info's labels (B.vcf is written in Vcard.cpp).
#include "ContentJson.h"
#include "ContentModes.h"
#include "ContentTable.h"
#include "Escape.h"

namespace vexlin::dump {

using namespace content;

namespace {

// A field's label: a phone's, address's or messaging name's by its label number, the others
// by the app info's label of the field.
std::string ContactFieldLabel(const Contacts& p, const ContactItem& item, std::size_t field) {
    if (field >= contact::Phone1 && field < contact::Phone1 + ContactPhoneCount) {
        const std::size_t phone = field - contact::Phone1;
        return PhoneLabel(p, item.PhoneLabels[phone]) +
               (static_cast<int>(phone) == item.DisplayPhone ? " (shown)" : "");
    }
    if (field >= contact::Im1 && field < contact::Im1 + ContactImCount)
        return ImLabel(p, item.ImLabels[field - contact::Im1]);
    if (field >= contact::Address1 && field < contact::Note && (field - contact::Address1) % 5 == 0)
        return AddressLabel(p, item.AddressLabels[(field - contact::Address1) / 5]);
    if (field < p.Labels.size() && !p.Labels[field].empty())
        return p.Labels[field];
    return std::string(ContactFieldName(field));
}

} // namespace

void PrintPayload(StreamTarget& out, const Content& c, const Contacts& p) {
    for (const ContactItem& item : p.Items) {
        ItemHeading(out, c, item);
        for (std::size_t field = 0; field < ContactFieldCount; ++field) {
            if (item.Fields[field])
                TextLines(out, Escaped(ContactFieldLabel(p, item, field)), *item.Fields[field]);
        }
        if (item.Birthday)
            Line(out, "Birthday",
                 item.Birthday->Iso() +
                     (item.ReminderDays
                          ? ", reminder " + std::to_string(*item.ReminderDays) + " days before"
                          : ""));
        if (!item.Photo.empty())
            Line(out, "Photo", std::to_string(item.Photo.size()) + " bytes of JPEG");
        for (const TaggedBlock& blob : item.OtherBlobs)
            Line(out, "Block", blob.Type + ", " + std::to_string(blob.Size) + " bytes");
    }
}

void AddHead(Json& o, const Contacts& p) {
    o["Labels"] = p.Labels;
    o["Country"] = p.Country;
    o["SortByCompany"] = p.SortByCompany;
}

void FillItem(Json& o, const ContactItem& item) {
    Json fields = Json::object();
    for (std::size_t i = 0; i < ContactFieldCount; ++i)
        fields[std::string(ContactFieldName(i))] =
            item.Fields[i] ? Json(*item.Fields[i]) : Json(nullptr);
    o["Fields"] = std::move(fields);
    o["PhoneLabels"] = item.PhoneLabels;
    o["AddressLabels"] = item.AddressLabels;
    o["IMLabels"] = item.ImLabels;
    o["DisplayPhone"] = item.DisplayPhone;
    o["Birthday"] = DateJson(item.Birthday);
    o["ReminderDays"] = item.ReminderDays ? Json(*item.ReminderDays) : Json(nullptr);
    o["PhotoBytes"] = item.Photo.size();
    Json blobs = Json::array();
    for (const TaggedBlock& blob : item.OtherBlobs)
        blobs.push_back({{"Type", blob.Type}, {"Size", blob.Size}});
    o["OtherBlobs"] = std::move(blobs);
}

void Tabulate(ContentTable& t, const Content&, const Contacts& p) {
    t.Columns = {"Record", "Name", "Company", "Phone"};
    for (const ContactItem& item : p.Items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(ListName(item.Fields[contact::LastName], item.Fields[contact::FirstName]));
        row.Cells.push_back(item.Fields[contact::Company] ? FirstLine(*item.Fields[contact::Company])
                                                          : "");
        const auto& phone = item.Fields[contact::Phone1 + static_cast<std::size_t>(item.DisplayPhone) %
                                                              ContactPhoneCount];
        row.Cells.push_back(phone ? FirstLine(*phone) : "");
    }
}

} // namespace vexlin::dump
