// Prints, as JSON lines, what the .eml files of a converted store must hold, read straight from the
// store layer: serial (the conversion's numbering: mails in folder order), subject, sender and
// recipient addresses, the plain-text body and the SHA-256 of each attachment's data. The test
// script compares them with the files as an independent MIME parser reads them.
// With --pim it prints the contacts, appointments and tasks instead: names, addresses, phones,
// organisation (contacts), subject, location, start and end in UTC and the all-day flag
// (appointments), subject and body (tasks), for the vCard and iCalendar files.

#include "convert/ConversionJob.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <cstdio>
#include <cstring>

namespace {

int g_serial = 0;

QString text(const std::optional<QByteArray>& value)
{
    return value ? QString::fromUtf8(*value) : QString();
}

QJsonObject describe(const store::Item& mail)
{
    QJsonObject object;
    QString subject = text(mail.messageUtf8String(0x0037));
    if (subject.size() >= 2 && subject.at(0) == QChar(0x0001))
        subject.remove(0, 2);
    object.insert(QStringLiteral("subject"), subject);
    QString from = text(mail.utf8String(0x5D01));
    if (from.isEmpty())
        from = text(mail.utf8String(0x5D02));
    object.insert(QStringLiteral("from"), from);
    QJsonArray to;
    if (const auto recipients = mail.recipients()) {
        for (int row = 0; row < recipients->recordSetCount(); ++row) {
            QString address = text(recipients->utf8String(0x39FE, row));
            if (address.isEmpty() && text(recipients->utf8String(0x3002, row))
                                             .compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0)
                address = text(recipients->utf8String(0x3003, row));
            if (!address.isEmpty())
                to.append(address);
        }
    }
    object.insert(QStringLiteral("recipients"), to);
    if (const auto body = mail.plainTextBody())
        object.insert(QStringLiteral("plain"), QString::fromUtf8(*body).remove(QChar(0)));
    QJsonArray attachments;
    for (int index = 0; index < mail.attachmentCount(); ++index) {
        const auto attachment = mail.attachment(index);
        if (attachment->attachmentType() != store::AttachmentType::Data)
            continue;
        const QByteArray data =
            attachment->readAttachmentData(0, static_cast<std::size_t>(attachment->attachmentDataSize()));
        attachments.append(
            QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()));
    }
    object.insert(QStringLiteral("attachments"), attachments);
    return object;
}

QJsonObject describeOther(const store::Item& item, store::ItemType type)
{
    QJsonObject object;
    const auto string = [&](std::uint32_t tag) {
        return text(item.messageUtf8String(tag)).remove(QChar(0));
    };
    const auto time = [&](std::uint32_t tag) -> QJsonValue {
        const auto value = item.fileTime(tag);
        if (!value)
            return QJsonValue::Null;
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(*value / 10000) - 11644473600000LL,
                                              QTimeZone::utc())
            .toString(Qt::ISODate);
    };
    QString subject = string(0x0037);
    if (subject.size() >= 2 && subject.at(0) == QChar(0x0001))
        subject.remove(0, 2);
    if (type == store::ItemType::Contact) {
        object.insert(QStringLiteral("kind"), QStringLiteral("contact"));
        object.insert(QStringLiteral("name"), string(0x3001));
        object.insert(QStringLiteral("given"), string(0x3A06));
        object.insert(QStringLiteral("surname"), string(0x3A11));
        QJsonArray emails;
        for (const std::uint32_t tag : {0x8083u, 0x8093u, 0x80A3u}) {
            const QString address = string(tag);
            if (address.contains(QLatin1Char('@')))
                emails.append(address);
        }
        object.insert(QStringLiteral("emails"), emails);
        QJsonArray phones;
        for (const std::uint32_t tag : {0x3A08u, 0x3A09u, 0x3A1Cu, 0x3A24u})
            if (!string(tag).isEmpty())
                phones.append(string(tag));
        object.insert(QStringLiteral("phones"), phones);
        object.insert(QStringLiteral("company"), string(0x3A16));
        object.insert(QStringLiteral("title"), string(0x3A17));
    } else if (type == store::ItemType::Appointment) {
        object.insert(QStringLiteral("kind"), QStringLiteral("appointment"));
        object.insert(QStringLiteral("subject"), subject);
        object.insert(QStringLiteral("location"), string(0x8208));
        object.insert(QStringLiteral("start"), time(0x820D));
        object.insert(QStringLiteral("end"), time(0x820E));
        object.insert(QStringLiteral("allDay"), item.boolean(0x8215).value_or(false));
    } else {
        object.insert(QStringLiteral("kind"), QStringLiteral("task"));
        object.insert(QStringLiteral("subject"), subject);
    }
    return object;
}

bool g_pim = false;

void walk(const store::Item& folder)
{
    if (g_pim) {
        for (int index = 0; index < folder.subMessageCount(); ++index) {
            const auto message = folder.subMessage(index);
            const store::ItemType type = message->type();
            if (type == store::ItemType::Contact || type == store::ItemType::Appointment ||
                type == store::ItemType::Task)
                std::printf(
                    "%s\n",
                    QJsonDocument(describeOther(*message, type)).toJson(QJsonDocument::Compact).constData());
        }
        return;
    }
    for (int index = 0; index < folder.subMessageCount(); ++index) {
        const auto message = folder.subMessage(index);
        if (!convert::ConversionJob::isMailKind(static_cast<int>(message->type())))
            continue;
        QJsonObject object = describe(*message);
        object.insert(QStringLiteral("serial"), ++g_serial);
        std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    }
}

// The conversion's folder order: a folder's own mails, then its sub-folders, depth first.
void walkTree(const store::Item& folder)
{
    walk(folder);
    for (int index = 0; index < folder.subFolderCount(); ++index)
        walkTree(*folder.subFolder(index));
}

} // namespace

int main(int argc, char* argv[])
{
    g_pim = argc == 3 && std::strcmp(argv[1], "--pim") == 0;
    if (argc != 2 && !g_pim) {
        std::fprintf(stderr, "usage: conversion_expectations [--pim] STORE\n");
        return 1;
    }
    try {
        const auto opened = store::openOfflineStore(QString::fromLocal8Bit(argv[argc - 1]));
        walkTree(*opened->rootFolder());
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
