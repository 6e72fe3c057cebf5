#include "ConvertDestinationDialog.h"

#include "Texts.h"
#include "UserInteraction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace app {

namespace {

struct Kind
{
    const char* name;
    const char* text;
    bool convert::ItemKinds::*member;
};

constexpr Kind Kinds[] = {
    {"mail", "&Mail", &convert::ItemKinds::mail},
    {"contacts", "C&ontacts (a .vcf file per folder)", &convert::ItemKinds::contacts},
    {"calendar", "C&alendars (an .ics file per folder)", &convert::ItemKinds::calendar},
    {"tasks", "&Tasks (an .ics file per folder)", &convert::ItemKinds::tasks},
    {"notes", "&Notes (a .txt file each)", &convert::ItemKinds::notes},
    {"journal", "&Journal entries (an .ics file per folder)", &convert::ItemKinds::journal},
};

// The destinations, in the order of their buttons; the last is the IMAP server.
struct DestinationKind
{
    const char* name;
    const char* text;
    convert::DestinationFormat format;
};

constexpr DestinationKind Destinations[] = {
    {"eml", "A folder of &EML files (one .eml file per mail)", convert::DestinationFormat::EmlFiles},
    {"mbox", "A folder of m&box files (one per mail folder)", convert::DestinationFormat::Mbox},
    {"maildir", "A folder of Mail&dirs (one per mail folder)", convert::DestinationFormat::Maildir},
    {"imap", "An &IMAP server (mail only)", convert::DestinationFormat::EmlFiles},
};
constexpr int ImapDestination = 3;

// TLS from the first byte (imaps) or after STARTTLS (imap), in the order of the security choices.
constexpr int DefaultPorts[] = {993, 143};

QLineEdit* addField(QFormLayout* form, const char* label, const char* objectName)
{
    auto* field = new QLineEdit;
    field->setObjectName(QLatin1String(objectName));
    form->addRow(QString::fromUtf8(label), field);
    return field;
}

// A field with a button beside it that fills it in.
void addRowWithButton(QFormLayout* form, const QString& label, QLineEdit* field, QPushButton* button)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    form->addRow(label, row);
    // The label's access key goes to the field, not to the row around it.
    if (auto* text = qobject_cast<QLabel*>(form->labelForField(row)))
        text->setBuddy(field);
}

} // namespace

