#pragma once

#include "engine/EmlConversionJob.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;

namespace app {

// Asks which kinds of items a conversion writes: mail (checked at first), contacts, calendars,
// tasks, notes and journal entries, one check box each. OK needs at least one. GUI thread.
class ConvertKindsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConvertKindsDialog(QWidget* parent = nullptr);

    engine::ItemKinds kinds() const;
    QCheckBox* box(const QString& objectName) const;

private:
    void updateOk();

    QList<QCheckBox*> m_boxes;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace app
