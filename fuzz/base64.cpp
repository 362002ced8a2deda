// Base64 decoding of text a peer wrote, and the encoder's round trip through line breaking.
#include "Base64.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const tarv::Base64 b64;
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));

    QByteArray decoded;
    if (!b64.DecodeB64(in, decoded))
        FUZZ_CHECK(decoded.isEmpty());
    else
        FUZZ_CHECK(decoded.size() <= in.size() / 4 * 3);

    QByteArray unspanned;
    b64.Unspan(in, unspanned);
    FUZZ_CHECK(in.size() - unspanned.size() == 2 * in.count("\r\n"));

    // Whatever the bytes, encoding, breaking into lines, joining and decoding gives them back.
    QByteArray encoded, spanned, joined, back;
    b64.EncodeB64(in, encoded);
    FUZZ_CHECK(encoded.size() == tarv::Base64::encodedLength(in.size()));
    const int perLine = size ? 1 + data[0] % 100 : 76;
    FUZZ_CHECK(b64.Span(perLine, encoded, spanned));
    FUZZ_CHECK(spanned.size() == tarv::Base64::spannedLength(encoded.size(), perLine));
    b64.Unspan(spanned, joined);
    FUZZ_CHECK(joined == encoded);
    FUZZ_CHECK(b64.DecodeB64(joined, back));
    FUZZ_CHECK(back == in);

    QByteArray bytes;
    b64.Str2ByteArray(QString::fromUtf8(in), bytes);
    return 0;
}
