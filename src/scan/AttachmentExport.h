#pragma once

#include <QString>

namespace catalog {
struct MailAttachment;
} // namespace catalog
namespace store {
class Item;
class Store;
} // namespace store

namespace scan {

struct ExportHandle;
struct LogHandle;
struct MessageCollection;

// The recipient line: each recipient's display name followed by " ;". A recipient without any
// of its four texts is skipped. 1, or -1 when the recipients could not be read.
int export_handle_export_recipients(ExportHandle* handle, const store::Item& message,
                                    MessageCollection& collection, LogHandle* log, QString* error);
int export_handle_export_recipients_to_stream(ExportHandle* handle, const store::Item& recipients,
                                              int numberOfRecipients, MessageCollection& collection,
                                              LogHandle* log, QString* error);

// The attachment list: each data or embedded attachment's path in the attachments directory
// followed by " ;"; embedded items get a directory there and are exported through the dispatch.
// -1 only when aborted; attachments that cannot be read are noted in the collection.
int export_handle_export_attachments(ExportHandle* handle, const store::Item& message,
                                     MessageCollection& collection, char bodyFormat, LogHandle* log,
                                     QString* error);
int export_handle_export_attachment(ExportHandle* handle, const store::Item& attachment, int attachmentIndex,
                                    const QString& attachmentsDirectory, MessageCollection& collection,
                                    char bodyFormat, LogHandle* log, QString* error);

// Saves the content of a data attachment the scan listed into its file path (a new file in a new
// folder), finding it in `store` by its route. True when the file is there (already, or now);
// false with `error` set when the attachment cannot be found or read, or the file not written.
bool saveAttachmentFile(const store::Store& store, const catalog::MailAttachment& attachment, QString* error);

} // namespace scan
