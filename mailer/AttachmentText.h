#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

// Attachment lists travel as one text: full paths, each followed by ",". Reading takes the
// part before each comma; empty parts and a trailing comma give nothing.
QStringList splitAttachmentText(const QString& text);
QString joinAttachmentText(const QStringList& paths);

// The recipients text split at every ";", empty parts kept; an empty text has no parts.
QStringList splitRecipients(const QString& text);

} // namespace tarv
