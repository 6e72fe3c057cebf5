#pragma once

#include "StoreWriter.h"

namespace storegen {

// Writes the small demo mailbox that shows what the converter does: the usual folders, a few
// dozen mails of every body kind, priority and importance, attachments (a document, an inline
// image, an attached mail, a link), non-ASCII text, contacts, appointments and tasks.
class DemoMailbox
{
public:
    void write(StoreWriter& writer);
};

} // namespace storegen
