#pragma once

#include <QString>

class QObject;

namespace tarv {

struct FileDialogRequest {
    enum Kind { Open, Save, Folder };
    Kind kind = Save;
    QObject* owner = nullptr;
    // Pairs "description|pattern|description|pattern", or a bare pattern such as "*.*".
    QString filter;
    QString title;
    QString initialDirectory;
    // Whether a save dialog asks before an existing file is chosen.
    bool confirmOverwrite = true;
};

// The common file and folder dialogs. An empty result means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString choose(const FileDialogRequest& request) = 0;
};

} // namespace tarv
