// The filters of the open and save dialogs, as texts and in Qt's own dialog.
#include "QtFileDialogs.h"
#include "TestWindowsDir.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tarv;

namespace {

TEST(FileDialogFilters, EveryFileMeansEveryFileAndPatternsShowOnce) {
    const struct Case {
        const char* filter;
        QStringList expected;
    } cases[] = {
        {"Tutti i file|*.*", {"Tutti i file (*)"}},
        {"*.*", {"*"}},
        {"Testo (*.txt)|*.txt|Tutti i file (*.*)|*.*", {"Testo (*.txt)", "Tutti i file (*)"}},
        {"Fogli|*.csv;*.ods", {"Fogli (*.csv *.ods)"}},
        {"Fogli (*.ods; *.csv)|*.csv;*.ods", {"Fogli (*.csv *.ods)"}},
        {"Immagini (bmp, jpg)|*.bmp;*.jpg", {"Immagini (bmp, jpg) (*.bmp *.jpg)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtFileDialogs::nameFilters(c.filter), c.expected) << c.filter;
}

// Qt's dialog with the default filter lists a file whose name has no dot.
TEST(FileDialogFilters, DialogWithTheDefaultFilterListsNamesWithoutADot) {
    TestWindowsDir win;
    win.write("cartella/LEGGIMI", "x");
    win.write("cartella/fattura.pdf", "x");
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        QElapsedTimer waited;
        waited.start();
        // The folder is read in the background: wait until both files could have shown.
        while (waited.elapsed() < 5000 && listed.size() < 2) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            listed.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                const QModelIndex i = view->model()->index(row, 0, root);
                if (view->model()->flags(i) & Qt::ItemIsEnabled)
                    listed << i.data().toString();
            }
        }
        dialog->reject();
    });
    QtFileDialogs dialogs;
    FileDialogRequest r;
    r.kind = FileDialogRequest::Open;
    r.filter = QStringLiteral("Tutti i file|*.*");
    r.initialDirectory = win.file("cartella");
    EXPECT_EQ(dialogs.choose(r), "");
    listed.sort();
    EXPECT_EQ(listed, QStringList({"LEGGIMI", "fattura.pdf"}));
}

} // namespace
