#pragma once

#include "ConversionSession.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace app {

class UserInteraction;

// Asks what a conversion writes and where: the kinds of items (mail checked at first), and the
// destination: a folder of EML files, of mbox files or of Maildirs, or an IMAP server (its host,
// port, TLS or STARTTLS, an optional folder prefix, the user, the password and an optional
// certificate authority file). An IMAP server takes mail only: the other kinds are off while it
// is chosen. OK needs at least one kind, and keeps the dialog open with the reason shown while
// the destination is incomplete. The folder and certificate file are chosen through the
// interaction. GUI thread.
class ConvertDestinationDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConvertDestinationDialog(UserInteraction& interaction, QWidget* parent = nullptr);

    // What the input says; the password is read out of the dialog.
    ConversionRequest request() const;
    // Why the input is not a destination yet; empty when it is.
    QString problem() const;
    // Empties the password field.
    void clearPassword();

    void accept() override;

private:
    void destinationChosen();
    void securityChosen(int index);
    void chooseFolder();
    void chooseCertificateFile();
    void updateOk();
    bool uploads() const;
    // The problem of the input, and the field to put right.
    QString check(QWidget** field) const;
    // The host field without the brackets of an IPv6 address.
    QString bareHost() const;
    // The server's address from the fields; none with error set when they do not make one.
    std::optional<convert::ImapAddress> address(QString* error) const;

    UserInteraction& m_interaction;
    QList<QCheckBox*> m_kindBoxes;
    QButtonGroup* m_destinations = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLineEdit* m_folder = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QComboBox* m_security = nullptr;
    QLineEdit* m_prefix = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_caFile = nullptr;
    QLabel* m_problem = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace app
