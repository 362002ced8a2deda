#include "frmConnessioni.h"

#include "ConnectionEntryDialog.h"
#include "MessageBoxes.h"
#include "PhoneBook.h"
#include "Services.h"
#include "SystemInfo.h"
#include "Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace tarv::utility {

namespace {

MessageBoxes& boxes() {
    return *Services::current().messageBoxes;
}

QPushButton* button(const char* text, QWidget* parent, const QRect& place, const char* name) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    return b;
}

// A frame's children are placed on the window; inside a frame they are moved by its offset.
QRect inside(const QRect& onWindow, const QWidget* frame) {
    return onWindow.translated(-frame->pos());
}

} // namespace

frmConnessioni::frmConnessioni(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConnessioni"));
    setWindowTitle(QStringLiteral("Connessioni di Accesso Remoto"));
    setFixedSize(7695 / 15, 5130 / 15);
    setAttribute(Qt::WA_DeleteOnClose);

    Label2 = new QLabel(QStringLiteral("Elenco connessioni disponibili"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twips(240, 240, 3495, 255));
    Connessioni = new QListWidget(this);
    Connessioni->setObjectName(QStringLiteral("Connessioni"));
    Connessioni->setGeometry(twips(240, 600, 3495, 2595));
    Frame3 = new QGroupBox(this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(twips(3960, 120, 3495, 1095));
    cmdEsegui = button("Avvia connessione", Frame3, inside(twips(4080, 360, 3255, 375), Frame3),
                       "cmdEsegui");
    Check1 = new QCheckBox(Frame3);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(inside(twips(4080, 840, 255, 255), Frame3));
    Label3 = new QLabel(QStringLiteral("Connetti automaticamente"), Frame3);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(inside(twips(4560, 840, 2775, 255), Frame3));
    Label3->setBuddy(Check1);
    Frame5 = new QFrame(this);
    Frame5->setObjectName(QStringLiteral("Frame5"));
    Frame5->setFrameShape(QFrame::HLine);
    Frame5->setFrameShadow(QFrame::Sunken);
    Frame5->setGeometry(twips(3960, 1320, 3495, 90));
    Frame4 = new QFrame(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setFrameShape(QFrame::HLine);
    Frame4->setFrameShadow(QFrame::Sunken);
    Frame4->setGeometry(twips(3960, 4080, 3495, 90));
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(3960, 1560, 3495, 2295));
    cmdRinomina = button("Rinomina connessione", Frame1,
                         inside(twips(4080, 1800, 3255, 375), Frame1), "cmdRinomina");
    cmdModifica = button("Modifica connessione", Frame1,
                         inside(twips(4080, 2280, 3255, 375), Frame1), "cmdModifica");
    cmdElimina = button("Elimina connessione", Frame1, inside(twips(4080, 2760, 3255, 375), Frame1),
                        "cmdElimina");
    cmdCrea = button("Crea nuova connessione", Frame1, inside(twips(4080, 3240, 3255, 375), Frame1),
                     "cmdCrea");
    Frame2 = new QGroupBox(QStringLiteral("Connessione attiva:"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twips(120, 4200, 3495, 735));
    lblRegStatus = new QLabel(Frame2);
    lblRegStatus->setObjectName(QStringLiteral("lblRegStatus"));
    QFont bold = lblRegStatus->font();
    bold.setBold(true);
    lblRegStatus->setFont(bold);
    lblRegStatus->setGeometry(inside(twips(240, 4440, 975, 375), Frame2));
    // Its hang-up was never defined: the button is there and does nothing.
    cmdTermina = button("Termina connessione", this, twips(4080, 4440, 3255, 375), "cmdTermina");

    setTabOrder(Connessioni, cmdEsegui);
    setTabOrder(cmdEsegui, Check1);
    setTabOrder(Check1, cmdRinomina);
    setTabOrder(cmdRinomina, cmdModifica);
    setTabOrder(cmdModifica, cmdElimina);
    setTabOrder(cmdElimina, cmdCrea);
    setTabOrder(cmdCrea, cmdTermina);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    inputBox = [this](const QString& title, const QString& prompt) {
        QInputDialog d(this);
        d.setWindowTitle(title);
        d.setLabelText(prompt);
        d.setOkButtonText(QStringLiteral("OK"));
        d.setCancelButtonText(QStringLiteral("Annulla"));
        return d.exec() == QDialog::Accepted ? d.textValue() : QString();
    };
    entryDialog = [this](const QString& title, QString* name, QString* number) {
        ConnectionEntryDialog d(title, *name, *number, this);
        if (d.exec() != QDialog::Accepted)
            return false;
        *name = d.name();
        *number = d.phoneNumber();
        return true;
    };

    connect(Connessioni, &QListWidget::currentRowChanged, this, &frmConnessioni::selectionChanged);
    connect(Connessioni, &QListWidget::itemDoubleClicked, this, &frmConnessioni::cmdEsegui_Click);
    connect(cmdEsegui, &QPushButton::clicked, this, &frmConnessioni::cmdEsegui_Click);
    connect(cmdCrea, &QPushButton::clicked, this, &frmConnessioni::cmdCrea_Click);
    connect(cmdModifica, &QPushButton::clicked, this, &frmConnessioni::cmdModifica_Click);
    connect(cmdElimina, &QPushButton::clicked, this, &frmConnessioni::cmdElimina_Click);
    connect(cmdRinomina, &QPushButton::clicked, this, &frmConnessioni::cmdRinomina_Click);
    connect(Timer1, &QTimer::timeout, this, &frmConnessioni::Timer1_Timer);

    // Load.
    Check1->setChecked(true);
    Timer1->start();
}

void frmConnessioni::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        AggiornaElenco();
        Timer1_Timer();
        QTimer::singleShot(0, this, &frmConnessioni::activate);
    }
}

void frmConnessioni::activate() {
    if (!Automatico || !isVisible())
        return;
    m_unattended = true;
    cmdEsegui_Click();
    m_unattended = false;
    close();
}

void frmConnessioni::AggiornaElenco() {
    Connessioni->clear();
    const QStringList names = PhoneBook::entries();
    if (names.isEmpty()) {
        boxes().show(QStringLiteral("Non sono presenti connessioni di Accesso Remoto."),
                     MsgButtons::Ok, MsgIcon::None, QString(), this);
        return;
    }
    Connessioni->addItems(names);
    Connessioni->setCurrentRow(0);
    selectionChanged();
}

void frmConnessioni::selectionChanged() {
    if (Connessioni->currentItem())
        Frame3->setTitle(Connessioni->currentItem()->text() + QStringLiteral(" attiva:"));
}

QString frmConnessioni::selected() const {
    return Connessioni->currentItem() ? Connessioni->currentItem()->text() : QString();
}

void frmConnessioni::report(const QString& problem) {
    if (problem.isEmpty())
        return;
    if (m_unattended) {
        // No one is there to close a box: the caller's standard error says it instead.
        std::fprintf(stderr, "%s: %s\n", qPrintable(windowTitle()), problem.toUtf8().constData());
        std::fflush(stderr);
        return;
    }
    boxes().show(problem, MsgButtons::Ok, MsgIcon::Exclamation, windowTitle(), this);
}

void frmConnessioni::cmdEsegui_Click() {
    const QString name = selected();
    if (name.isEmpty())
        return;
    const auto result = PhoneBook::startDialer(
        PhoneBook::dialCommand(name, SystemInfo::platformId()), Check1->isChecked());
    if (result != PhoneBook::DialResult::Started)
        report(PhoneBook::dialFailureText(result));
}

void frmConnessioni::cmdCrea_Click() {
    QString name, number;
    if (entryDialog(QStringLiteral("Crea nuova connessione"), &name, &number))
        report(PhoneBook::createEntry(name, number));
    AggiornaElenco();
}

void frmConnessioni::cmdModifica_Click() {
    if (Connessioni->count() == 0)
        return;
    const QString old = selected();
    QString name = old, number = PhoneBook::phoneNumber(old);
    if (entryDialog(QStringLiteral("Modifica connessione"), &name, &number)) {
        QString problem;
        if (name.trimmed() != old)
            problem = PhoneBook::renameEntry(old, name);
        if (problem.isEmpty())
            problem = PhoneBook::setPhoneNumber(name.trimmed(), number);
        report(problem);
    }
    AggiornaElenco();
}

void frmConnessioni::cmdElimina_Click() {
    if (Connessioni->count() == 0)
        return;
    const QString name = selected();
    if (boxes().show(QStringLiteral("Sei sicuro di voler eliminare '") + name +
                         QStringLiteral("' ?"),
                     MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Conferma eliminazione"),
                     this) == MsgAnswer::Yes)
        report(PhoneBook::deleteEntry(name));
    AggiornaElenco();
}

void frmConnessioni::cmdRinomina_Click() {
    if (Connessioni->count() == 0)
        return;
    const QString answer = inputBox(QStringLiteral("Rinomina Connessione"),
                                    QStringLiteral("Inserisci il nuovo nome della connessione:"));
    if (answer.isEmpty())
        return;
    report(PhoneBook::renameEntry(selected(), answer));
    AggiornaElenco();
}

bool frmConnessioni::RegAttiva() const {
    return PhoneBook::connectionActive();
}

void frmConnessioni::Timer1_Timer() {
    lblRegStatus->setText(RegAttiva() ? QStringLiteral("True") : QStringLiteral("False"));
}

} // namespace tarv::utility
