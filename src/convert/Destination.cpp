#include "Destination.h"

#include "EmlFilesDestination.h"
#include "MaildirDestination.h"
#include "MboxDestination.h"

namespace convert {

std::unique_ptr<Destination> Destination::create(DestinationFormat format)
{
    switch (format) {
    case DestinationFormat::Mbox:
        return std::make_unique<MboxDestination>();
    case DestinationFormat::Maildir:
        return std::make_unique<MaildirDestination>();
    case DestinationFormat::EmlFiles:
        break;
    }
    return std::make_unique<EmlFilesDestination>();
}

const char* Destination::formatName(DestinationFormat format)
{
    switch (format) {
    case DestinationFormat::Mbox:
        return "mbox";
    case DestinationFormat::Maildir:
        return "maildir";
    case DestinationFormat::EmlFiles:
        break;
    }
    return "eml";
}

} // namespace convert
