#include "ConvertKindsDialog.h"

#include "Texts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace app {

namespace {

struct Kind
{
    const char* name;
    const char* text;
    bool engine::ItemKinds::*member;
};

constexpr Kind Kinds[] = {
    {"mail", "&Mail (one .eml file each)", &engine::ItemKinds::mail},
    {"contacts", "C&ontacts (a .vcf file per folder)", &engine::ItemKinds::contacts},
    {"calendar", "C&alendars (an .ics file per folder)", &engine::ItemKinds::calendar},
    {"tasks", "&Tasks (an .ics file per folder)", &engine::ItemKinds::tasks},
    {"notes", "&Notes (a .txt file each)", &engine::ItemKinds::notes},
    {"journal", "&Journal entries (an .ics file per folder)", &engine::ItemKinds::journal},
};

} // namespace

ConvertKindsDialog::ConvertKindsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("convertKinds"));
    setWindowTitle(Texts::productName());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Texts::convertKindsQuestion(), this));
    const engine::ItemKinds defaults;
    for (const Kind& kind : Kinds) {
        auto* box = new QCheckBox(QString::fromUtf8(kind.text), this);
        box->setObjectName(QLatin1String(kind.name));
        box->setChecked(defaults.*kind.member);
        connect(box, &QCheckBox::toggled, this, &ConvertKindsDialog::updateOk);
        layout->addWidget(box);
        m_boxes.append(box);
    }
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_buttons);
    updateOk();
}

engine::ItemKinds ConvertKindsDialog::kinds() const
{
    engine::ItemKinds kinds;
    for (qsizetype index = 0; index < m_boxes.size(); ++index)
        kinds.*Kinds[index].member = m_boxes[index]->isChecked();
    return kinds;
}

QCheckBox* ConvertKindsDialog::box(const QString& objectName) const
{
    return findChild<QCheckBox*>(objectName);
}

void ConvertKindsDialog::updateOk()
{
    const bool any =
        std::any_of(m_boxes.begin(), m_boxes.end(), [](const QCheckBox* b) { return b->isChecked(); });
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(any);
}

} // namespace app
