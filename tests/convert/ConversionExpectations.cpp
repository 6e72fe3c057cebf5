// Prints, as JSON lines, what the .eml files of a converted store must hold, read straight from the
// store layer: serial (the conversion's numbering: mails in folder order), subject, sender and
// recipient addresses, the plain-text body and the SHA-256 of each attachment's data. The test
// script compares them with the files as an independent MIME parser reads them.

#include "engine/EmlConversionJob.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

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

void walk(const store::Item& folder)
{
    for (int index = 0; index < folder.subMessageCount(); ++index) {
        const auto message = folder.subMessage(index);
        if (!engine::EmlConversionJob::isMailKind(static_cast<int>(message->type())))
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: conversion_expectations STORE\n");
        return 1;
    }
    try {
        const auto opened = store::openOfflineStore(QString::fromLocal8Bit(argv[1]));
        walkTree(*opened->rootFolder());
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
