#include "AttachmentText.h"

namespace tarv {

QStringList splitAttachmentText(const QString& text) {
    QStringList paths;
    for (const QString& part : text.split(QLatin1Char(',')))
        if (!part.isEmpty())
            paths << part;
    return paths;
}

QString joinAttachmentText(const QStringList& paths) {
    QString text;
    for (const QString& p : paths)
        text += p + QLatin1Char(',');
    return text;
}

QStringList splitRecipients(const QString& text) {
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char(';'));
}

} // namespace tarv
