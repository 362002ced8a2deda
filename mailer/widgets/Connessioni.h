#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace tarv {

// The dial-up prompt: lists the phone book's entries, starts the dialler for the chosen one,
// and closes itself as soon as a connection is found.
class Connessioni : public QDialog {
    Q_OBJECT
public:
    // `connected` is the connection test run on every tick.
    explicit Connessioni(std::function<bool()> connected, QWidget* parent = nullptr);

    void AggiornaElenco();

    QLabel* Label1;
    QListWidget* ConnessioniList; // the control named "Connessioni"
    QPushButton* cmdEsegui;
    QPushButton* cmdEsci;
    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdEsegui_Click();
    void Timer1_Timer();

    std::function<bool()> m_connected;
    bool m_loaded = false;
};

} // namespace tarv
