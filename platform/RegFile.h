#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tarv {

class RegistryStore;

// REGEDIT4 text: the header line, a blank line, then each key as [HKEY_...\path] followed by
// its values ("name"="text", @= for the default value, dword:0000ffff, hex:..  and hex(n):..
// for other types), a blank line between keys, subkeys after their parent. Strings escape
// \\, \", and line breaks as \r and \n, so that multi-line texts survive the round trip.
class RegFile {
public:
    // The key and its whole subtree; false when the key is missing or the store fails.
    static bool exportKey(RegistryStore& store, int32_t root, const QString& path, QByteArray* text,
                          QString* error);
    // Checks the whole text first: a malformed file imports nothing, and the error names the
    // line. Then creates the keys and writes the values.
    static bool importText(RegistryStore& store, const QByteArray& text, QString* error);
};

} // namespace tarv
