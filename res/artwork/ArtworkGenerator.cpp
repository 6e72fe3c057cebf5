// Draws the program's artwork: the 17 folder icons, the application icon, the two header
// pictures, the about picture and the two status-page pictures. Run it with the res/ folder as
// its argument to regenerate the committed files.

#include "GifWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <cmath>
#include <functional>
#include <numbers>

namespace {

const QColor Orange(255, 193, 26);
const QColor DeepOrange(230, 120, 10);
const QColor Navy(24, 48, 96);
const QColor FolderBack(214, 160, 40);
const QColor FolderFront(250, 208, 90);
const QColor FolderEdge(150, 100, 20);

using Draw = std::function<void(QPainter&)>;

// Draws in a 16 x 16 coordinate system, supersampled so the small icons stay crisp.
QImage icon16(const Draw& draw)
{
    constexpr int scale = 4;
    QImage big(16 * scale, 16 * scale, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    draw(p);
    p.end();
    return big.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QPen pen(const QColor& colour, double width = 0.8)
{
    QPen result(colour, width);
    result.setJoinStyle(Qt::RoundJoin);
    result.setCapStyle(Qt::RoundCap);
    return result;
}

void closedFolder(QPainter& p)
{
    p.setPen(pen(FolderEdge));
    p.setBrush(FolderBack);
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    QLinearGradient g(0, 6, 0, 14);
    g.setColorAt(0, FolderFront.lighter(115));
    g.setColorAt(1, FolderFront);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 7), 0.6, 0.6);
}

void openFolder(QPainter& p)
{
    p.setPen(pen(FolderEdge));
    p.setBrush(FolderBack);
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(13, 5);
    back.lineTo(13, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 4.5, 8, 6));
    p.setBrush(FolderFront);
    QPainterPath front;
    front.moveTo(3.5, 7.5);
    front.lineTo(15.2, 7.5);
    front.lineTo(13, 13.5);
    front.lineTo(1.5, 13.5);
    front.closeSubpath();
    p.drawPath(front);
}

void clock(QPainter& p, const QPointF& centre, double radius)
{
    p.setPen(pen(QColor(40, 40, 40), 0.7));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    p.drawLine(centre, centre + QPointF(0, -radius * 0.65));
    p.drawLine(centre, centre + QPointF(radius * 0.5, 0));
}

void houseWithClock(QPainter& p)
{
    p.setPen(pen(QColor(120, 40, 20)));
    p.setBrush(QColor(200, 60, 40));
    QPolygonF roof({QPointF(1, 7.5), QPointF(8, 1.5), QPointF(15, 7.5)});
    p.drawPolygon(roof);
    p.setBrush(QColor(245, 230, 200));
    p.setPen(pen(QColor(120, 90, 50)));
    p.drawRect(QRectF(3, 7.5, 10, 7));
    clock(p, QPointF(8, 10.8), 2.6);
}

void calendarPage(QPainter& p)
{
    p.setPen(pen(QColor(90, 90, 90)));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(2, 2.5, 12, 12), 1, 1);
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRectF(2, 2.5, 12, 3.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            p.drawRect(QRectF(3.5 + col * 2.5, 7.5 + row * 2.2, 1.5, 1.2));
    p.setPen(pen(QColor(60, 60, 60), 1));
    p.drawLine(QPointF(5, 1.5), QPointF(5, 3.5));
    p.drawLine(QPointF(11, 1.5), QPointF(11, 3.5));
}

void contactCard(QPainter& p)
{
    p.setPen(pen(QColor(60, 90, 140)));
    p.setBrush(QColor(225, 235, 250));
    p.drawRoundedRect(QRectF(1.5, 3.5, 13, 10), 1.2, 1.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 110, 190));
    p.drawEllipse(QPointF(5.3, 7), 1.7, 1.7);
    QPainterPath body;
    body.moveTo(2.6, 12.3);
    body.cubicTo(2.6, 8.6, 8, 8.6, 8, 12.3);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(pen(QColor(90, 110, 140), 0.9));
    p.drawLine(QPointF(9.5, 6.5), QPointF(13, 6.5));
    p.drawLine(QPointF(9.5, 8.8), QPointF(13, 8.8));
    p.drawLine(QPointF(9.5, 11.1), QPointF(12, 11.1));
}

