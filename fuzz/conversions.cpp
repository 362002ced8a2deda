// Text to number conversions of the component layer, on text a host or a user wrote, and the
// number-to-text conversion read back. Input: one byte choosing the separators, then the text.
#include "Conversions.h"
#include "FuzzSupport.h"
#include "Variant.h"

#include <cfloat>
#include <cmath>
#include <cstring>

using namespace tarv::com;

namespace {

const NumberFormat kFormats[] = {
    {QLatin1Char('.'), QChar()},
    {QLatin1Char(','), QLatin1Char('.')},
    {QLatin1Char('.'), QLatin1Char(',')},
    {QLatin1Char(','), QChar(0xA0)},
};

// A double written with 15 significant digits reads back within the rounding of those digits.
// Beyond the largest double's 15-digit form the text is out of range, as the platform's is.
void checkReadsBack(double d, const NumberFormat& format) {
    if (std::isnan(d) || std::isinf(d))
        return;
    const QString text = doubleToText(d, format.decimal);
    double back = 0;
    const HRESULT hr = textToDouble(text, format, &back);
    if (std::fabs(d) >= 1.79769313486231e308) {
        FUZZ_CHECK(hr == S_OK || hr == DISP_E_OVERFLOW);
        return;
    }
    FUZZ_CHECK(hr == S_OK);
    if (std::fabs(d) >= DBL_MIN)
        FUZZ_CHECK(std::fabs(back - d) <= std::fabs(d) * 1e-14);
    else
        FUZZ_CHECK(std::fabs(back - d) <= DBL_MIN * 1e-14 + DBL_TRUE_MIN);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const NumberFormat& format = kFormats[data[0] % 4];
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    double d = 0;
    if (textToDouble(text, format, &d) == S_OK) {
        FUZZ_CHECK(!std::isnan(d) && !std::isinf(d));
        checkReadsBack(d, format);
    }
    for (VarType to : {VT_I2, VT_I4, VT_UI1, VT_R8, VT_BOOL, VT_BSTR}) {
        Variant result;
        if (changeType(Variant(text), to, &result, format) == S_OK)
            FUZZ_CHECK(result.type() == to);
    }

    // The input's bytes as a double, whatever its value, written and read back.
    if (size >= 9) {
        double raw = 0;
        std::memcpy(&raw, data + 1, sizeof raw);
        checkReadsBack(raw, format);
        QString written;
        FUZZ_CHECK(toText(Variant(raw), &written));
        // Numbers of every type to every other: out of range is an overflow, never a wrapped
        // or undefined value.
        int32_t i4 = 0;
        std::memcpy(&i4, data + 1, sizeof i4);
        for (const Variant& source : {Variant(raw), Variant(i4), Variant(int16_t(i4)),
                                      Variant(uint8_t(i4)), Variant(bool(i4 & 1)), Variant()}) {
            for (VarType to : {VT_I2, VT_I4, VT_UI1, VT_R8, VT_BOOL, VT_BSTR}) {
                Variant result;
                if (changeType(source, to, &result, format) == S_OK)
                    FUZZ_CHECK(result.type() == to);
            }
        }
    }
    return 0;
}
