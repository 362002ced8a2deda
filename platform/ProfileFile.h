#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarv {

// Profile (INI) files with the Windows rules: names trimmed and matched without regard to
// case (first match wins), one pair of outer quotes removed from values, CR, LF or CRLF line
// ends, a UTF-8 byte-order mark skipped. A write edits the file in place, keeps every other
// byte, and replaces the file in one step, with the owner and mode of the file it replaces;
// writers of the same file (in any process) take turns, each holding a lock on the file from
// its read to its replace. A file name without a folder refers to the Windows directory;
// "win.ini" there is the system profile. A path that is not a regular file (a folder, a FIFO,
// a device) is never opened for reading or writing: it reads as missing and is not written.
class ProfileFile {
public:
    // One line of a profile text as the reader sees it.
    struct Line {
        qsizetype start = 0; // first byte of the line
        qsizetype end = 0;   // one past its last byte, before the line end
        qsizetype next = 0;  // first byte of the following line
        bool isSection = false;
        bool closed = false; // a section line with its ']'
        QByteArray name;     // section name, or key name (trimmed, as written)
        QByteArray value;    // raw value, trimmed
        bool hasValue = false;
        bool isKey() const { return !isSection && !name.isEmpty(); }
    };
    static std::vector<Line> lines(const QByteArray& text);
    static bool sameName(const QByteArray& a, const QByteArray& b);

    // True when the path names something other than a regular file (after its links).
    static bool notARegularFile(const QString& fileName);

    // The value, or the default (without its trailing blanks). With a buffer size n the
    // value is cut to n - 1 bytes, as a caller's buffer of n characters would be, without
    // splitting a character; a size of -1 reads the value whole.
    static QString readString(const QString& section, const QString& key,
                              const QString& defaultValue, const QString& fileName,
                              int bufferSize = -1);
    // A null value deletes the key; a null key deletes the section. An empty section or key
    // name writes nothing. False when the file cannot be written.
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
