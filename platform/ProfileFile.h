#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarv {

// Profile (INI) files with the Windows rules: names trimmed and matched without regard to
// case (first match wins), one pair of outer quotes removed from values, CR, LF or CRLF line
// ends. A write edits the file in place, keeps every other byte, and replaces the file in one
// step. A file name without a folder refers to the Windows directory; "win.ini" there is the
// system profile.
class ProfileFile {
public:
    // The value, or the default (without its trailing blanks). With a buffer size n the
    // value is cut to n - 1 bytes, as a caller's buffer of n characters would be, without
    // splitting a character; a size of -1 reads the value whole.
    static QString readString(const QString& section, const QString& key,
                              const QString& defaultValue, const QString& fileName,
                              int bufferSize = -1);
    // A null value deletes the key; a null key deletes the section. False when the file
    // cannot be written.
    static bool writeString(const QString& section, const std::optional<QString>& key,
                            const std::optional<QString>& value, const QString& fileName);

    static QStringList sectionNames(const QString& fileName);
    static QStringList keyNames(const QString& section, const QString& fileName);

    // The same rules on bytes in memory, for callers that hold the text themselves.
    static std::optional<QByteArray> lookup(const QByteArray& text, const QByteArray& section,
                                            const QByteArray& key);
    static QByteArray edited(const QByteArray& text, const QByteArray& section,
                             const std::optional<QByteArray>& key,
                             const std::optional<QByteArray>& value);
};

} // namespace tarv