void recycleBin(QPainter& p)
{
    p.setPen(pen(QColor(60, 70, 80)));
    QLinearGradient g(3, 0, 13, 0);
    g.setColorAt(0, QColor(170, 185, 200));
    g.setColorAt(0.5, QColor(230, 238, 245));
    g.setColorAt(1, QColor(150, 165, 180));
    p.setBrush(g);
    QPolygonF bin({QPointF(3.5, 4.5), QPointF(12.5, 4.5), QPointF(11.5, 14.5), QPointF(4.5, 14.5)});
    p.drawPolygon(bin);
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 2), 0.6, 0.6);
    p.setPen(pen(QColor(40, 140, 60), 1.1));
    p.drawArc(QRectF(5.5, 7, 5, 5), 30 * 16, 280 * 16);
}

void folderWith(QPainter& p, const Draw& overlay)
{
    closedFolder(p);
    overlay(p);
}

void pencil(QPainter& p)
{
    p.save();
    p.translate(11, 9);
    p.rotate(45);
    p.setPen(pen(QColor(90, 60, 20), 0.6));
    p.setBrush(QColor(250, 200, 60));
    p.drawRect(QRectF(-1.2, -6, 2.4, 7));
    p.setBrush(QColor(240, 150, 160));
    p.drawRect(QRectF(-1.2, -7.5, 2.4, 1.5));
    QPolygonF tip({QPointF(-1.2, 1), QPointF(1.2, 1), QPointF(0, 3.2)});
    p.setBrush(QColor(240, 220, 180));
    p.drawPolygon(tip);
    p.restore();
}

void envelope(QPainter& p, const QRectF& r, bool open = false)
{
    p.setPen(pen(QColor(80, 90, 110), 0.7));
    p.setBrush(Qt::white);
    if (open) {
        QPolygonF flap({QPointF(r.left(), r.top() + r.height() * 0.35),
                        QPointF(r.center().x(), r.top() - r.height() * 0.35),
                        QPointF(r.right(), r.top() + r.height() * 0.35)});
        p.setBrush(QColor(235, 235, 240));
        p.drawPolygon(flap);
        p.setBrush(QColor(255, 250, 225));
        p.drawRect(QRectF(r.left() + 1.5, r.top() - 1, r.width() - 3, r.height() * 0.7));
        p.setBrush(Qt::white);
    }
    p.drawRect(QRectF(r.left(), r.top() + (open ? r.height() * 0.35 : 0), r.width(),
                      r.height() * (open ? 0.65 : 1)));
    if (!open) {
        p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + 0.5));
        p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + 0.5));
    } else {
        const double top = r.top() + r.height() * 0.35;
        p.drawLine(QPointF(r.left(), top), QPointF(r.center().x(), r.bottom() - 1.5));
        p.drawLine(QPointF(r.right(), top), QPointF(r.center().x(), r.bottom() - 1.5));
    }
}

void greenBookWithClock(QPainter& p)
{
    p.setPen(pen(QColor(20, 80, 40)));
    p.setBrush(QColor(50, 150, 80));
    p.drawRoundedRect(QRectF(2.5, 1.5, 10, 13), 0.8, 0.8);
    p.setBrush(QColor(240, 240, 230));
    p.drawRect(QRectF(12.5, 2.5, 1.2, 11));
    p.setPen(pen(QColor(20, 80, 40), 1));
    p.drawLine(QPointF(4, 2), QPointF(4, 14));
    clock(p, QPointF(8.5, 8), 3);
}

void noEntry(QPainter& p)
{
    p.setPen(pen(Qt::white, 0.6));
    p.setBrush(QColor(210, 30, 30));
    p.drawEllipse(QPointF(11, 10.5), 3.8, 3.8);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.8, 9.8, 4.4, 1.4));
}

void stickyNote(QPainter& p)
{
    p.setPen(pen(QColor(170, 150, 30)));
    p.setBrush(QColor(255, 240, 120));
    QPainterPath note;
    note.moveTo(2.5, 2.5);
    note.lineTo(13.5, 2.5);
    note.lineTo(13.5, 10.5);
    note.lineTo(9.5, 14.5);
    note.lineTo(2.5, 14.5);
    note.closeSubpath();
    p.drawPath(note);
    p.setBrush(QColor(230, 210, 80));
    p.drawPolygon(QPolygonF({QPointF(13.5, 10.5), QPointF(9.5, 10.5), QPointF(9.5, 14.5)}));
    p.setPen(pen(QColor(150, 130, 40), 0.6));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(4, 5 + i * 2), QPointF(12, 5 + i * 2));
}

