#include "QtFileDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace tarv {

namespace {

// The patterns of a filter's pattern text ("*.txt;*.csv"), each as Qt matches it: "*.*" is
// every file to the platform's dialogs, names without a dot included, but only names with a
// dot to Qt, so it becomes "*".
QStringList patternsOf(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    QStringList patterns = text.split(separators, Qt::SkipEmptyParts);
    for (QString& p : patterns)
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
    patterns.removeDuplicates();
    return patterns;
}

// A description that already ends with its own patterns in brackets ("Testo (*.txt)"), as
// many programs write it, loses them: the dialog adds the patterns it really applies.
QString descriptionWithoutPatterns(const QString& description, const QStringList& patterns) {
    static const QRegularExpression shown(QStringLiteral("^(.*?)\\s*\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = shown.match(description);
    if (!m.hasMatch() || m.captured(1).isEmpty())
        return description;
    QStringList listed =
        patternsOf(QString(m.captured(2)).replace(QLatin1Char(','), QLatin1Char(';')));
    QStringList applied = patterns;
    listed.sort();
    applied.sort();
    return listed == applied ? m.captured(1) : description;
}

} // namespace

QStringList QtFileDialogs::nameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    if (parts.size() == 1)
        return {patternsOf(parts[0]).join(QLatin1Char(' '))};
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = patternsOf(parts[i + 1]);
        filters << QStringLiteral("%1 (%2)").arg(
            descriptionWithoutPatterns(parts[i].trimmed(), patterns),
            patterns.join(QLatin1Char(' ')));
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
