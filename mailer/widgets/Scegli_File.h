#pragma once

#include <QString>

class QWidget;

namespace tarv {

// The mailer's file choice: the save-file dialog (so that a new name may be typed), owned by
// a window, with a filter, a title and a starting folder. Returns the chosen path with
// surrounding blanks removed, or "" when cancelled.
QString Scegli_File(QWidget* owner, const QString& filter, const QString& title,
                    const QString& initialDirectory);

} // namespace tarv
