#include "Iniziale.h"

#include "AttachmentListActions.h"
#include "AttachmentText.h"
#include "Connessioni.h"
#include "ExitStatus.h"
#include "HandOffFile.h"
#include "Impostazioni.h"
#include "MessageBoxes.h"
#include "Paths.h"
#include "ProgramSettings.h"
#include "Scegli_File.h"
#include "Services.h"
#include "SmtpSession.h"
#include "WSKSOCK.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace tarv {

Iniziale::Iniziale(ProgramSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_session(new SmtpSession(*this, settings, this)),
      m_handOffPath(HandOffFile::besideExecutable().path()) {
    setObjectName(QStringLiteral("Iniziale"));
    setWindowTitle(QStringLiteral("Velinor v.1.2"));
    buildLayout();

    endProcess = [](int status) {
        // The program ends at once, as its exit routine always did; everything it wrote is
        // already on disk.
        std::fflush(nullptr);
        ::_exit(status);
    };
    showSettingsModal = [this] {
        Impostazioni dialog(m_settings, this);
        dialog.exec();
    };
    sendAction = [this] { m_session->SendMimeConnect_Click(); };
    showDialUp = [this] {
        Connessioni dialog(&WSKSOCK::Connessione_Attiva, this);
        dialog.exec();
    };

    connect(Tobox, &QLineEdit::textChanged, this, &Iniziale::Tobox_Change);
    connect(Attachment, &QPushButton::clicked, this, &Iniziale::Attachment_Click);
    connect(delattach, &QPushButton::clicked, this, &Iniziale::delattach_Click);
    connect(Impost, &QPushButton::clicked, this, &Iniziale::Impost_Click);
    connect(SendMimeConnect, &QPushButton::clicked, this, &Iniziale::SendMimeConnect_Click);
    connect(AttachmentList, &QListWidget::itemClicked, this, &Iniziale::AttachmentList_Click);
}

Iniziale::~Iniziale() {
    giveBackHandOff();
}

void Iniziale::buildLayout() {
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    FromBox = static_cast<QLineEdit*>(named(new QLineEdit, "FromBox"));
    MailServer = static_cast<QLineEdit*>(named(new QLineEdit, "MailServer"));
    Tobox = static_cast<QLineEdit*>(named(new QLineEdit, "Tobox"));
    Subjekt = static_cast<QLineEdit*>(named(new QLineEdit, "Subjekt"));
    Mailtxt = static_cast<QPlainTextEdit*>(named(new QPlainTextEdit, "Mailtxt"));
    AttachmentList = static_cast<QListWidget*>(named(new QListWidget, "AttachmentList"));
    Attachment = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("&Aggiungi")), "Attachment"));
    delattach =
        static_cast<QPushButton*>(named(new QPushButton(QStringLiteral("&Cancella")), "delattach"));
    Impost =
        static_cast<QPushButton*>(named(new QPushButton(QStringLiteral("Impostazioni")), "Impost"));
    SendMimeConnect = static_cast<QPushButton*>(
        named(new QPushButton(QStringLiteral("Spedisci")), "SendMimeConnect"));
    DataArrival = static_cast<QPlainTextEdit*>(named(new QPlainTextEdit, "DataArrival"));
    Process = static_cast<QLabel*>(named(new QLabel, "Process"));
    lblpcent = static_cast<QLabel*>(named(new QLabel(QStringLiteral("0%")), "lblpcent"));
    frm2 = static_cast<QFrame*>(named(new QFrame, "frm2"));

    DataArrival->setReadOnly(true);
    DataArrival->setMaximumBlockCount(2000);
    AttachmentList->setAcceptDrops(true);
    AttachmentList->viewport()->setAcceptDrops(true);
    AttachmentList->installEventFilter(this);
    AttachmentList->viewport()->installEventFilter(this);
    AttachmentList->setMinimumHeight(70);
    Attachment->setToolTip(QLatin1String(AttachmentListActions::kDropHint));
    SendMimeConnect->setDefault(true);
    QFont monospace(QStringLiteral("Liberation Mono"));
    monospace.setStyleHint(QFont::Monospace);
    DataArrival->setFont(monospace);

    auto caption = [](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text);
        l->setBuddy(buddy);
        return l;
    };

    auto* message = new QGridLayout;
    message->addWidget(caption(QStringLiteral("Mittente:"), FromBox), 0, 0);
    message->addWidget(FromBox, 0, 1);
    message->addWidget(caption(QStringLiteral("Server SMTP:"), MailServer), 0, 2);
    message->addWidget(MailServer, 0, 3);
    message->addWidget(caption(QStringLiteral("&Destinatari:"), Tobox), 1, 0);
    message->addWidget(Tobox, 1, 1, 1, 3);
    message->addWidget(caption(QStringLiteral("&Oggetto:"), Subjekt), 2, 0);
    message->addWidget(Subjekt, 2, 1, 1, 3);
    message->setColumnStretch(1, 3);
    message->setColumnStretch(3, 2);

    auto* attachments = new QGroupBox(QStringLiteral("Allegati"));
    auto* attachButtons = new QVBoxLayout;
    attachButtons->addWidget(Attachment);
    attachButtons->addWidget(delattach);
    attachButtons->addStretch();
    auto* attachRow = new QHBoxLayout(attachments);
    attachRow->addWidget(AttachmentList, 1);
    attachRow->addLayout(attachButtons);

    auto* echo = new QGroupBox(QStringLiteral("Echo replay del Server"));
    auto* echoLayout = new QVBoxLayout(echo);
    echoLayout->addWidget(DataArrival);

    // The progress bar: a frame that grows inside a track of the full width.
    auto* track = new QFrame;
    track->setFrameShape(QFrame::StyledPanel);
    track->setFrameShadow(QFrame::Sunken);
    track->setFixedSize(kFullProgressTwips / 15 + 2 * track->frameWidth(), 18);
    frm2->setParent(track);
    frm2->setGeometry(track->frameWidth(), track->frameWidth(), 0, 18 - 2 * track->frameWidth());
    frm2->setAutoFillBackground(true);
    QPalette bar = frm2->palette();
    bar.setColor(QPalette::Window, QColor(0x1f, 0x5f, 0xb0));
    frm2->setPalette(bar);
    lblpcent->setMinimumWidth(40);

    auto* status = new QHBoxLayout;
    status->addWidget(new QLabel(QStringLiteral("Stato Connessione:")));
    status->addWidget(Process, 1);
    auto* progress = new QHBoxLayout;
    progress->addWidget(track);
    progress->addWidget(lblpcent);
    progress->addStretch();
    progress->addWidget(Impost);
    progress->addWidget(SendMimeConnect);

    auto* top = new QVBoxLayout(this);
    top->addLayout(message);
    top->addWidget(caption(QStringLiteral("&Testo del Messaggio:"), Mailtxt));
    top->addWidget(Mailtxt, 3);
    top->addWidget(attachments, 1);
    top->addWidget(echo, 1);
    top->addLayout(status);
    top->addLayout(progress);

    setTabOrder(Tobox, Subjekt);
    setTabOrder(Subjekt, Mailtxt);
    setTabOrder(Mailtxt, AttachmentList);
    setTabOrder(AttachmentList, Attachment);
    setTabOrder(Attachment, delattach);
    setTabOrder(delattach, SendMimeConnect);
    setTabOrder(SendMimeConnect, Impost);
    setTabOrder(Impost, FromBox);
    setTabOrder(FromBox, MailServer);
    setTabOrder(MailServer, DataArrival);
    resize(640, 620);
    Tobox->setFocus();
}

