#include "Scegli_File.h"

#include "FileDialogs.h"
#include "Services.h"

#include <QWidget>

namespace tarv {

QString Scegli_File(QWidget* owner, const QString& filter, const QString& title,
                    const QString& initialDirectory) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.owner = owner;
    request.filter = filter;
    request.title = title;
    request.initialDirectory = initialDirectory;
    return Services::current().fileDialogs->choose(request).trimmed();
}

} // namespace tarv
