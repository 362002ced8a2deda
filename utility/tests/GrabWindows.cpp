// Renders the library's windows offscreen to PNG files for the README:
//   grab-utility-windows OUTPUT_DIR
// The compression windows are taken after a real compression and expansion through the
// registered compression control.
#include "MessageBoxes.h"
#include "PhoneBook.h"
#include "Services.h"
#include "UtilityWidgets.h"
#include "WidgetServices.h"
#include "ZipWindow.h"
#include "frmConnessioni.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

using namespace tarv;
using namespace tarv::utility;

namespace {

// Says Yes and OK to everything, silently: the pictures show the windows, not the boxes.
class AnswerYes : public MessageBoxes {
public:
    MsgAnswer show(const MessageBoxRequest& r) override {
        return r.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    }
    void beep() override {}
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir windir;
    qputenv("TARV_WINDIR", QFile::encodeName(windir.path()));
    QApplication app(argc, argv);
    installWidgetServices(app);
    installLibraryWindows();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    if (QProcess::execute(QStringLiteral(TARV_REGSVR), {QStringLiteral(TARV_ZLIBTOOL_LIB)}) != 0)
        return 1;
    AnswerYes boxes;
    ScopedServices scope(Services{nullptr, &boxes, nullptr, nullptr, nullptr, nullptr});

    QTemporaryDir docs(QDir::tempPath() + "/Archivio-XXXXXX");
    const QString source = docs.filePath("Registro IVA 2026.csv");
    QFile f(source);
    f.open(QIODevice::WriteOnly);
    for (int i = 1; i <= 60000; ++i)
        f.write(QStringLiteral("%1;Fattura %1/2026;Rossi S.p.A.;%2,00;22%\r\n")
                    .arg(i)
                    .arg(i * 37 % 9000)
                    .toUtf8());
    f.close();
    {
        frmZippa w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        w.setSource(source);
        w.cmdCmprimi_Click();
        app.processEvents();
        w.grab().save(out + "/zippa.png");
    }
    {
        frmUnZippa w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        w.setSource(source + ".zl");
        w.lblFileDest->setText(docs.filePath("Registro IVA 2026 (copia).csv"));
        w.cmdCmprimi_Click();
        app.processEvents();
        w.grab().save(out + "/unzippa.png");
    }
    PhoneBook::createEntry(QStringLiteral("Ufficio Milano"), QStringLiteral("0212345678"));
    PhoneBook::createEntry(QStringLiteral("Magazzino"), QStringLiteral("0309876543"));
    PhoneBook::createEntry(QStringLiteral("Provider di riserva"), QStringLiteral("0699887766"));
    {
        frmConnessioni w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        app.processEvents();
        w.grab().save(out + "/frmconnessioni.png");
    }
    return 0;
}