void Iniziale::Apertura() {
    // A damaged store would pass for a first run, and every setting typed would then be lost.
    const QString damage = m_settings.storeDamage();
    if (!damage.isEmpty()) {
        const QString text =
            QStringLiteral("Le impostazioni di Velinor non possono essere lette né salvate: %1. "
                           "Spostare il file altrove (le impostazioni andranno inserite di nuovo) "
                           "o ripristinarlo da una copia, poi avviare di nuovo Velinor.")
                .arg(damage);
        std::fprintf(stderr, "velinor: %s\n", text.toLocal8Bit().constData());
        const HandOffFile handOff(handOffPath());
        const QString dati = QStringLiteral("Dati");
        const bool unattended =
            handOff.exists() && handOff.distrustReason().isEmpty() &&
            handOff.Leggi_Ini(dati, QStringLiteral("Nascosto")) == QLatin1String("True") &&
            handOff.Leggi_Ini(dati, QStringLiteral("Esci")) == QLatin1String("True");
        if (!unattended)
            Services::current().messageBoxes->show(text, MsgButtons::Ok, MsgIcon::Critical,
                                                   QStringLiteral("Velinor"), this);
        close();
        endProgram(1);
        return;
    }
    // The hand-off is taken before anything here may wait for the user, so that its writer
    // learns at once that it was read (HandOffClaim); a file start-up will not trust stays.
    if (HandOffFile(handOffPath()).distrustReason().isEmpty())
        m_handOff.take(handOffPath());
    m_settings.Registra_Percorso();
    m_settings.Apri_Chiave_Programma();
    MessageBoxes& boxes = *Services::current().messageBoxes;
    for (;;) {
        MailServer->setText(m_settings.Leggi_Impostazione(QStringLiteral("SMTP")));
        FromBox->setText(m_settings.Leggi_Impostazione(QStringLiteral("Email")));
        if (!MailServer->text().isEmpty() && !FromBox->text().isEmpty())
            break;
        const MsgAnswer answer = boxes.show(
            QStringLiteral("E' necessario impostare il nome del server di posta in uscita e il "
                           "mittente prima di utilizzare il programma: Impostare tali dati ora?"),
            MsgButtons::YesNo, MsgIcon::Question, QString(), this);
        if (answer != MsgAnswer::Yes) {
            close();
            endProgram(0);
            return;
        }
        showSettingsModal();
        // The settings window leaves the registry object where it wrote; reading goes on
        // from the program's key.
        m_settings.Apri_Chiave_Programma();
    }

    const HandOffFile handOff(m_handOff.isTaken() ? m_handOff.path() : handOffPath());
    QString reason, refusal;
    const bool useHandOff = handOff.usable(&reason);
    if (!reason.isEmpty())
        refusal = QStringLiteral("Il file %1 non è stato usato perché %2: il messaggio è stato "
                                 "preparato dalle impostazioni e non verrà spedito "
                                 "automaticamente da quel file.")
                      .arg(handOff.path(), reason);
    m_handOffRead = useHandOff;
    QString attachmentText;
    if (useHandOff) {
        const QString dati = QStringLiteral("Dati");
        Tobox->setText(handOff.Leggi_Ini(dati, QStringLiteral("Dest")));
        Subjekt->setText(handOff.Leggi_Ini(dati, QStringLiteral("Subject")));
        Mailtxt->setPlainText(handOff.Leggi_Ini(dati, QStringLiteral("Testo")));
        attachmentText = handOff.Leggi_Ini(dati, QStringLiteral("Allegato"));
        m_autoSend = handOff.Leggi_Ini(dati, QStringLiteral("Nascosto"));
        m_exitFlag = handOff.Leggi_Ini(dati, QStringLiteral("Esci"));
    } else {
        Tobox->setText(m_settings.Leggi_Impostazione(QStringLiteral("Dest")));
        Subjekt->setText(m_settings.Leggi_Impostazione(QStringLiteral("Subject")));
        Mailtxt->setPlainText(m_settings.Leggi_Impostazione(QStringLiteral("Testo")));
        m_autoSend = m_settings.Leggi_Impostazione(QStringLiteral("Nascosto"));
        m_exitFlag = m_settings.Leggi_Impostazione(QStringLiteral("Esci"));
        attachmentText = m_settings.Leggi_Impostazione(QStringLiteral("Allegato"));
    }
    Tobox_Change(); // also when the text did not change
    if (!refusal.isEmpty()) {
        // A run the settings make unattended has nobody to answer a box.
        if (m_autoSend == QLatin1String("True") && m_exitFlag == QLatin1String("True"))
            std::fprintf(stderr, "velinor: %s\n", refusal.toLocal8Bit().constData());
        else
            boxes.show(refusal, MsgButtons::Ok, MsgIcon::Exclamation, QString(), this);
    }
    for (const QString& path : splitAttachmentText(attachmentText))
        if (Paths::attributesReadable(path))
            addAttachment(path);

    if (m_autoSend == QLatin1String("True"))
        SendMimeConnect_Click();
}

