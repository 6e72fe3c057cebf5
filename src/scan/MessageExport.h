#pragma once

#include <QString>

namespace store {
class Item;
} // namespace store

namespace scan {

struct ExportHandle;
struct LogHandle;
struct MessageCollection;

// The mail export: body, attachments, recipients and header values of one e-mail, turned into
// a mail record attached to the current folder node. 1 when the record was appended; -1 when
// the export was aborted or the header could not be built.
int export_handle_export_email(ExportHandle* handle, const store::Item& message, int itemIndex,
                               const QString& exportPath, char bodyFormat, LogHandle* log, QString* error);

// Fills the collection's body: the HTML body, else (where a reservation file can be made) the
// RTF body, else the plain-text body, else the RTF body. An RTF body gives the HTML or text it
// holds (eml::RtfDeEncapsulator), never its source.
int export_handle_export_message_body(ExportHandle* handle, const store::Item& message,
                                      const QString& exportPath, MessageCollection& collection,
                                      QString* error);
int export_handle_export_message_body_html(ExportHandle* handle, const store::Item& message,
                                           const QString& exportPath, std::size_t size,
                                           MessageCollection& collection, QString* error);
int export_handle_export_message_body_rtf(ExportHandle* handle, const store::Item& message,
                                          const QString& exportPath, std::size_t size,
                                          MessageCollection& collection, QString* error);
int export_handle_export_message_body_plain_text(ExportHandle* handle, const store::Item& message,
                                                 std::size_t size, MessageCollection& collection,
                                                 QString* error);
// Reads the header values, appends the record and marks the folder node.
int export_handle_export_message_header(ExportHandle* handle, const store::Item& message,
                                        const QString& exportPath, MessageCollection& collection,
                                        QString* error);

// Bodies of this many bytes or more (terminating zero included) are not kept.
inline constexpr std::size_t MaximumBodySize = 65000;
// The largest body a search reads (a store's sizes may be damaged: never allocate beyond this).
inline constexpr std::size_t MaximumSearchBodySize = 32 * 1024 * 1024;

} // namespace scan