void blueArrow(QPainter& p)
{
    p.setPen(pen(QColor(20, 60, 140), 0.6));
    p.setBrush(QColor(50, 120, 220));
    QPolygonF arrow({QPointF(7.5, 9), QPointF(11.5, 9), QPointF(11.5, 6.8), QPointF(15.3, 10.5),
                     QPointF(11.5, 14.2), QPointF(11.5, 12), QPointF(7.5, 12)});
    p.drawPolygon(arrow);
}

void card(QPainter& p)
{
    p.setPen(pen(QColor(70, 80, 100), 0.6));
    p.setBrush(QColor(235, 245, 255));
    p.drawRect(QRectF(7.5, 7.5, 7.5, 6.5));
    p.setPen(pen(QColor(60, 110, 190), 0.8));
    p.drawLine(QPointF(9, 9.6), QPointF(13.5, 9.6));
    p.drawLine(QPointF(9, 11.8), QPointF(12.3, 11.8));
}

void clipboardWithTick(QPainter& p)
{
    p.setPen(pen(QColor(110, 70, 30)));
    p.setBrush(QColor(190, 140, 80));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12.5), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 4.5, 8, 9.3));
    p.setBrush(QColor(160, 160, 170));
    p.drawRoundedRect(QRectF(5.5, 1.5, 5, 2.5), 0.6, 0.6);
    p.setPen(pen(QColor(30, 150, 50), 1.5));
    p.drawPolyline(QPolygonF({QPointF(5.5, 9), QPointF(7.5, 11.3), QPointF(11, 6.5)}));
}

void magnifier(QPainter& p)
{
    p.setPen(pen(QColor(50, 50, 60), 1.4));
    p.drawLine(QPointF(12.2, 12.2), QPointF(15, 15));
    p.setPen(pen(QColor(50, 50, 60), 0.9));
    p.setBrush(QColor(200, 230, 255, 220));
    p.drawEllipse(QPointF(10, 10), 2.8, 2.8);
}

void stackedTrays(QPainter& p)
{
    for (int i = 0; i < 3; ++i) {
        const double y = 3.5 + i * 3.8;
        p.setPen(pen(QColor(70, 80, 90)));
        p.setBrush(QColor(170, 185, 200));
        QPolygonF tray({QPointF(1.5, y), QPointF(3, y + 3), QPointF(13, y + 3), QPointF(14.5, y)});
        p.drawPolygon(tray);
        p.setBrush(Qt::white);
        p.setPen(pen(QColor(120, 120, 120), 0.5));
        p.drawRect(QRectF(3.5, y - 1.4, 9, 1.6));
    }
}

struct NamedIcon
{
    const char* name;
    Draw draw;
};

QList<NamedIcon> folderIcons()
{
    return {
        {"closed-folder", closedFolder},
        {"open-folder", openFolder},
        {"house-with-clock", houseWithClock},
        {"calendar", calendarPage},
        {"contacts", contactCard},
        {"deleted-items", recycleBin},
        {"drafts",
         [](QPainter& p) {
             folderWith(p, pencil);
         }},
        {"inbox",
         [](QPainter& p) {
             folderWith(p, [](QPainter& q) { envelope(q, QRectF(7, 8, 8, 5.5)); });
         }},
        {"journal", greenBookWithClock},
        {"junk-emails",
         [](QPainter& p) {
             folderWith(p, noEntry);
         }},
        {"notes", stickyNote},
        {"outbox",
         [](QPainter& p) {
             folderWith(p, blueArrow);
         }},
        {"sent-items",
         [](QPainter& p) {
             folderWith(p, card);
         }},
        {"tasks", clipboardWithTick},
        {"sync-issues",
         [](QPainter& p) {
             folderWith(p, magnifier);
         }},
        {"open-envelope",
         [](QPainter& p) {
             envelope(p, QRectF(1.5, 6, 13, 8), true);
         }},
        {"stacked-trays", stackedTrays},
    };
}

