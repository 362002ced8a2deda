#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tarv {

class ProgramSettings;

// The settings window: loads every stored default when it opens and writes every field back
// when it closes, however it is closed. There is no cancel.
class Impostazioni : public QDialog {
    Q_OBJECT
public:
    explicit Impostazioni(ProgramSettings& settings, QWidget* parent = nullptr);

    QLineEdit* MailServer;
    QLineEdit* FromBox;
    QLineEdit* Subjekt;
    QListWidget* AttachmentList;
    QPushButton* Attachment;
    QPushButton* delattach;
    QLineEdit* Assistenza;
    QLineEdit* Tobox;
    QPlainTextEdit* Mailtxt;
    QCheckBox* Nascosto;
    QCheckBox* Esci;
    // Opens the provider's server settings (Accesso) for the server in MailServer.
    QPushButton* Login;

    // Runs a modal dialog of this window (tests replace it so that nothing blocks).
    std::function<int(QDialog&)> execDialog = [](QDialog& d) { return d.exec(); };

    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    void Attachment_Click();
    void delattach_Click();
    void Login_Click();

    ProgramSettings& m_settings;
    bool m_saved = false;
};

} // namespace tarv