ConvertDestinationDialog::ConvertDestinationDialog(UserInteraction& interaction, QWidget* parent)
    : QDialog(parent), m_interaction(interaction)
{
    setObjectName(QStringLiteral("convertDestination"));
    setWindowTitle(Texts::productName());
    auto* layout = new QVBoxLayout(this);
    // The dialog grows with the notes that come and go, and is wide enough for the placeholders.
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    layout->addWidget(new QLabel(Texts::convertKindsQuestion(), this));
    const convert::ItemKinds defaults;
    for (const Kind& kind : Kinds) {
        auto* box = new QCheckBox(QString::fromUtf8(kind.text), this);
        box->setObjectName(QLatin1String(kind.name));
        box->setChecked(defaults.*kind.member);
        connect(box, &QCheckBox::toggled, this, &ConvertDestinationDialog::updateOk);
        layout->addWidget(box);
        m_kindBoxes.append(box);
    }
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(new QLabel(Texts::convertDestinationQuestion(), this));
    m_destinations = new QButtonGroup(this);
    for (int index = 0; index < int(std::size(Destinations)); ++index) {
        auto* button = new QRadioButton(QString::fromUtf8(Destinations[index].text), this);
        button->setObjectName(QLatin1String(Destinations[index].name));
        m_destinations->addButton(button, index);
        layout->addWidget(button);
    }
    m_destinations->button(0)->setChecked(true);

    m_pages = new QStackedWidget(this);
    auto* folderPage = new QWidget;
    auto* folderForm = new QFormLayout(folderPage);
    folderForm->setContentsMargins(0, 0, 0, 0);
    m_folder = new QLineEdit;
    m_folder->setObjectName(QStringLiteral("folder"));
    auto* browse = new QPushButton(QStringLiteral("Bro&wse..."));
    browse->setObjectName(QStringLiteral("browseFolder"));
    addRowWithButton(folderForm, QStringLiteral("&Folder:"), m_folder, browse);
    m_pages->addWidget(folderPage);

    auto* serverPage = new QWidget;
    auto* serverForm = new QFormLayout(serverPage);
    serverForm->setContentsMargins(0, 0, 0, 0);
    // Said where the server is chosen; the texts are broken by hand, so that the page's height
    // does not depend on its width.
    auto* mailOnly = new QLabel(Texts::imapHoldsMailOnly());
    mailOnly->setObjectName(QStringLiteral("mailOnly"));
    serverForm->addRow(mailOnly);
    m_host = addField(serverForm, "&Server:", "host");
    m_port = addField(serverForm, "&Port:", "port");
    m_port->setText(QString::number(DefaultPorts[0]));
    m_security = new QComboBox;
    m_security->setObjectName(QStringLiteral("security"));
    m_security->addItems({QStringLiteral("TLS (imaps)"), QStringLiteral("STARTTLS (imap)")});
    serverForm->addRow(QStringLiteral("Securit&y:"), m_security);
    m_prefix = addField(serverForm, "Folder p&refix:", "prefix");
    m_prefix->setPlaceholderText(QStringLiteral("none: the top of the account"));
    m_user = addField(serverForm, "&User:", "user");
    m_password = addField(serverForm, "Pass&word:", "password");
    m_password->setEchoMode(QLineEdit::Password);
    m_caFile = new QLineEdit;
    m_caFile->setObjectName(QStringLiteral("caFile"));
    m_caFile->setPlaceholderText(QStringLiteral("none: the system's only"));
    auto* browseCa = new QPushButton(QStringLiteral("Choose fi&le..."));
    browseCa->setObjectName(QStringLiteral("browseCaFile"));
    addRowWithButton(serverForm, QStringLiteral("Certificate aut&hority:"), m_caFile, browseCa);
    serverForm->addRow(new QLabel(Texts::certificatesVerified()));
    m_pages->addWidget(serverPage);
    m_pages->setMinimumWidth(fontMetrics().averageCharWidth() * 72);
    layout->addWidget(m_pages);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    QPalette palette = m_problem->palette();
    palette.setColor(QPalette::WindowText, Qt::darkRed);
    m_problem->setPalette(palette);
    layout->addWidget(m_problem);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &ConvertDestinationDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_buttons);

    connect(m_destinations, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            destinationChosen();
    });
    connect(m_security, &QComboBox::currentIndexChanged, this, &ConvertDestinationDialog::securityChosen);
    connect(browse, &QPushButton::clicked, this, &ConvertDestinationDialog::chooseFolder);
    connect(browseCa, &QPushButton::clicked, this, &ConvertDestinationDialog::chooseCertificateFile);
    destinationChosen();
}

bool ConvertDestinationDialog::uploads() const
{
    return m_destinations->checkedId() == ImapDestination;
}

ConversionRequest ConvertDestinationDialog::request() const
{
    ConversionRequest request;
    for (qsizetype index = 0; index < m_kindBoxes.size(); ++index)
        request.kinds.*Kinds[index].member = m_kindBoxes[index]->isEnabled() && m_kindBoxes[index]->isChecked();
    if (!uploads()) {
        request.format = Destinations[m_destinations->checkedId()].format;
        request.folder = m_folder->text().trimmed();
        return request;
    }
    QWidget* field = nullptr;
    if (!check(&field).isEmpty())
        return request;
    QString error;
    request.server = address(&error);
    request.password = m_password->text().toUtf8();
    request.caFile = m_caFile->text().trimmed();
    return request;
}

QString ConvertDestinationDialog::problem() const
{
    QWidget* field = nullptr;
    return check(&field);
}