// The program's mark: an envelope in front of an orange disc, with a blue arrow out of it.
void drawMark(QPainter& p, const QRectF& r)
{
    p.save();
    p.translate(r.topLeft());
    p.scale(r.width() / 100.0, r.height() / 100.0);
    QRadialGradient disc(QPointF(40, 35), 70);
    disc.setColorAt(0, QColor(255, 220, 110));
    disc.setColorAt(1, DeepOrange);
    p.setPen(QPen(QColor(150, 70, 0), 2.5));
    p.setBrush(disc);
    p.drawEllipse(QRectF(4, 4, 92, 92));
    QRectF env(20, 32, 60, 40);
    p.setPen(QPen(Navy, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawRoundedRect(env, 3, 3);
    p.drawPolyline(
        QPolygonF({env.topLeft() + QPointF(2, 2), QPointF(50, 56), env.topRight() + QPointF(-2, 2)}));
    p.setPen(QPen(QColor(20, 80, 170), 1.5));
    p.setBrush(QColor(40, 120, 220));
    QPolygonF arrow({QPointF(58, 66), QPointF(74, 66), QPointF(74, 58), QPointF(92, 74), QPointF(74, 90),
                     QPointF(74, 82), QPointF(58, 82)});
    p.drawPolygon(arrow);
    p.restore();
}

QImage appIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawMark(p, QRectF(0, 0, size, size));
    return image;
}

QFont font(int pixelSize, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QImage headerLeft()
{
    QImage image(593, 102, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient g(0, 0, 593, 0);
    g.setColorAt(0, Navy);
    g.setColorAt(0.75, QColor(40, 80, 150));
    g.setColorAt(1, QColor(70, 120, 190));
    p.fillRect(image.rect(), g);
    p.fillRect(QRect(0, 96, 593, 6), DeepOrange);
    drawMark(p, QRectF(14, 10, 76, 76));
    p.setPen(Qt::white);
    p.setFont(font(26, true));
    p.drawText(QRect(104, 12, 480, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tarvolin OST to EML Converter"));
    p.setPen(QColor(255, 210, 90));
    p.setFont(font(15, false));
    p.drawText(QRect(106, 54, 480, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Open offline stores, browse every folder, save mail as EML"));
    return image;
}

QImage headerRight()
{
    QImage image(293, 102, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 293, 0);
    g.setColorAt(0, QColor(70, 120, 190));
    g.setColorAt(0.55, QColor(140, 160, 150));
    g.setColorAt(1, Orange);
    p.fillRect(image.rect(), g);
    QLinearGradient stripe(0, 0, 293, 0);
    stripe.setColorAt(0, DeepOrange);
    stripe.setColorAt(1, Orange);
    p.fillRect(QRect(0, 96, 293, 6), stripe);
    // Mails leaving towards the right, fading into the window's colour.
    for (int i = 0; i < 4; ++i) {
        const double x = 20 + i * 58;
        const double y = 22 + (i % 2) * 22;
        p.setOpacity(1.0 - i * 0.2);
        p.setPen(QPen(Navy, 2));
        p.setBrush(Qt::white);
        QRectF env(x, y, 44 - i * 4, 30 - i * 3);
        p.drawRoundedRect(env, 2, 2);
        p.drawPolyline(
            QPolygonF({env.topLeft() + QPointF(2, 2), QPointF(env.center().x(), env.center().y() + 3),
                       env.topRight() + QPointF(-2, 2)}));
    }
    return image;
}

QImage aboutPicture()
{
    QImage image(600, 322, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 322);
    g.setColorAt(0, QColor(255, 252, 240));
    g.setColorAt(1, QColor(255, 232, 170));
    p.fillRect(image.rect(), g);
    p.fillRect(QRect(0, 0, 600, 8), Navy);
    p.fillRect(QRect(0, 314, 600, 8), DeepOrange);
    p.setPen(QPen(QColor(230, 170, 60), 1));
    p.drawLine(QPointF(30, 100), QPointF(570, 100));
    drawMark(p, QRectF(430, 120, 140, 140));
    drawMark(p, QRectF(60, 28, 80, 80));
    return image;
}

QList<QRgb> statusPalette()
{
    QList<QRgb> palette;
    // White, a ramp from white to orange, a ramp from white to green, greys.
    for (int i = 0; i < 64; ++i) {
        const double t = i / 63.0;
        palette.append(qRgb(255 - static_cast<int>(t * (255 - DeepOrange.red())),
                            255 - static_cast<int>(t * (255 - DeepOrange.green())),
                            255 - static_cast<int>(t * (255 - DeepOrange.blue()))));
    }
    for (int i = 0; i < 64; ++i) {
        const double t = i / 63.0;
        palette.append(qRgb(255 - static_cast<int>(t * 225), 255 - static_cast<int>(t * 95),
                            255 - static_cast<int>(t * 195)));
    }
    for (int i = 0; i < 64; ++i) {
        const double t = i / 63.0;
        palette.append(qRgb(255 - static_cast<int>(t * 230), 255 - static_cast<int>(t * 200),
                            255 - static_cast<int>(t * 40)));
    }
    for (int i = 0; i < 64; ++i)
        palette.append(qRgb(i * 4, i * 4, i * 4));
    return palette;
}

QList<QImage> loadingFrames()
{
    QList<QImage> frames;
    constexpr int dots = 12;
    for (int frame = 0; frame < dots; ++frame) {
        QImage image(100, 100, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < dots; ++i) {
            const int age = (frame - i + dots) % dots;
            const double angle = 2 * std::numbers::pi * i / dots - std::numbers::pi / 2;
            const double t = 1.0 - age / static_cast<double>(dots);
            QColor c = DeepOrange;
            c.setRedF(1.0 - t * (1.0 - c.redF()));
            c.setGreenF(1.0 - t * (1.0 - c.greenF()));
            c.setBlueF(1.0 - t * (1.0 - c.blueF()));
            p.setBrush(c);
            p.drawEllipse(QPointF(50 + 36 * std::cos(angle), 50 + 36 * std::sin(angle)), 4 + 3 * t,
                          4 + 3 * t);
        }
        frames.append(image);
    }
    return frames;
}

QImage donePicture()
{
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 160, 60));
    p.drawEllipse(QPointF(50, 50), 44, 44);
    p.setPen(QPen(Qt::white, 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(28, 52), QPointF(44, 68), QPointF(73, 34)}));
    return image;
}

bool save(const QImage& image, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool ok = image.save(path, "PNG");
    if (!ok)
        QTextStream(stderr) << "cannot write " << path << '\n';
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--icons") == 0) {
        // The program's icon at the sizes of an icon theme, for installing.
        const QDir theme(QString::fromLocal8Bit(argv[2]));
        bool ok = true;
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
            ok = save(appIcon(size),
                      theme.filePath(QStringLiteral("%1x%1/apps/tarvolin-ost2eml.png").arg(size))) &&
                 ok;
        return ok ? 0 : 1;
    }
    if (argc != 2) {
        QTextStream(stderr) << "usage: ost2eml-artwork <res folder>\n"
                               "       ost2eml-artwork --icons <icon theme folder>\n";
        return 2;
    }
    const QDir res(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (const NamedIcon& icon : folderIcons())
        ok = save(icon16(icon.draw), res.filePath(QStringLiteral("folders/") + QLatin1String(icon.name) +
                                                  QStringLiteral(".png"))) &&
             ok;
    for (const int size : {16, 32, 48, 256})
        ok = save(appIcon(size), res.filePath(QStringLiteral("icons/app-%1.png").arg(size))) && ok;
    ok = save(appIcon(256), res.filePath(QStringLiteral("icons/app.png"))) && ok;
    ok = save(headerLeft(), res.filePath(QStringLiteral("pictures/header-left.png"))) && ok;
    ok = save(headerRight(), res.filePath(QStringLiteral("pictures/header-right.png"))) && ok;
    ok = save(aboutPicture(), res.filePath(QStringLiteral("pictures/about.png"))) && ok;
    QDir().mkpath(res.filePath(QStringLiteral("pages")));
    ok = artwork::GifWriter::write(res.filePath(QStringLiteral("pages/loading.gif")), loadingFrames(),
                                   statusPalette(), 8) &&
         ok;
    ok = artwork::GifWriter::write(res.filePath(QStringLiteral("pages/done.gif")), {donePicture()},
                                   statusPalette(), 0) &&
         ok;
    return ok ? 0 : 1;
}
