#include "clsEAN13.h"

namespace tarv {

namespace {

int digitValue(QChar c) {
    return (c.unicode() >= u'0' && c.unicode() <= u'9') ? c.unicode() - u'0' : 0;
}

bool isDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

clsEAN13::clsEAN13() : Symbology(0, false, 0) {
    const char* parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                              "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
    const char* setA[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                            "0110001", "0101111", "0111011", "0110111", "0001011"};
    const char* setB[10] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                            "0111001", "0000101", "0010001", "0001001", "0010111"};
    const char* setC[10] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                            "1001110", "1010000", "1000100", "1001000", "1110100"};
    for (size_t d = 0; d < 10; ++d) {
        m_parita[d] = QString::fromLatin1(parity[d]);
        m_setA[d] = QString::fromLatin1(setA[d]);
        m_setB[d] = QString::fromLatin1(setB[d]);
        m_setC[d] = QString::fromLatin1(setC[d]);
    }
}

void clsEAN13::setMessaggioErrore2(const QString& value) {
    m_messaggioErrore2 = value.isEmpty() ? QStringLiteral("LENGTH!") : value;
}

int clsEAN13::cifraControllo(const QString& code) {
    int sum = 0;
    for (qsizetype i = 0; i < 12; ++i) {
        if (i >= code.size() || !isDigit(code.at(i)))
            return -1;
        sum += digitValue(code.at(i)) * ((i % 2 == 1) ? 3 : 1);
    }
    return (10 - sum % 10) % 10;
}

QString clsEAN13::Codifica(const QString& code) const {
    int check;
    if (code.size() == 12) {
        check = cifraControllo(code);
        if (check < 0)
            return {};
    } else if (code.size() == 13) {
        // The 13th character is taken as given; a reader checks it.
        check = digitValue(code.at(12));
    } else {
        return {};
    }

    const QString& parity = m_parita[size_t(digitValue(code.at(0)))];
    int digits[12];
    for (int j = 0; j < 11; ++j)
        digits[j] = digitValue(code.at(j + 1));
    digits[11] = check;

    QString modules;
    modules.reserve(113);
    modules += QLatin1String("00000000000101");
    for (int j = 0; j < 6; ++j)
        modules += (parity.at(j) == u'A' ? m_setA : m_setB)[size_t(digits[j])];
    modules += QLatin1String("01010");
    for (int j = 6; j < 12; ++j)
        modules += m_setC[size_t(digits[j])];
    modules += QLatin1String("1010000000");
    return modules;
}

std::vector<BarElement> clsEAN13::elementi() const {
    const QString modules = Codifica(Codice());
    std::vector<BarElement> result;
    result.reserve(size_t(modules.size()));
    for (QChar m : modules)
        result.push_back({1, m == u'1'});
    return result;
}

QString clsEAN13::rifiuto() const {
    const qsizetype n = Codice().size();
    return (n < 12 || n > 13) ? m_messaggioErrore2 : QString();
}

} // namespace tarv