void Iniziale::giveBackHandOff() {
    if (!m_handOff.isTaken())
        return;
    // Recipients served so far count only when they are the hand-off's own.
    const QString dest =
        HandOffFile(m_handOff.path()).Leggi_Ini(QStringLiteral("Dati"), QStringLiteral("Dest"));
    const int served =
        dest.split(QLatin1Char(';')) == job().recipients ? int(m_session->recipientIndex()) : 0;
    m_handOff.giveBack(served);
}

void Iniziale::endProgram(int status) {
    giveBackHandOff();
    m_ended = true;
    m_exitStatus = status;
    endProcess(status);
}

void Iniziale::Chiudi_Programma(int exitStatus) {
    m_session->closeConnection();
    // Only the hand-off that this run trusted and read is used up; a file start-up refused
    // may be another user's and stays as it is.
    if (m_handOffRead)
        HandOffFile::useUp(m_handOff, handOffPath());
    close();
    endProgram(exitStatus);
}

void Iniziale::closeEvent(QCloseEvent* event) {
    // Closing the window ends the program, so a send still running must not go on unseen:
    // dropping the connection ends every wait, the server discards the partial message, and
    // the hand-off file stays for the next start. An unattended run ends here, reporting
    // that its message was not sent.
    m_session->abandon(QStringLiteral("finestra chiusa durante la spedizione: messaggio non "
                                      "spedito."));
    QWidget::closeEvent(event);
}

