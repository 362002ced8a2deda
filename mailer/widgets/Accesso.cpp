#include "Accesso.h"

#include "MessageBoxes.h"
#include "PasswordStore.h"
#include "ProgramSettings.h"
#include "Services.h"
#include "Submission.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarv {

Accesso::Accesso(ProgramSettings& settings, const QString& server, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_server(server.trimmed()) {
    setObjectName(QStringLiteral("Accesso"));
    setWindowTitle(QStringLiteral("Accesso al server di posta"));

    Porta = new QLineEdit(this);
    Porta->setObjectName(QStringLiteral("Porta"));
    Porta->setValidator(new QIntValidator(1, 65535, Porta));
    Porta->setPlaceholderText(QStringLiteral("25"));
    Sicurezza = new QComboBox(this);
    Sicurezza->setObjectName(QStringLiteral("Sicurezza"));
    Sicurezza->addItem(QStringLiteral("Nessuna"), QString());
    Sicurezza->addItem(QStringLiteral("STARTTLS (di solito porta 587)"),
                       QStringLiteral("STARTTLS"));
    Sicurezza->addItem(QStringLiteral("TLS dal primo byte (di solito porta 465)"),
                       QStringLiteral("TLS"));
    Utente = new QLineEdit(this);
    Utente->setObjectName(QStringLiteral("Utente"));
    Password = new QLineEdit(this);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Nota = new QLabel(this);
    Nota->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Chiudi"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    const auto row = [&](int r, const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        grid->addWidget(label, r, 0);
        grid->addWidget(field, r, 1);
    };
    row(0, QStringLiteral("Server:"),
        new QLabel(m_server.isEmpty() ? QStringLiteral("(nessuno)") : m_server, this));
    row(1, QStringLiteral("&Sicurezza:"), Sicurezza);
    row(2, QStringLiteral("&Porta:"), Porta);
    row(3, QStringLiteral("&Utente:"), Utente);
    row(4, QStringLiteral("Pass&word:"), Password);
    grid->addWidget(Nota, 5, 0, 1, 2);
    grid->addWidget(buttons, 6, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 260);

    load();
    connect(Sicurezza, &QComboBox::activated, this, &Accesso::securityChosen);
}

void Accesso::load() {
    // The user may type a password here.
    PasswordStore::keepOutOfCoreDumps();
    const Submission s = Submission::read(m_settings);
    Porta->setText(Submission::storedPort(m_settings));
    Sicurezza->setCurrentIndex(
        std::max(0, Sicurezza->findData(Submission::securityText(s.security))));
    Utente->setText(s.user);
    PasswordStore passwords;
    const bool kept = !s.user.isEmpty() && passwords.hasPassword(m_server, s.user);
    Password->setPlaceholderText(kept ? QStringLiteral("salvata: lasciare vuoto per non cambiarla")
                                      : QString());
    Nota->setText(QStringLiteral("La password è conservata %1, mai nel file di scambio né "
                                 "nelle esportazioni del registro.")
                      .arg(PasswordStore::describe(passwords.place())));
}

void Accesso::securityChosen(int index) {
    // The usual port of each choice, unless the user has typed one of his own.
    const QString port = Porta->text().trimmed();
    if (!port.isEmpty() && port != QLatin1String("25") && port != QLatin1String("465") &&
        port != QLatin1String("587"))
        return;
    const QString security = Sicurezza->itemData(index).toString();
    Porta->setText(security == QLatin1String("STARTTLS") ? QStringLiteral("587")
                   : security == QLatin1String("TLS")    ? QStringLiteral("465")
                                                         : QString());
}

void Accesso::store() {
    const QString key = QLatin1String(ProgramSettings::kProgramKey);
    if (!m_settings.Esiste_Chiave(key))
        m_settings.Crea_Chiave(key);
    m_settings.Apri_Chiave_Programma();
    m_settings.Scrivi_Impostazione(QStringLiteral("Porta"), Porta->text().trimmed());
    m_settings.Scrivi_Impostazione(QStringLiteral("Sicurezza"),
                                   Sicurezza->currentData().toString());
    m_settings.Scrivi_Impostazione(QStringLiteral("Utente"), Utente->text().trimmed());
    QString password = Password->text();
    Password->clear();
    if (password.isEmpty())
        return;
    QString error;
    const bool saved = !Utente->text().trimmed().isEmpty() && !m_server.isEmpty() &&
                       PasswordStore().save(m_server, Utente->text().trimmed(), password, &error);
    wipeSecret(password);
    if (saved)
        return;
    if (error.isEmpty())
        error = QStringLiteral("servono il server SMTP e l'utente.");
    Services::current().messageBoxes->show(
        MessageBoxRequest{QString(), QStringLiteral("La password non è stata salvata: ") + error,
                          MsgButtons::Ok, MsgIcon::Exclamation, 0, this});
}

void Accesso::done(int result) {
    if (!m_stored) {
        m_stored = true;
        store();
    }
    QDialog::done(result);
}

} // namespace tarv
