#include "Impostazioni.h"

#include "Accesso.h"
#include "AttachmentListActions.h"
#include "AttachmentText.h"
#include "Paths.h"
#include "ProgramSettings.h"
#include "Scegli_File.h"
#include "Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace tarv {

namespace {

// The window was laid out for small 8-point type; Arial where the user has it, else its
// metric twin.
QFont boxFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPointSize(8);
    return f;
}

} // namespace

Impostazioni::Impostazioni(ProgramSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("Impostazioni"));
    setWindowTitle(QStringLiteral("Impostazioni programma Velinor"));
    setFixedSize(8460 / 15, 6060 / 15);
    setFont(boxFont());

    auto lineEdit = [this](const char* name, QRect where) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(where);
        e->setFont(boxFont());
        return e;
    };
    auto label = [this](const QString& text, QWidget* buddy, QRect where) {
        auto* l = new QLabel(text, this);
        l->setGeometry(where);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setBuddy(buddy);
        return l;
    };
    auto labelFor = [&](const QString& text, QWidget* field) {
        // Labels stand at left 540 twips in front of their fields, reaching to the field.
        const QRect f = field->geometry();
        label(text, field, QRect(540 / 15, f.top() + 3, f.left() - 540 / 15 - 2, 2 * f.height()));
    };

    MailServer = lineEdit("MailServer", twips(1560, 360, 6615, 315));
    FromBox = lineEdit("FromBox", twips(1560, 720, 6615, 315));
    Subjekt = lineEdit("Subjekt", twips(1560, 1080, 6615, 315));
    AttachmentList = new QListWidget(this);
    AttachmentList->setObjectName(QStringLiteral("AttachmentList"));
    AttachmentList->setGeometry(twips(1560, 1500, 5655, 780));
    Attachment = new QPushButton(QStringLiteral("&Aggiungi"), this);
    Attachment->setObjectName(QStringLiteral("Attachment"));
    Attachment->setGeometry(twips(7320, 1500, 885, 375));
    Attachment->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    Attachment->setIconSize(QSize(12, 12));
    delattach = new QPushButton(QStringLiteral("&Cancella"), this);
    delattach->setObjectName(QStringLiteral("delattach"));
    delattach->setGeometry(twips(7320, 1920, 885, 375));
    Assistenza = lineEdit("Assistenza", twips(1560, 2400, 6615, 315));
    Tobox = lineEdit("Tobox", twips(1560, 2820, 6615, 315));
    Mailtxt = new QPlainTextEdit(this);
    Mailtxt->setObjectName(QStringLiteral("Mailtxt"));
    Mailtxt->setGeometry(twips(1560, 3240, 6615, 1965));
    Mailtxt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Nascosto = new QCheckBox(this);
    Nascosto->setObjectName(QStringLiteral("Nascosto"));
    Nascosto->setGeometry(QRect(3360 / 15, 5400 / 15, 18, 18));
    Esci = new QCheckBox(this);
    Esci->setObjectName(QStringLiteral("Esci"));
    Esci->setGeometry(QRect(6960 / 15, 5400 / 15, 18, 18));

    // Below the attachment buttons, in the corner the window left free: the controls above
    // keep their places.
    Login = new QPushButton(QStringLiteral("&Login..."), this);
    Login->setObjectName(QStringLiteral("Login"));
    Login->setGeometry(twips(7320, 5340, 885, 375));
    Login->setToolTip(QStringLiteral("Porta, sicurezza, utente e password del server di posta"));

    labelFor(QStringLiteral("&SMTP:"), MailServer);
    labelFor(QStringLiteral("&Mittente:"), FromBox);
    labelFor(QStringLiteral("&Oggetto:"), Subjekt);
    labelFor(QStringLiteral("&Allegati:"), AttachmentList);
    labelFor(QStringLiteral("Assistenza:"), Assistenza);
    labelFor(QStringLiteral("&Destinatari:"), Tobox);
    labelFor(QStringLiteral("&Testo del messaggio:"), Mailtxt);
    label(QStringLiteral("&Invia Automaticamente:"), Nascosto,
          QRect(1560 / 15, 5400 / 15 - 1, (3360 - 1560) / 15 - 4, 32));
    label(QStringLiteral("&Esci automaticamente alla fine dell' invio"), Esci,
          QRect(3960 / 15, 5400 / 15 - 1, (6960 - 3960) / 15 - 4, 32));

    QWidget* order[] = {MailServer, FromBox, Subjekt, AttachmentList, Attachment, delattach,
                        Assistenza, Tobox,   Mailtxt, Nascosto,       Esci,       Login};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(Attachment, &QPushButton::clicked, this, &Impostazioni::Attachment_Click);
    connect(delattach, &QPushButton::clicked, this, &Impostazioni::delattach_Click);
    connect(Login, &QPushButton::clicked, this, &Impostazioni::Login_Click);
    Form_Load();
}

