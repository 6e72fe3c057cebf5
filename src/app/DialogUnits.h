#pragma once

#include <QRect>

namespace app {

// Converts dialog-template units to pixels with the base units 6 x 13 (a dialog unit is a
// quarter of the average character width and an eighth of the character height), rounding as
// the templates' own conversion does.
class DialogUnits
{
public:
    static int x(int units) { return scale(units, 6, 4); }
    static int y(int units) { return scale(units, 13, 8); }
    static QRect rect(int left, int top, int width, int height)
    {
        return QRect(x(left), y(top), x(width), y(height));
    }

private:
    static int scale(int value, int numerator, int denominator)
    {
        return (value * numerator + denominator / 2) / denominator;
    }
};

} // namespace app
