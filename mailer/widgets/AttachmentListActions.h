#pragma once

#include <QString>
#include <QStringList>

class QListWidget;
class QWidget;

namespace tarv {

// The attachment list's shared actions of the compose and settings windows.
class AttachmentListActions {
public:
    static constexpr const char* kDropHint = "Drag & Drop your attachments here";

    // Appends a path and selects it.
    static void append(QListWidget* list, const QString& path);
    // Removes the selected entry and selects its neighbour before it; when the list becomes
    // empty the add button's hint tells that files can be dropped. False when nothing was
    // selected.
    static bool removeSelected(QListWidget* list, QWidget* addButton);
    // Every entry, in list order.
    static QStringList paths(const QListWidget* list);
};

} // namespace tarv
