// tarv-call's operations and literals as a user types them on the command line.
#include "CallOperation.h"
#include "Conversions.h"
#include "FuzzSupport.h"

#include <cmath>

using tarv::com::Variant;

namespace {

bool knownEnum(const QString& name, int32_t* value) {
    if (name.compare(QLatin1String("tvPrimo"), Qt::CaseInsensitive) == 0) {
        *value = 1;
        return true;
    }
    return false;
}

// The literal a user writes for a text: quotes around, \ and " escaped.
QString quoted(const QString& s) {
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    return out + u'"';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const tarv::EnumLookup enums = knownEnum;
    QString error;

    tarv::CallOperation op;
    if (!tarv::parseOperation(text, enums, &op, &error))
        FUZZ_CHECK(!error.isEmpty());
    Variant v;
    if (!tarv::parseLiteral(text, enums, &v, &error))
        FUZZ_CHECK(!error.isEmpty());

    // Any text, quoted as a user would quote it, reads back as itself.
    Variant s;
    FUZZ_CHECK(tarv::parseLiteral(quoted(text), enums, &s, &error));
    FUZZ_CHECK(s.type() == tarv::com::VT_BSTR && s.toStr() == text);

    // Any whole number of 32 bits reads back as its value.
    if (size >= 4) {
        int32_t n = 0;
        memcpy(&n, data, 4);
        Variant number;
        FUZZ_CHECK(tarv::parseLiteral(QString::number(n), enums, &number, &error));
        Variant asDouble;
        FUZZ_CHECK(tarv::com::changeType(number, tarv::com::VT_R8, &asDouble) == tarv::com::S_OK);
        FUZZ_CHECK(asDouble.toR8() == double(n));
    }
    return 0;
}
