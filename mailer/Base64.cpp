#include "Base64.h"

#include "EventPump.h"
#include "Services.h"

#include <QtEndian>

#include <cstring>

namespace tarv {

namespace {
// Bytes handled between two calls of the event pump: a few tens of microseconds of work.
constexpr qsizetype kPumpEvery = 48 * 1024;

void pump() {
    if (EventPump* p = Services::current().pump)
        p->pump();
}
} // namespace

Base64::Base64() {
    for (int code = 65; code <= 90; ++code)
        m_encode[code - 65] = static_cast<unsigned char>(code);
    for (int code = 97; code <= 122; ++code)
        m_encode[code - 71] = static_cast<unsigned char>(code);
    for (int digit = 0; digit <= 9; ++digit)
        m_encode[52 + digit] = static_cast<unsigned char>('0' + digit);
    m_encode[62] = '+';
    m_encode[63] = '/';

    m_decode.fill(kInvalid);
    for (int v = 0; v < 64; ++v)
        m_decode[m_encode[v]] = static_cast<unsigned char>(v);
    m_decode['='] = kPad;

    for (int v = 0; v < 4096; ++v)
        m_pairs[v] = quint16(m_encode[v >> 6] | m_encode[v & 63] << 8);
}

void Base64::Str2ByteArray(const QString& StringIn, QByteArray& ByteArray) const {
    ByteArray = StringIn.toUtf8();
}

void Base64::EncodeB64(const QByteArray& FileIn, QByteArray& Out) const {
    const qsizetype n = FileIn.size();
    Out = QByteArray(encodedLength(n), Qt::Uninitialized);
    const auto* in = reinterpret_cast<const unsigned char*>(FileIn.constData());
    char* out = Out.data();
    const qsizetype whole = n - n % 3;
    qsizetype i = 0;
    while (i < whole) {
        const qsizetype stop = std::min(whole, i + kPumpEvery);
        // Two groups at a time from one 8-byte load (of which 6 bytes are used), written as
        // one 8-character store.
        for (; i + 8 <= stop; i += 6) {
            quint64 x;
            std::memcpy(&x, in + i, 8);
            x = qFromBigEndian(x);
            const unsigned g1 = unsigned(x >> 40), g2 = unsigned(x >> 16) & 0xFFFFFF;
            const quint64 o = quint64(m_pairs[g1 >> 12]) | quint64(m_pairs[g1 & 0xFFF]) << 16 |
                              quint64(m_pairs[g2 >> 12]) << 32 | quint64(m_pairs[g2 & 0xFFF]) << 48;
            const quint64 le = qToLittleEndian(o);
            std::memcpy(out, &le, 8);
            out += 8;
        }
        for (; i < stop; i += 3) {
            const unsigned v = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
            const quint32 o =
                qToLittleEndian(quint32(m_pairs[v >> 12]) | quint32(m_pairs[v & 0xFFF]) << 16);
            std::memcpy(out, &o, 4);
            out += 4;
        }
        pump();
    }
    if (n % 3 == 1) {
        const unsigned b0 = in[i];
        out[0] = char(m_encode[b0 >> 2]);
        out[1] = char(m_encode[(b0 & 3) << 4]);
        out[2] = '=';
        out[3] = '=';
    } else if (n % 3 == 2) {
        const unsigned b0 = in[i], b1 = in[i + 1];
        out[0] = char(m_encode[b0 >> 2]);
        out[1] = char(m_encode[((b0 & 3) << 4) | (b1 >> 4)]);
        out[2] = char(m_encode[(b1 & 15) << 2]);
        out[3] = '=';
    }
}

bool Base64::Span(int CharsPerLine, const QByteArray& InArray, QByteArray& OutArray) const {
    if (CharsPerLine < 1) {
        OutArray.clear();
        return false;
    }
    const qsizetype n = InArray.size();
    const qsizetype c = CharsPerLine;
    OutArray = QByteArray(spannedLength(n, CharsPerLine), Qt::Uninitialized);
    const char* in = InArray.constData();
    char* out = OutArray.data();
    qsizetype sinceLastPump = 0;
    for (qsizetype i = 0; i < n; i += c) {
        const qsizetype line = std::min(c, n - i);
        std::memcpy(out, in + i, size_t(line));
        out += line;
        if (line == c) {
            *out++ = '\r';
            *out++ = '\n';
        }
        sinceLastPump += line;
        if (sinceLastPump >= kPumpEvery) {
            pump();
            sinceLastPump = 0;
        }
    }
    return true;
}

void Base64::Unspan(const QByteArray& ArrayIn, QByteArray& ArrayOut) const {
    QByteArray result;
    result.reserve(ArrayIn.size());
    const qsizetype n = ArrayIn.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (ArrayIn[i] == '\r' && i + 1 < n && ArrayIn[i + 1] == '\n') {
            ++i;
            continue;
        }
        result.append(ArrayIn[i]);
    }
    ArrayOut = result;
}

bool Base64::DecodeB64(const QByteArray& FileIn, QByteArray& Out) const {
    Out.clear();
    const qsizetype n = FileIn.size();
    if (n % 4 != 0)
        return false;
    const auto* in = reinterpret_cast<const unsigned char*>(FileIn.constData());
    QByteArray result(n / 4 * 3, Qt::Uninitialized);
    char* out = result.data();
    for (qsizetype i = 0; i < n; i += 4) {
        const unsigned t0 = m_decode[in[i]], t1 = m_decode[in[i + 1]];
        const unsigned t2 = m_decode[in[i + 2]], t3 = m_decode[in[i + 3]];
        const bool last = i + 4 == n;
        if (t0 >= 64 || t1 >= 64 || t2 == kInvalid || t3 == kInvalid)
            return false;
        if (t2 == kPad) { // two pads
            if (!last || t3 != kPad)
                return false;
            *out++ = char((t0 << 2) | (t1 >> 4));
            break;
        }
        if (t3 == kPad) { // one pad
            if (!last)
                return false;
            *out++ = char((t0 << 2) | (t1 >> 4));
            *out++ = char(((t1 & 15) << 4) | (t2 >> 2));
            break;
        }
        *out++ = char((t0 << 2) | (t1 >> 4));
        *out++ = char(((t1 & 15) << 4) | (t2 >> 2));
        *out++ = char(((t2 & 3) << 6) | t3);
        if (i % kPumpEvery == 0)
            pump();
    }
    result.truncate(out - result.data());
    Out = result;
    return true;
}

} // namespace tarv
