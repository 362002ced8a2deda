#include "AttachmentListActions.h"

#include <QListWidget>

namespace tarv {

void AttachmentListActions::append(QListWidget* list, const QString& path) {
    list->addItem(path);
    list->setCurrentRow(list->count() - 1);
}

bool AttachmentListActions::removeSelected(QListWidget* list, QWidget* addButton) {
    const int i = list->currentRow();
    if (i < 0 || list->count() == 0)
        return false;
    // Removing the selected entry leaves the list without a selection, so the entry before
    // the removed one is selected (none when the first was removed).
    const QSignalBlocker block(list);
    delete list->takeItem(i);
    list->setCurrentRow(-1);
    if (list->count() == 0) {
        addButton->setToolTip(QLatin1String(kDropHint));
        return true;
    }
    const int after = list->currentRow();
    list->setCurrentRow(after == 0 ? i : i - 1);
    return true;
}

QStringList AttachmentListActions::paths(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

} // namespace tarv
