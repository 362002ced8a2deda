#include "Connessioni.h"

#include "MessageBoxes.h"
#include "PhoneBook.h"
#include "Services.h"
#include "SystemInfo.h"
#include "Twips.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace tarv {

Connessioni::Connessioni(std::function<bool()> connected, QWidget* parent)
    : QDialog(parent), m_connected(std::move(connected)) {
    setObjectName(QStringLiteral("Connessioni"));
    setWindowTitle(QStringLiteral("Connessioni di Accesso Remoto"));
    setFixedSize(3735 / 15, 3690 / 15);

    Label1 = new QLabel(QStringLiteral("Lista connessioni disponibili"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips(240, 300, 3255, 255));
    ConnessioniList = new QListWidget(this);
    ConnessioniList->setObjectName(QStringLiteral("Connessioni"));
    ConnessioniList->setGeometry(twips(240, 660, 3255, 1620));
    cmdEsegui = new QPushButton(QStringLiteral("&Avvia connessione"), this);
    cmdEsegui->setObjectName(QStringLiteral("cmdEsegui"));
    cmdEsegui->setGeometry(twips(240, 2400, 3255, 375));
    cmdEsegui->setDefault(true);
    cmdEsci = new QPushButton(QStringLiteral("&Esci"), this);
    cmdEsci->setObjectName(QStringLiteral("cmdEsci"));
    cmdEsci->setGeometry(twips(240, 2880, 3255, 375));
    setTabOrder(ConnessioniList, cmdEsegui);
    setTabOrder(cmdEsegui, cmdEsci);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(cmdEsegui, &QPushButton::clicked, this, &Connessioni::cmdEsegui_Click);
    connect(ConnessioniList, &QListWidget::itemDoubleClicked, this, &Connessioni::cmdEsegui_Click);
    connect(cmdEsci, &QPushButton::clicked, this, &QDialog::close);
    connect(Timer1, &QTimer::timeout, this, &Connessioni::Timer1_Timer);
}

void Connessioni::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_loaded)
        return;
    m_loaded = true;
    Timer1->start();
    AggiornaElenco();
}

void Connessioni::AggiornaElenco() {
    ConnessioniList->clear();
    const QStringList names = PhoneBook::entries();
    if (names.isEmpty()) {
        Services::current().messageBoxes->show(
            QStringLiteral("Non sono presenti connessioni di Accesso Remoto."), MsgButtons::Ok,
            MsgIcon::Information, QString(), this);
        return;
    }
    ConnessioniList->addItems(names);
    ConnessioniList->setCurrentRow(0);
}

void Connessioni::cmdEsegui_Click() {
    const QListWidgetItem* item = ConnessioniList->currentItem();
    const QString name = item ? item->text() : QString();
    const auto result =
        PhoneBook::startDialer(PhoneBook::dialCommand(name, SystemInfo::platformId()));
    if (result != PhoneBook::DialResult::Started)
        Services::current().messageBoxes->show(PhoneBook::dialFailureText(result), MsgButtons::Ok,
                                               MsgIcon::Exclamation, windowTitle(), this);
}

void Connessioni::Timer1_Timer() {
    if (m_connected && m_connected())
        close();
}

} // namespace tarv
