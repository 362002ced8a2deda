#include "ZipWindow.h"

#include "Creation.h"
#include "DispatchCall.h"
#include "MessageBoxes.h"
#include "Services.h"
#include "ShellMan.h"
#include "Twips.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

namespace tarv::utility {

using namespace com;

namespace {

// Dispatch ids of the compression control.
constexpr DISPID kSource = 1, kDestination = 2, kStatus = 3, kLevel = 4, kCompress = 5, kExpand = 6,
                 kHwnd = -515;

QLabel* boldLabel(const char* text, QWidget* parent, const QRect& place, const char* name) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setGeometry(place);
    return l;
}

MessageBoxes& boxes() {
    return *Services::current().messageBoxes;
}

} // namespace

ZipWindow::ZipWindow(bool expand, const Texts& texts, QWidget* parent)
    : QDialog(parent), m_expand(expand), m_texts(texts) {
    setObjectName(QString::fromLatin1(expand ? "frmUnZippa" : "frmZippa"));
    setWindowTitle(QString::fromUtf8(texts.caption));
    setFixedSize(7800 / 15, 3540 / 15);
    setAttribute(Qt::WA_DeleteOnClose);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);
    Frame1->setGeometry(twips(120, 60, 7575, 1875));
    Label1 = boldLabel(texts.label1, Frame1, twips(120, 180, 4995, 255), "Label1");
    txtFileSource = new QLineEdit(Frame1);
    txtFileSource->setObjectName(QStringLiteral("txtFileSource"));
    txtFileSource->setGeometry(twips(120, 480, 4995, 315));
    Label9 = boldLabel(texts.label9, Frame1, twips(120, 1000, 4995, 255), "Label9");
    lblFileDest = new QLineEdit(Frame1);
    lblFileDest->setObjectName(QStringLiteral("lblFileDest"));
    lblFileDest->setGeometry(twips(120, 1320, 4995, 315));
    Label3 = boldLabel("Dimensioni iniziali", Frame1, twips(5520, 180, 1935, 255), "Label3");
    lblDimIn = new QLabel(Frame1);
    lblDimIn->setObjectName(QStringLiteral("lblDimIn"));
    lblDimIn->setGeometry(twips(5520, 480, 1935, 315));
    Label6 = boldLabel("Dimensioni finali", Frame1, twips(5520, 1000, 1935, 255), "Label6");
    lblDimOut = new QLabel(Frame1);
    lblDimOut->setObjectName(QStringLiteral("lblDimOut"));
    lblDimOut->setGeometry(twips(5520, 1320, 1935, 315));
    // Beside the source box: placed on the window, over the frame.
    Command1 = new QPushButton(QStringLiteral("..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips(5280, 550, 300, 315));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setAutoFillBackground(true);
    QPalette grey = lblStatus->palette();
    grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    lblStatus->setPalette(grey);
    lblStatus->setGeometry(twips(120, 2100, 7575, 255));
    ZlibTool1 = new QWidget(this);
    ZlibTool1->setObjectName(QStringLiteral("ZlibTool1"));
    ZlibTool1->setGeometry(twips(120, 2340, 7575, 195));
    cmdCmprimi = new QPushButton(QString::fromUtf8(texts.button), this);
    cmdCmprimi->setObjectName(QStringLiteral("cmdCmprimi"));
    cmdCmprimi->setGeometry(twips(3240, 2760, 1215, 555));

    connect(txtFileSource, &QLineEdit::textChanged, this, &ZipWindow::txtFileSource_Change);
    connect(Command1, &QPushButton::clicked, this, &ZipWindow::Command1_Click);
    connect(cmdCmprimi, &QPushButton::clicked, this, &ZipWindow::cmdCmprimi_Click);

    // The control, with the state the window keeps for it: level 9.
    if (FAILED(createObject(QStringLiteral("ZLIBTOOLLib.ZlibTool"), m_control.put()))) {
        m_createError = takeErrorInfo();
        if (m_createError.description.isEmpty())
            m_createError.description = QStringLiteral("Impossibile creare il controllo "
                                                       "ZLIBTOOLLib.ZlibTool");
        return;
    }
    std::vector<Variant> level{Variant(int32_t(9))};
    invokeById(m_control.get(), kLevel, DISPATCH_PROPERTYPUT, level, nullptr);
    std::vector<Variant> none;
    Variant handle;
    if (SUCCEEDED(invokeById(m_control.get(), kHwnd, DISPATCH_PROPERTYGET, none, &handle)))
        if (QWidget* face = QWidget::find(WId(uint32_t(handle.toI4())))) {
            face->setParent(ZlibTool1);
            face->setGeometry(ZlibTool1->rect());
            face->show();
        }
}

ZipWindow::~ZipWindow() = default;

frmZippa::frmZippa(QWidget* parent)
    : ZipWindow(false,
                {"Comprimi File", "File sorgente (da comprimere)", "File compresso", "Comprimi",
                 "Inserire il file da comprimere.", "Selezionare un nome per il file compresso.",
                 "File compresso con successo", "File da comprimere"},
                parent) {}

frmUnZippa::frmUnZippa(QWidget* parent)
    : ZipWindow(true,
                {"Decomprimi File", "File compresso", "Decomprimere in file", "Decomprimi",
                 "Inserire il file compresso.", "Selezionare un nome per il file decompresso.",
                 "File decompresso con successo", "File compressi zl|*.zl"},
                parent) {}

QString ZipWindow::sizeText(qint64 bytes) {
    return (bytes == 0 ? QString() : QLocale::system().toString(bytes)) + QStringLiteral(" Bytes");
}

void ZipWindow::setSource(const QString& text) {
    txtFileSource->setText(text);
}

void ZipWindow::txtFileSource_Change(const QString& text) {
    if (!m_expand)
        lblFileDest->setText(text + QStringLiteral(".zl"));
    else
        // Whatever the last three characters are; a name of three or fewer leaves nothing.
        lblFileDest->setText(text.left(std::max<qsizetype>(0, text.size() - 3)));
}

void ZipWindow::Command1_Click() {
    // The user's home folder stands where the dialog began at the root of drive C. The dialog
    // is the library's own OpenFN, owned by this window (the host's active one now).
    QString chosen;
    shell()->OpenFN(QString::fromUtf8(m_texts.dialogTitle), QDir::homePath(),
                    QStringLiteral("Tutti i file|*.*"), &chosen);
    txtFileSource->setText(chosen);
    txtFileSource_Change(chosen);
}

bool ZipWindow::fileEsiste(const QString& path) {
    QString p = path;
    VARIANT_BOOL exists = VARIANT_FALSE;
    shell()->FileEsiste(&p, &exists);
    return exists != VARIANT_FALSE;
}

ShellMan* ZipWindow::shell() {
    if (!m_shell)
        m_shell = ComPtr<ShellMan>::adopt(new ShellMan);
    return m_shell.get();
}

void ZipWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once per showing: an activation that comes back after a message box does not start
    // the operation again.
    if (!m_activated) {
        m_activated = true;
        QTimer::singleShot(0, this, &ZipWindow::activate);
    }
}

