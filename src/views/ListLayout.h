#pragma once

#include <QList>
#include <QString>

namespace views {

// The item list's column layouts as plain data: headings, widths in pixels, alignment. The first
// two columns of every layout ("S.No"/"S.NO" and "Type") have width 0 and carry the row's
// identity (serial number and type word).
class ListLayout
{
public:
    enum class Kind
    {
        Initial, // until the first fill of a folder changes it
        Mail,
        Contact,
        Appointment,
        Task,
        Note,
        Journal,
        SearchResults, // the matches of a search, of any kind and folder
    };

    enum class Alignment
    {
        Left,
        Right,
        Center,
    };

    struct Column
    {
        QString heading;
        int width = 0;
        Alignment alignment = Alignment::Left;

        bool operator==(const Column&) const = default;
    };

    static constexpr int SerialColumn = 0;
    static constexpr int TypeColumn = 1;

    static QList<Column> columns(Kind kind);
};

} // namespace views
