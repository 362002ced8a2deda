#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tarv {

class ProgramSettings;

// The settings of a provider's submission server, opened from the settings window: port,
// security and user name (stored values "Porta", "Sicurezza", "Utente") and the password, kept
// for the server the settings window names. Like that window it loads when it opens and
// stores when it closes, however it is closed; an empty password field keeps the password
// already kept.
class Accesso : public QDialog {
    Q_OBJECT
public:
    Accesso(ProgramSettings& settings, const QString& server, QWidget* parent = nullptr);

    QLineEdit* Porta;
    QComboBox* Sicurezza;
    QLineEdit* Utente;
    QLineEdit* Password;
    QLabel* Nota;

    void done(int result) override;

private:
    void load();
    void store();
    void securityChosen(int index);

    ProgramSettings& m_settings;
    QString m_server;
    bool m_stored = false;
};

} // namespace tarv
