#include "QtFileDialogs.h"

#include <QFileDialog>

namespace tarv {

QStringList QtFileDialogs::nameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    if (parts.size() == 1)
        return {parts[0].trimmed()};
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.trimmed());
    }
    return filters;
}

QString QtFileDialogs::choose(const FileDialogRequest& request) {
    QFileDialog dialog(qobject_cast<QWidget*>(request.owner), request.title,
                       request.initialDirectory);
    switch (request.kind) {
    case FileDialogRequest::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogRequest::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmReplace);
        break;
    case FileDialogRequest::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        break;
    }
    // Italian in any host, including programs that never loaded Qt's Italian translation.
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Cerca in:"));
    dialog.setLabelText(QFileDialog::FileName, request.kind == FileDialogRequest::Folder
                                                   ? QStringLiteral("Cartella:")
                                                   : QStringLiteral("Nome file:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo file:"));
    dialog.setLabelText(QFileDialog::Accept,
                        request.kind == FileDialogRequest::Save   ? QStringLiteral("&Salva")
                        : request.kind == FileDialogRequest::Open ? QStringLiteral("&Apri")
                                                                  : QStringLiteral("&Scegli"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annulla"));
    if (request.kind != FileDialogRequest::Folder && !request.filter.isEmpty())
        dialog.setNameFilters(nameFilters(request.filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

} // namespace tarv
