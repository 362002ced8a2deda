// A Qt program that knows nothing of the suite but the library it links: it shows a main
// window and calls the library as a host would, reporting on standard output what appeared
// and who owned it. Run by the library test.
#include "ComPtr.h"
#include "Conversions.h"
#include "Creation.h"
#include "DispatchCall.h"
#include "ErrorInfo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <thread>

using namespace tarv::com;

namespace {

QWidget* g_main = nullptr;

// Describes the modal window the call opens, then closes it as a user would.
void answerNextWindow() {
    QTimer::singleShot(50, [] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            std::printf("nessuna finestra\n");
            return;
        }
        QStringList buttons;
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
            if (b->isVisible() && !b->text().isEmpty())
                buttons << b->text();
        buttons.sort();
        if (auto* dialog = qobject_cast<QFileDialog*>(w))
            buttons << dialog->nameFilters().join(QLatin1Char(';')) + " [" +
                           dialog->selectedNameFilter() + "]";
        std::printf("%s figlia della finestra principale: %s; %s\n", w->metaObject()->className(),
                    w->parentWidget() == g_main ? "sì" : "no",
                    buttons.join(QLatin1Char('|')).toUtf8().constData());
        std::fflush(stdout);
        if (!qEnvironmentVariableIsEmpty("TARV_GRAB_DIR"))
            w->grab().save(qEnvironmentVariable("TARV_GRAB_DIR") + QLatin1Char('/') +
                           QString::fromLatin1(w->metaObject()->className()) + ".png");
        if (auto* box = qobject_cast<QMessageBox*>(w))
            box->button(QMessageBox::Ok)->click();
        else if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
    });
}

QString callOn(const char* progId, const char* member, std::vector<Variant> args) {
    ComPtr<IDispatch> object;
    if (FAILED(createObject(QString::fromLatin1(progId), object.put())))
        return QStringLiteral("creazione fallita: ") + takeErrorInfo().description;
    Variant result;
    ErrorInfo e;
    if (FAILED(call(object.get(), QString::fromLatin1(member), std::move(args), &result, &e)))
        return QStringLiteral("errore %1: %2").arg(e.basicNumber()).arg(e.description);
    QString text;
    toText(result, &text);
    return QStringLiteral("risultato \"%1\"").arg(text);
}

void say(const QString& s) {
    std::printf("%s\n", s.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget main;
    main.setWindowTitle(QStringLiteral("Gestionale"));
    main.resize(400, 300);
    main.show();
    main.activateWindow();
    QApplication::setActiveWindow(&main);
    g_main = &main;
    QCoreApplication::processEvents();

    answerNextWindow();
    say(callOn("TarvUtility.Contabili", "Controlla_PI", {Variant("12345678901")}));
    answerNextWindow();
    say(callOn("TarvUtility.ShellMan", "OpenFN",
               {Variant("Listino"), Variant(""), Variant("Testo|*.txt|Tutti i file|*.*")}));
    // Off the GUI thread nothing may be shown: boxes go to the terminal, windows fail.
    std::thread other([] {
        say(callOn("TarvUtility.ShellMan", "OpenFN", {}));
        say(callOn("TarvUtility.Contabili", "Controlla_PI", {Variant("12345678901")}));
    });
    other.join();
    return 0;
}