void ZipWindow::activate() {
    if (AutoAvvio && isVisible())
        cmdCmprimi_Click();
}

void ZipWindow::reject() {
    if (m_busy)
        return;
    QDialog::reject();
}

void ZipWindow::finish(const ErrorInfo& outcome) {
    emit finishedWith(outcome);
    if (outcome.number == S_OK || !AutoAvvio || !AutoChiusura)
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        close();
}

void ZipWindow::closeEvent(QCloseEvent* event) {
    // The control is writing: the window waits for it rather than leave it without a face.
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ZipWindow::setWorking(bool working) {
    m_busy = working;
    for (QWidget* w : {static_cast<QWidget*>(txtFileSource), static_cast<QWidget*>(lblFileDest),
                       static_cast<QWidget*>(Command1), static_cast<QWidget*>(cmdCmprimi)})
        w->setEnabled(!working);
}

void ZipWindow::cmdCmprimi_Click() {
    if (m_busy)
        return;
    const QString source = txtFileSource->text();
    const QString destination = lblFileDest->text();
    auto refuse = [this](int number, const QString& text, const QString& detail = QString()) {
        boxes().beep();
        boxes().show(text, MsgButtons::Ok, MsgIcon::Information, QString(), this);
        finish({controlError(number), text + detail, QString()});
    };
    if (source.isEmpty())
        return refuse(52, QString::fromUtf8(m_texts.askSource));
    if (!fileEsiste(source))
        return refuse(53, QStringLiteral("Il file indicato non esiste."),
                      QStringLiteral(" ('%1')").arg(source));
    if (destination.isEmpty())
        return refuse(52, QString::fromUtf8(m_texts.askDestination));
    if (fileEsiste(destination)) {
        const MsgAnswer a = boxes().show(QStringLiteral("Il file '") + destination +
                                             QStringLiteral("' esiste già: sostituire?"),
                                         MsgButtons::YesNo, MsgIcon::Question, QString(), this);
        if (a != MsgAnswer::Yes) {
            const QString stopped = QStringLiteral("Operazione interrotta dall'utente.");
            boxes().show(stopped, MsgButtons::Ok, MsgIcon::Information, QString(), this);
            finish({controlError(18), stopped, QString()});
            return;
        }
        // The existing file is replaced by the control only once the new one is complete.
    }
    ErrorInfo error;
    setWorking(true);
    const bool ok = runControl(&error);
    setWorking(false);
    if (!ok) {
        boxes().beep();
        boxes().show(error.description, MsgButtons::Ok, MsgIcon::Critical,
                     QStringLiteral("Errore ") + QString::number(error.basicNumber()), this);
        if (error.number == S_OK)
            error.number = E_FAIL;
        finish(error);
        return;
    }
    finish({});
    if (AutoChiusura) {
        close();
        return;
    }
    boxes().beep();
    boxes().show(QString::fromUtf8(m_texts.done), MsgButtons::Ok, MsgIcon::Information, QString(),
                 this);
}

bool ZipWindow::runControl(ErrorInfo* error) {
    if (!m_control) {
        *error = m_createError;
        return false;
    }
    IDispatch* control = m_control.get();
    auto put = [control, error](DISPID id, const Variant& value) {
        std::vector<Variant> args{value};
        return SUCCEEDED(invokeById(control, id, DISPATCH_PROPERTYPUT, args, nullptr, error));
    };
    if (!put(kSource, Variant(txtFileSource->text())) ||
        !put(kDestination, Variant(lblFileDest->text())))
        return false;
    const QFileInfo source(txtFileSource->text());
    lblDimIn->setText(sizeText(source.size()));
    lblDimOut->setText(QStringLiteral("0"));
    std::vector<Variant> none;
    if (FAILED(invokeById(control, m_expand ? kExpand : kCompress, DISPATCH_METHOD, none, nullptr,
                          error)))
        return false;
    if (!m_expand && !put(kLevel, Variant(int32_t(9))))
        return false;
    const QFileInfo result(lblFileDest->text());
    if (!result.exists()) {
        *error = ErrorInfo{controlError(53), QStringLiteral("File non trovato"), QString()};
        return false;
    }
    lblDimOut->setText(sizeText(result.size()));
    Variant status;
    if (FAILED(invokeById(control, kStatus, DISPATCH_PROPERTYGET, none, &status, error)))
        return false;
    lblStatus->setText(status.toStr());
    return put(kSource, Variant(QString()));
}

} // namespace tarv::utility
