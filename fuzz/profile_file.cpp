// The profile-file reader and editor on a text another program wrote. Input: the file's text,
// then (after NUL bytes) a section, a key, a value and a buffer size.
#include "FuzzSupport.h"
#include "ProfileFile.h"

#include <QFile>

#include <algorithm>

using tarv::ProfileFile;

namespace {

// Names and values that the rules keep as they are: no blanks at the ends, no brackets,
// "=", quotes or line breaks.
bool plain(const QByteArray& s) {
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '.'))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto f = tarv::fuzz::fields(data, size, 5);
    const QByteArray& text = f[0];
    const QByteArray& section = f[1];
    const QByteArray& key = f[2];
    const QByteArray& value = f[3];

    ProfileFile::lookup(text, section, key);

    // A write is read back as written. (A removal takes the first of duplicate keys or
    // sections only, so a later one may still answer.)
    const QByteArray written = ProfileFile::edited(text, section, key, value);
    ProfileFile::edited(written, section, key, std::nullopt);
    ProfileFile::edited(written, section, std::nullopt, std::nullopt);
    if (plain(section) && plain(key) && plain(value))
        FUZZ_CHECK(ProfileFile::lookup(written, section, key) == value);

    // The same through a file, with a caller's buffer size.
    const QString path = tarv::fuzz::windowsDirectory() + QStringLiteral("/fuzz.ini");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text);
        file.close();
        const int bufferSize = f[4].isEmpty() ? -1 : int(uchar(f[4][0])) - 1;
        const QString s = QString::fromUtf8(section), k = QString::fromUtf8(key);
        // A caller's buffer holds a beginning of the value: never part of a character.
        const QString whole = ProfileFile::readString(s, k, QString::fromUtf8(value), path);
        const QString cut =
            ProfileFile::readString(s, k, QString::fromUtf8(value), path, bufferSize);
        if (!whole.contains(QChar::ReplacementCharacter)) {
            FUZZ_CHECK(whole.startsWith(cut));
            FUZZ_CHECK(bufferSize < 0 || cut.toUtf8().size() <= std::max(bufferSize - 1, 0));
        }
        ProfileFile::sectionNames(path);
        ProfileFile::keyNames(s, path);
        // Replacing the file costs a file-system sync: one input in eight.
        if (!f[4].isEmpty() && (f[4][0] & 7) == 0)
            ProfileFile::writeString(s, k, QString::fromUtf8(value), path);
    }
    return 0;
}
