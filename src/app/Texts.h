#pragma once

#include <QString>

namespace app {

// The desktop program's own texts: captions, menu entries, button labels, questions and
// messages, exactly as the user sees them.
class Texts
{
public:
    static QString productName() { return QStringLiteral("Tarvolin OST to EML Converter"); }
    static QString version() { return QStringLiteral("Ver 1.1"); }
    static QString windowTitle() { return productName() + QLatin1Char(' ') + version(); }
    static QString aboutMenuEntry() { return QStringLiteral("&About Tarvolin OST to EML Converter"); }

    static QString closeQuestion()
    {
        return QStringLiteral("Are you sure, you want to close this application..") +
               QString(22, QLatin1Char(' '));
    }
    static QString exitQuestion()
    {
        return QStringLiteral("Are you sure, you want to close this application..") +
               QString(23, QLatin1Char(' '));
    }
    static QString stopScanQuestion() { return QStringLiteral("Do you want to stop recovery process ?"); }
    static QString stopConversionQuestion()
    {
        return QStringLiteral("Do you want to stop OST to EML Conversion process ?");
    }

    static QString notAnOstFile() { return QStringLiteral("This is not a valid OST File"); }
    static QString openFailed()
    {
        return QStringLiteral("Please check file use in another proess or File is highly corrupted! Please "
                              "select another file OR contact support team..");
    }
    // What assistive technology calls the controls.
    static QString pathFieldName() { return QStringLiteral("OST file"); }
    static QString treeName() { return QStringLiteral("Folders"); }
    static QString listName() { return QStringLiteral("Items"); }
    static QString previewName() { return QStringLiteral("Preview"); }

    // The search above the item list.
    static QString searchFieldName() { return QStringLiteral("Search"); }
    static QString searchScopeName() { return QStringLiteral("Search in"); }
    static QString searchStatusName() { return QStringLiteral("Search result"); }
    static QString searchPlaceholder()
    {
        return QStringLiteral("Search (Ctrl+F): words, \"a phrase\", from:, to:, subject:, body:, attachment:");
    }
    static QString searchHelp()
    {
        return QStringLiteral(
            "Every word must match, as a whole word, ignoring case and accents.\n"
            "\"two words\" matches the words in this order.\n"
            "from: to: subject: body: attachment: look in one field only.\n"
            "has:attachment, kind:mail, kind:contact, kind:appointment, kind:task, kind:note,\n"
            "kind:journal filter.\n"
            "Escape clears the search.");
    }
    static QString searchWholeStore() { return QStringLiteral("Whole store"); }
    static QString searchSelectedFolder() { return QStringLiteral("Selected folder"); }
    static QString searching() { return QStringLiteral("Searching..."); }
    static QString searchingFound(qint64 matches)
    {
        return QStringLiteral("Searching... %L1 found so far").arg(matches);
    }
    static QString searchFound(qint64 matches)
    {
        return matches == 1 ? QStringLiteral("1 match") : QStringLiteral("%L1 matches").arg(matches);
    }
    static QString searchTooMany(qint64 shown, qint64 matches)
    {
        return QStringLiteral("%L1 matches; the first %L2 are listed. Add words to narrow the search.")
            .arg(matches)
            .arg(shown);
    }
    static QString searchNotAvailable() { return QStringLiteral("Scan the store to search it."); }
    static QString searchFailed(const QString& path, const QString& reason)
    {
        return QStringLiteral("The search index %1 cannot be read: %2").arg(path, reason);
    }
    static QString progressName() { return QStringLiteral("Progress"); }

    // The progress bar's text while a scan runs.
    static QString openingStore() { return QStringLiteral("Opening the store..."); }
    static QString countingItems() { return QStringLiteral("Counting folders and items..."); }
    static QString itemsRead(int done, int total)
    {
        return QStringLiteral("%L1 of %L2 items read").arg(done).arg(total);
    }
    static QString scanFailed()
    {
        return QStringLiteral(
            "Scanning process failed! Please select another file OR contact support team..");
    }
    static QString textsNotKept()
    {
        return QStringLiteral("The scan was stopped: the texts of the items read cannot be kept on the disk. "
                              "Make room in the temporary folder and scan again.");
    }
    static QString scanCompleted()
    {
        return QStringLiteral("OST Repair Successfully Completed! Click on \"Convert OST to EML\" button to "
                              "Export OST emails to EML files.");
    }
    static QString nothingToConvert()
    {
        return QStringLiteral("Please select an OST file and scan it before converting it to EML files.");
    }
    static QString conversionCompleted() { return QStringLiteral("OST to EML Conversion Completed!"); }
    static QString conversionStopped() { return QStringLiteral("OST to EML Conversion stopped."); }
    static QString destinationUnusable()
    {
        return QStringLiteral("The EML files cannot be written to the selected folder.");
    }
    static QString uploadImpossible(const QString& server)
    {
        return QStringLiteral("The mails cannot be uploaded to %1.").arg(server);
    }
    static QString folderUnusable(const QString& folder)
    {
        return QStringLiteral("The mails cannot be written to %1.").arg(folder);
    }
    static QString destinationFailed(const QString& destination)
    {
        return QStringLiteral("The conversion ended early: %1 failed.").arg(destination);
    }
    static QString notEnoughMemory() { return QStringLiteral("Not Enough Memory"); }

