#pragma once

#include "eml/Message.h"

#include <QByteArray>

class QIODevice;

namespace eml {

// Turns a Message into an RFC 5322 / MIME message (CRLF line ends).
//
// Headers: the received Internet headers when the message has them, without their old MIME
// structure fields, completed by the fields they lack; otherwise headers made from the values.
// Bodies: text/plain and text/html (UTF-8) as multipart/alternative when both exist; an RTF body
// gives the HTML or text it encapsulates, or its plain text when it is the only body. Images that
// the HTML refers to by cid: go with it into multipart/related; other attachments follow in
// multipart/mixed: files as base64, embedded messages as message/rfc822 (recursively), files
// attached by reference as text/uri-list parts naming where they are.
//
// The output depends on the value alone: boundaries are derived from the content, and nothing
// comes from the clock, the host or a random source. Reentrant: separate threads may write
// separate messages at once.
class MessageWriter
{
public:
    enum class Error
    {
        None,
        // Embedded messages nested deeper than kMaxNesting.
        NestingTooDeep,
        // The device did not take all the bytes.
        WriteFailed,
    };

    static constexpr int kMaxNesting = 32;

    // The whole message; empty with *error set when it cannot be written.
    static QByteArray toBytes(const Message& message, Error* error = nullptr);
    // Streams the whole message to an open device; attachment bytes are not copied on the way.
    // A message that cannot be written (NestingTooDeep) leaves the device untouched; after
    // WriteFailed the device holds a partial message, which the caller discards.
    static Error write(const Message& message, QIODevice& device);
};

} // namespace eml
