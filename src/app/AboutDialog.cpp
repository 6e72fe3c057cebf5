#include "AboutDialog.h"

#include "DialogUnits.h"
#include "Texts.h"

#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

namespace app {

namespace {

QLabel* addText(QWidget* parent, const QString& text, const QRect& unitsRect, const QString& objectName = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setGeometry(
        DialogUnits::rect(unitsRect.x(), unitsRect.y(), unitsRect.width(), unitsRect.height()));
    // The texts sit on the picture. A text longer than its place in the template grows to the
    // right rather than being cut.
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    const QSize hint = label->sizeHint();
    label->resize(qMax(label->width(), hint.width()), qMax(label->height(), hint.height()));
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("100"));
    setWindowTitle(Texts::productName() + QLatin1Char(' ') + Texts::version());
    setFixedSize(DialogUnits::x(400), DialogUnits::y(205));
    QFont templateFont = font();
    templateFont.setPointSize(8);
    setFont(templateFont);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    picture->setGeometry(DialogUnits::rect(0, 7, 400, 198));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(QStringLiteral(":/pictures/about.png")));

    addText(this, Texts::productName() + QLatin1Char(' ') + Texts::version(), QRect(107, 28, 114, 8),
            QStringLiteral("productLine"));
    addText(this, Texts::aboutSecondLine(), QRect(107, 40, 114, 8), QStringLiteral("secondLine"));
    addText(this, QStringLiteral("E-mail :"), QRect(23, 76, 48, 8), QStringLiteral("1003"));
    addText(this, QStringLiteral("Web Site:"), QRect(23, 103, 48, 8), QStringLiteral("webSiteLabel"));
    addText(this, Texts::supportAddress(), QRect(93, 77, 114, 8), QStringLiteral("supportAddress"));
    addText(this, Texts::productPageAddress(), QRect(94, 103, 84, 8), QStringLiteral("productPage"));

    addText(this, Texts::versionAndLicence(), QRect(23, 130, 354, 8), QStringLiteral("versionLine"));

    auto* aboutQt = new QPushButton(QStringLiteral("About Qt"), this);
    aboutQt->setObjectName(QStringLiteral("aboutQt"));
    aboutQt->setGeometry(DialogUnits::rect(243, 173, 56, 14));
    connect(aboutQt, &QPushButton::clicked, this, [this] { QMessageBox::aboutQt(this); });

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("1006"));
    ok->setGeometry(DialogUnits::rect(187, 173, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace app
