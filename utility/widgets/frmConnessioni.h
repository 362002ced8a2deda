#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QGroupBox;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace tarv::utility {

// The dial-up manager: the phone book's entries, dialling, and the entries' creation,
// editing, renaming and deletion; a status line follows the dial-up connection.
class frmConnessioni : public QDialog {
    Q_OBJECT
public:
    explicit frmConnessioni(QWidget* parent = nullptr);

    // Dials the first entry and closes at the first activation.
    bool Automatico = false;

    void AggiornaElenco();
    // An active dial-up connection (a ppp interface up).
    bool RegAttiva() const;

    void cmdEsegui_Click();
    void cmdCrea_Click();
    void cmdModifica_Click();
    void cmdElimina_Click();
    void cmdRinomina_Click();
    void Timer1_Timer();

    // The rename question; replaceable where no one can type (tests).
    std::function<QString(const QString& title, const QString& prompt)> inputBox;
    // The create / edit dialog: fills name and number, false when cancelled.
    std::function<bool(const QString& title, QString* name, QString* number)> entryDialog;

    QLabel* Label2;
    QListWidget* Connessioni;
    QGroupBox* Frame3;
    QPushButton* cmdEsegui;
    QCheckBox* Check1;
    QLabel* Label3;
    QFrame* Frame5;
    QFrame* Frame4;
    QGroupBox* Frame1;
    QPushButton* cmdRinomina;
    QPushButton* cmdModifica;
    QPushButton* cmdElimina;
    QPushButton* cmdCrea;
    QGroupBox* Frame2;
    QLabel* lblRegStatus;
    QPushButton* cmdTermina;
    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectionChanged();
    void activate();
    QString selected() const;
    // Shows what a refused phone-book change said, if anything.
    void report(const QString& problem);
    bool m_activated = false;
    // The automatic dial runs with no one watching: what it reports goes to standard error.
    bool m_unattended = false;
};

} // namespace tarv::utility
