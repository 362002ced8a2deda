#pragma once

#include "FileDialogs.h"

#include <QStringList>

namespace tarv {

class QtFileDialogs : public FileDialogs {
public:
    QString choose(const FileDialogRequest& request) override;
    // "description|pattern|..." pairs, or a bare pattern, as Qt name filters.
    static QStringList nameFilters(const QString& filter);
};

} // namespace tarv