    static QString includeRecoveredMenuEntry() { return QStringLiteral("Include &recovered items"); }
    static QString saveAttachmentsMenuEntry() { return QStringLiteral("Save &attachments..."); }
    static QString saveAttachmentsCaption()
    {
        return QStringLiteral("Select the folder to save the attachments in");
    }
    static QString attachmentNotOpened(const QString& name)
    {
        return QStringLiteral("%1 could not be opened: no application is set up for files of its type.\n\n"
                              "Do you want to save it in a folder instead?")
            .arg(name);
    }
    static QString attachmentsNotSaved() { return QStringLiteral("These attachments could not be saved:"); }

    static QString fileDialogTitle() { return QStringLiteral("Select File..."); }
    static QString fileDialogFilter() { return QStringLiteral("Microsoft Exchange OST File (*ost) (*.ost)"); }
    static QString convertFolderCaption() { return QStringLiteral("Select the Path to Save Recovered File"); }

    // The product page bundled in the resources; its path is "/extract-ost-to-eml.html".
    static QString productPageAddress() { return QStringLiteral("qrc:/extract-ost-to-eml.html"); }
    static QString supportAddress() { return QStringLiteral("support@tarvolin.example"); }
    static QString aboutSecondLine() { return QStringLiteral("Copyright (C) Tarvolin Software"); }
    // The About box's line with the build's version and the licence.
    static QString versionAndLicence()
    {
        return QStringLiteral("Version %1. %2").arg(QStringLiteral(OST2EML_VERSION), licence());
    }
    static QString licence()
    {
        return QStringLiteral("Proprietary licence, all rights reserved.");
    }
    static QString convertKindsQuestion() { return QStringLiteral("Which items do you want to convert?"); }
    static QString convertDestinationQuestion() { return QStringLiteral("Where do they go?"); }
    static QString imapHoldsMailOnly()
    {
        return QStringLiteral("An IMAP server holds mail only: contacts, calendars, tasks, notes\n"
                              "and journal entries can be converted into a folder.");
    }
    static QString certificatesVerified()
    {
        return QStringLiteral("The server's certificate and host name are always verified, against\n"
                              "the system's certificate authorities and the one in this file, where given.");
    }
    static QString certificateFileCaption() { return QStringLiteral("Select the certificate authority file"); }
    static QString certificateFileFilter()
    {
        return QStringLiteral("Certificates (*.pem *.crt *.cer);;All files (*)");
    }
    // What the conversion dialog says of input it cannot take.
    static QString folderMissing() { return QStringLiteral("Choose the folder to write into."); }
    static QString folderIsAFile(const QString& path)
    {
        return QStringLiteral("%1 is a file, not a folder.").arg(path);
    }
    static QString hostMissing() { return QStringLiteral("Enter the IMAP server's host name."); }
    static QString notAHostName(const QString& host)
    {
        return QStringLiteral("'%1' is not a host name.").arg(host);
    }
    static QString portMissing() { return QStringLiteral("Enter the server's port (993 for TLS, 143 for STARTTLS)."); }
    static QString userMissing() { return QStringLiteral("Enter the user name."); }
    static QString passwordMissing() { return QStringLiteral("Enter the password."); }
    static QString certificateFileMissing(const QString& path)
    {
        return QStringLiteral("The certificate authority file %1 cannot be found.").arg(path);
    }
    static QString helpWindowTitle() { return productName() + QStringLiteral(" Help"); }
    static QString helpMissing()
    {
        return QStringLiteral("The help pages could not be found; they belong in share/tarvolin-ost2eml/help "
                              "beside the program's folder.");
    }
};

} // namespace app
