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
    // Save dialogs: ask before an existing file is chosen. Off, as the platform's save dialog
    // is unless asked; choosing an existing file then returns it with no question.
    bool confirmReplace = false;
};

// The common file and folder dialogs. An empty result means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString choose(const FileDialogRequest& request) = 0;
};

} // namespace tarv
