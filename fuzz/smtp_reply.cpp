// The reply buffer fed by a hostile server: the input arrives in reads whose lengths the input
// chooses (first byte), and every whole reply is taken out as soon as it is there.
#include "FuzzSupport.h"
#include "SmtpReplyBuffer.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t chunk = 1 + data[0] % 64;
    ++data;
    --size;
    tarv::SmtpReplyBuffer buffer;
    QByteArray taken, shown;
    for (size_t at = 0; at < size; at += chunk) {
        const size_t n = std::min(chunk, size - at);
        buffer.append(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(n)));
        // The echo shows whole replies, each once, before the dialogue takes them.
        shown += buffer.takeUnshownReplies();
        FUZZ_CHECK(shown.isEmpty() || shown.endsWith('\n'));
        while (buffer.hasReply()) {
            const QByteArray reply = buffer.takeReply();
            FUZZ_CHECK(!reply.isEmpty());
            FUZZ_CHECK(reply.endsWith('\n'));
            const int code = tarv::SmtpReplyBuffer::codeOf(reply);
            FUZZ_CHECK(code == -1 || (code >= 0 && code <= 999));
            taken += reply;
        }
        // Nothing is lost or made up: the replies taken and what waits are the bytes received.
        FUZZ_CHECK(taken.size() + buffer.size() == qsizetype(at + n));
        FUZZ_CHECK(taken == shown);
    }
    FUZZ_CHECK(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).startsWith(taken));
    FUZZ_CHECK(buffer.takeReply().isEmpty());
    shown += buffer.takeUnshownRest();
    FUZZ_CHECK(shown == QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