void Iniziale::SendMimeConnect_Click() {
    emit sendRequested();
    sendAction();
}

void Iniziale::offerDialUp() {
    showDialUp();
}

void Iniziale::failUnattended(const QString& statusText) {
    // Nobody is at the keyboard: the caller learns what happened from the error stream and
    // the exit status, and the hand-off file stays for the next try.
    std::fprintf(stderr, "velinor: %s\n", statusText.toLocal8Bit().constData());
    QStringList served, notServed;
    for (int i = 0; i < m_recipients.size(); ++i) {
        const QString r = m_recipients[i].trimmed();
        if (r.isEmpty())
            break;
        (i < m_session->recipientIndex() ? served : notServed) << r;
    }
    if (served.size() + notServed.size() > 1)
        std::fprintf(stderr, "velinor: %s\n",
                     ExitStatus::recipientSummary(served, notServed).toLocal8Bit().constData());
    m_session->closeConnection();
    close();
    endProgram(m_session->exitStatus());
}

void Iniziale::addAttachment(const QString& path) {
    AttachmentListActions::append(AttachmentList, path);
    m_hasAttachments = true;
}

void Iniziale::Attachment_Click() {
    m_lastDialogPath = Scegli_File(this, QStringLiteral("*.*"), QStringLiteral("Attach File"),
                                   Paths::executableDirectory());
    if (!m_lastDialogPath.isEmpty())
        addAttachment(m_lastDialogPath);
}

void Iniziale::AttachmentList_Click() {
    const QListWidgetItem* item = AttachmentList->currentItem();
    if (!item)
        return;
    const QString path = item->text();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        AttachmentList->setToolTip(path + QStringLiteral(" (file non trovato)"));
        return;
    }
    const double kb = std::floor(double(info.size()) / 1024.0 * 100.0 + 0.5) / 100.0;
    // Numbers are written as the automation conversion writes them: the locale's decimal
    // separator, no thousands separator.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    AttachmentList->setToolTip(path + QStringLiteral(" (") + locale.toString(kb, 'g', 15) +
                               QStringLiteral(" KB)"));
}

void Iniziale::delattach_Click() {
    if (AttachmentListActions::removeSelected(AttachmentList, Attachment) &&
        AttachmentList->count() == 0)
        m_hasAttachments = false;
}

void Iniziale::Impost_Click() {
    showSettingsModal();
}

void Iniziale::Tobox_Change() {
    m_recipients = splitRecipients(Tobox->text());
}

void Iniziale::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void Iniziale::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && !Paths::isDirectory(path))
            addAttachment(path);
    }
    event->acceptProposedAction();
}

bool Iniziale::eventFilter(QObject* watched, QEvent* event) {
    // Files dropped on the attachment list come from other programs as a URI list.
    if (watched == AttachmentList || watched == AttachmentList->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* e = static_cast<QDropEvent*>(event);
            if (e->mimeData()->hasUrls()) {
                e->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            dropEvent(static_cast<QDropEvent*>(event));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

SendJob Iniziale::job() const {
    SendJob j;
    j.server = MailServer->text();
    j.sender = FromBox->text();
    j.recipients = m_recipients;
    j.subject = Subjekt->text();
    j.body = Mailtxt->toPlainText();
    j.attachments = AttachmentListActions::paths(AttachmentList);
    j.hasAttachments = m_hasAttachments;
    j.autoSend = m_autoSend;
    j.exitFlag = m_exitFlag;
    return j;
}

void Iniziale::setStatus(const QString& text) {
    Process->setText(text);
}
void Iniziale::setPercent(const QString& text) {
    lblpcent->setText(text);
}
void Iniziale::setProgressWidth(int twips) {
    frm2->resize(std::clamp(twips, 0, kFullProgressTwips) / 15, frm2->height());
}
void Iniziale::appendEcho(const QString& received) {
    QTextCursor c = DataArrival->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(received);
    DataArrival->setTextCursor(c);
}
void Iniziale::clearEcho() {
    DataArrival->clear();
}
void Iniziale::setSendEnabled(bool enabled) {
    SendMimeConnect->setEnabled(enabled);
}

} // namespace tarv