void Impostazioni::Form_Load() {
    m_settings.Registra_Percorso();
    m_settings.Apri_Chiave_Programma();
    MailServer->setText(m_settings.Leggi_Impostazione(QStringLiteral("SMTP")));
    FromBox->setText(m_settings.Leggi_Impostazione(QStringLiteral("Email")));
    Tobox->setText(m_settings.Leggi_Impostazione(QStringLiteral("Dest")));
    Subjekt->setText(m_settings.Leggi_Impostazione(QStringLiteral("Subject")));
    Mailtxt->setPlainText(m_settings.Leggi_Impostazione(QStringLiteral("Testo")));
    Assistenza->setText(m_settings.Leggi_Impostazione(QStringLiteral("Assistenza")));
    // Any stored text at all ticks the box.
    Nascosto->setChecked(!m_settings.Leggi_Impostazione(QStringLiteral("Nascosto")).isEmpty());
    Esci->setChecked(!m_settings.Leggi_Impostazione(QStringLiteral("Esci")).isEmpty());
    for (const QString& path :
         splitAttachmentText(m_settings.Leggi_Impostazione(QStringLiteral("Allegato"))))
        if (Paths::attributesReadable(path))
            AttachmentListActions::append(AttachmentList, path);
}

void Impostazioni::Form_Unload() {
    const QString key = QLatin1String(ProgramSettings::kProgramKey);
    if (!m_settings.Esiste_Chiave(key))
        m_settings.Crea_Chiave(key);
    m_settings.Apri_Chiave_Programma();
    m_settings.Scrivi_Impostazione(QStringLiteral("SMTP"), MailServer->text());
    m_settings.Scrivi_Impostazione(QStringLiteral("Email"), FromBox->text());
    m_settings.Scrivi_Impostazione(QStringLiteral("Dest"), Tobox->text());
    m_settings.Scrivi_Impostazione(QStringLiteral("Subject"), Subjekt->text());
    m_settings.Scrivi_Impostazione(QStringLiteral("Testo"), Mailtxt->toPlainText());
    m_settings.Scrivi_Impostazione(QStringLiteral("Assistenza"), Assistenza->text());
    m_settings.Scrivi_Impostazione(QStringLiteral("Nascosto"),
                                   Nascosto->isChecked() ? QStringLiteral("True") : QString());
    m_settings.Scrivi_Impostazione(QStringLiteral("Esci"),
                                   Esci->isChecked() ? QStringLiteral("True") : QString());
    m_settings.Scrivi_Impostazione(
        QStringLiteral("Allegato"),
        joinAttachmentText(AttachmentListActions::paths(AttachmentList)));
}

void Impostazioni::done(int result) {
    // Every way of closing the window ends here (close box, Esc, the program's own close).
    if (!m_saved) {
        m_saved = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void Impostazioni::Attachment_Click() {
    const QString path = Scegli_File(this, QStringLiteral("*.*"), QStringLiteral("Attach File"),
                                     Paths::executableDirectory());
    if (!path.isEmpty())
        AttachmentListActions::append(AttachmentList, path);
}

void Impostazioni::Login_Click() {
    Accesso dialog(m_settings, MailServer->text(), this);
    execDialog(dialog);
}

void Impostazioni::delattach_Click() {
    AttachmentListActions::removeSelected(AttachmentList, Attachment);
}

} // namespace tarv
