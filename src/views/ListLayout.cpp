#include "ListLayout.h"

namespace views {

namespace {

ListLayout::Column column(const char* heading, int width)
{
    return ListLayout::Column{QString::fromLatin1(heading), width, ListLayout::Alignment::Left};
}

// The columns of a mail after the first six: when it came, to whom, how large.
QList<ListLayout::Column> mailDetails()
{
    return {column("Received", 130), column("To", 150), column("Size", 90)};
}

} // namespace

QList<ListLayout::Column> ListLayout::columns(Kind kind)
{
    switch (kind) {
    case Kind::Initial:
        return {column("S.NO", 0),   column("Type", 0),
                column("From", 200), column("E-mail Subject", 400),
                column("Flag", 50),  column("Priority", 100)};
    case Kind::Mail:
        return QList<Column>{column("S.No", 0),  column("Type", 0),     column("From", 150),
                             column("E-mail Subject", 300), column("Flag", 80), column("Priority", 80)} +
               mailDetails();
    case Kind::Contact:
        return {column("S.No", 0),
                column("Type", 0),
                column("Full name", 80),
                column("First name", 80),
                column("Last name", 80),
                column("Company", 80),
                column("Business Phone", 80),
                column("Business Fax", 80),
                column("Home Phone", 80),
                column("Mobile Phone", 80),
                column("Flag", 80),
                column("Categories", 80)};
    case Kind::Appointment:
        return {column("S.No", 0),   column("Type", 0), column("Subject", 80),    column("Location", 80),
                column("Start", 80), column("End", 80), column("Recurrence", 80), column("Size", 80)};
    case Kind::Task:
        return {column("S.No", 0),       column("Type", 0),     column("Subject", 250),
                column("Due Date", 130), column("Status", 130), column("% Complete", 80),
                column("Priority", 80)};
    case Kind::Note:
        return {column("S.No", 0), column("Type", 0), column("Subject", 300), column("Color", 80),
                column("Last Modified", 130)};
    case Kind::Journal:
        return {column("S.No", 0), column("Type", 0), column("Subject", 300), column("Entry Type", 130),
                column("Start", 130)};
    case Kind::SearchResults:
        return columns(Kind::Mail) + QList<Column>{column("Folder", 200)};
    }
    return {};
}

} // namespace views
