#include "ItemClass.h"

namespace store::native {

namespace {

bool equals(const QByteArray& value, const char* text)
{
    return value.compare(QByteArrayView(text), Qt::CaseInsensitive) == 0;
}

bool startsWith(const QByteArray& value, const char* text)
{
    const QByteArrayView prefix(text);
    return value.size() >= prefix.size() &&
           value.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// The class itself or one derived from it ("IPM.Note" and "IPM.Note.SMIME", not "IPM.NoteX").
bool isOrDerives(const QByteArray& value, const char* text)
{
    const QByteArrayView base(text);
    return startsWith(value, text) && (value.size() == base.size() || value.at(base.size()) == '.');
}

} // namespace

ItemType itemTypeOfMessageClass(const QByteArray& messageClass)
{
    const QByteArray& c = messageClass;
    if (equals(c, "IPM.Note.Mobile.SMS"))
        return ItemType::Sms;
    if (equals(c, "IPM.Note.Mobile.MMS"))
        return ItemType::Mms;
    if (isOrDerives(c, "IPM.Note") || isOrDerives(c, "REPORT.IPM.Note"))
        return ItemType::Email;
    if (equals(c, "IPM.Appointment") || equals(c, "IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}"))
        return ItemType::Appointment;
    if (startsWith(c, "IPM.Schedule.Meeting") || startsWith(c, "REPORT.IPM.Schedule.Meeting"))
        return ItemType::Meeting;
    if (equals(c, "IPM.Contact"))
        return ItemType::Contact;
    if (equals(c, "IPM.DistList"))
        return ItemType::DistributionList;
    if (equals(c, "IPM.Task") || startsWith(c, "IPM.TaskRequest"))
        return ItemType::Task;
    if (equals(c, "IPM.Activity"))
        return ItemType::Activity;
    if (equals(c, "IPM.StickyNote"))
        return ItemType::Note;
    if (equals(c, "IPM.Post"))
        return ItemType::PostingNote;
    if (equals(c, "IPM.Post.Rss"))
        return ItemType::RssFeed;
    if (startsWith(c, "IPM.Sharing"))
        return ItemType::Sharing;
    if (startsWith(c, "IPM.Configuration"))
        return ItemType::Configuration;
    if (startsWith(c, "IPM.Document"))
        return ItemType::Document;
    if (equals(c, "IPM.Conflict.Message"))
        return ItemType::ConflictMessage;
    if (equals(c, "IPM"))
        return ItemType::Common;
    return ItemType::Undefined;
}

} // namespace store::native