QString ConvertDestinationDialog::check(QWidget** field) const
{
    if (!uploads()) {
        *field = m_folder;
        const QString folder = m_folder->text().trimmed();
        if (folder.isEmpty())
            return Texts::folderMissing();
        if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir())
            return Texts::folderIsAFile(folder);
        return {};
    }
    const QString host = m_host->text().trimmed();
    const std::pair<QLineEdit*, QString> required[] = {
        {m_host, Texts::hostMissing()},
        {m_port, Texts::portMissing()},
        {m_user, Texts::userMissing()},
        {m_password, Texts::passwordMissing()},
    };
    for (const auto& [edit, missing] : required) {
        *field = edit;
        if (edit->text().trimmed().isEmpty())
            return missing;
    }
    const QString caFile = m_caFile->text().trimmed();
    *field = m_caFile;
    if (!caFile.isEmpty() && !QFileInfo(caFile).isFile())
        return Texts::certificateFileMissing(caFile);

    // The rest is the address's own rules (the port's among them).
    QString error;
    const std::optional<convert::ImapAddress> parsed = address(&error);
    *field = m_port;
    if (!parsed)
        return error;
    *field = m_host;
    // Characters that end a host name in an address (a "/" or "@") leave a different one.
    if (parsed->host != bareHost() || parsed->host.contains(QLatin1Char(' ')))
        return Texts::notAHostName(host);
    return {};
}

QString ConvertDestinationDialog::bareHost() const
{
    const QString host = m_host->text().trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        return host.mid(1, host.size() - 2);
    return host;
}

std::optional<convert::ImapAddress> ConvertDestinationDialog::address(QString* error) const
{
    // Written as the command line takes it, and read back by the same rules.
    const QString host = bareHost();
    const QString text =
        (m_security->currentIndex() == 0 ? QStringLiteral("imaps://") : QStringLiteral("imap://")) +
        QString::fromLatin1(QUrl::toPercentEncoding(m_user->text())) + QLatin1Char('@') +
        (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') +
        m_port->text().trimmed() + QLatin1Char('/') +
        QString::fromLatin1(QUrl::toPercentEncoding(m_prefix->text().trimmed(), "/"));
    return convert::ImapAddress::parse(text, error);
}

void ConvertDestinationDialog::clearPassword()
{
    m_password->clear();
}

void ConvertDestinationDialog::accept()
{
    QWidget* field = nullptr;
    const QString problem = check(&field);
    m_problem->setText(problem);
    if (!problem.isEmpty()) {
        field->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}

void ConvertDestinationDialog::destinationChosen()
{
    const bool server = uploads();
    m_pages->setCurrentIndex(server ? 1 : 0);
    // The kinds an IMAP server cannot hold are off, their check marks kept for a folder.
    for (QCheckBox* box : m_kindBoxes)
        box->setEnabled(!server || box->objectName() == QLatin1String("mail"));
    m_problem->clear();
    updateOk();
}

void ConvertDestinationDialog::securityChosen(int index)
{
    // A port left at the other choice's default follows the choice.
    if (m_port->text().trimmed() == QString::number(DefaultPorts[1 - index]))
        m_port->setText(QString::number(DefaultPorts[index]));
}

void ConvertDestinationDialog::chooseFolder()
{
    const QString folder = m_interaction.chooseFolder(this, Texts::convertFolderCaption());
    if (!folder.isEmpty())
        m_folder->setText(folder);
}

void ConvertDestinationDialog::chooseCertificateFile()
{
    const QString file =
        m_interaction.chooseFile(this, Texts::certificateFileCaption(), Texts::certificateFileFilter());
    if (!file.isEmpty())
        m_caFile->setText(file);
}

void ConvertDestinationDialog::updateOk()
{
    const bool any = std::any_of(m_kindBoxes.begin(), m_kindBoxes.end(),
                                 [](const QCheckBox* b) { return b->isEnabled() && b->isChecked(); });
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(any);
}

} // namespace app
