#pragma once

#include <QByteArray>
#include <QString>

#include <array>

namespace tarv {

// Base64 of RFC 2045 over byte arrays, with line breaking. The long operations let pending
// window events run as they go (through the process-wide event pump), often enough that
// the window never waits more than a few milliseconds, seldom enough to cost nothing.
class Base64 {
public:
    Base64();

    // The text's bytes (UTF-8 stands in for the ANSI code page).
    void Str2ByteArray(const QString& StringIn, QByteArray& ByteArray) const;
    // The padded Base64 characters of FileIn, without line breaks. An empty input gives an
    // empty output.
    void EncodeB64(const QByteArray& FileIn, QByteArray& Out) const;
    // InArray broken into lines of CharsPerLine bytes, each full line followed by CR LF; a
    // shorter last line has none. Nothing else is added. False for CharsPerLine below 1.
    bool Span(int CharsPerLine, const QByteArray& InArray, QByteArray& OutArray) const;
    // ArrayIn without its CR LF pairs; a lone CR or LF stays.
    void Unspan(const QByteArray& ArrayIn, QByteArray& ArrayOut) const;
    // The bytes that the Base64 characters stand for. Input that is not Base64 (length not
    // a multiple of 4, characters outside the alphabet, padding not at the very end) is
    // refused: false and an empty output.
    bool DecodeB64(const QByteArray& FileIn, QByteArray& Out) const;

    // Length of EncodeB64's output for n input bytes, and of Span's for n input bytes.
    static qsizetype encodedLength(qsizetype n) { return (n + 2) / 3 * 4; }
    static qsizetype spannedLength(qsizetype n, int charsPerLine) {
        return n + 2 * (n / charsPerLine);
    }

    static constexpr unsigned char kPad = 64;
    static constexpr unsigned char kInvalid = 255;

    const std::array<unsigned char, 64>& encodingTable() const { return m_encode; }
    const std::array<unsigned char, 256>& decodingTable() const { return m_decode; }

private:
    std::array<unsigned char, 64> m_encode{};
    std::array<unsigned char, 256> m_decode{};
    // Two Base64 digits for every 12-bit value, first digit in the low byte: one look-up
    // per half of a 3-byte group.
    std::array<quint16, 4096> m_pairs{};
};

} // namespace tarv
