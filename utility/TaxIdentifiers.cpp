#include "TaxIdentifiers.h"

#include "MessageBoxes.h"
#include "Services.h"

namespace tarv {

namespace {

// The digit value of the character at a 1-based position, looked up in "0123456789" as the
// original did: a position beyond the end is the empty text, which is "found" at the start
// and so counts as 0. -1 when the character is not a digit.
int digitAt(QStringView text, qsizetype position) {
    if (position > text.size())
        return 0;
    const char16_t c = text[position - 1].unicode();
    return c >= u'0' && c <= u'9' ? int(c - u'0') : -1;
}

// Values of the tax code tables for 0-9 and A-Z (upper case).
constexpr int kOddDigit[10] = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21};
constexpr int kOddLetter[26] = {1,  0,  5, 7, 9, 13, 15, 17, 19, 21, 2,  4,  18,
                                20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};

// Both tables over the ASCII range, lower-case letters folded, -1 for a character without a
// value: [0] for even positions, [1] for odd ones.
struct CodeTables {
    signed char value[2][128];
    constexpr CodeTables() : value{} {
        for (int odd = 0; odd < 2; ++odd)
            for (int c = 0; c < 128; ++c) {
                int v = -1;
                if (c >= '0' && c <= '9')
                    v = odd ? kOddDigit[c - '0'] : c - '0';
                else if (c >= 'A' && c <= 'Z')
                    v = odd ? kOddLetter[c - 'A'] : c - 'A';
                else if (c >= 'a' && c <= 'z')
                    v = odd ? kOddLetter[c - 'a'] : c - 'a';
                value[odd][c] = static_cast<signed char>(v);
            }
    }
};
constexpr CodeTables kTables;

int codeValue(char16_t c, int odd) {
    return c < 128 ? kTables.value[odd][c] : -1;
}

} // namespace

bool TaxIdentifiers::partitaIvaPasses(QStringView piva) {
    const int check = piva.isEmpty() ? 0 : digitAt(piva, piva.size());
    if (check < 0)
        return false;
    int sum = 0;
    for (qsizetype p = 1; p <= 9; p += 2) {
        const int odd = digitAt(piva, p);
        if (odd < 0)
            return false;
        sum += odd;
        const int even = digitAt(piva, p + 1);
        if (even < 0)
            return false;
        const int doubled = even * 2;
        sum += doubled > 9 ? doubled - 9 : doubled;
    }
    const int r = sum % 10;
    return check == (r == 0 ? 0 : 10 - r);
}

bool TaxIdentifiers::Controlla_PI(const QString& piva) {
    if (partitaIvaPasses(piva))
        return true;
    MessageBoxes& boxes = *Services::current().messageBoxes;
    boxes.beep();
    boxes.show(MessageBoxRequest{QStringLiteral("Controllo Partita IVA"),
                                 QStringLiteral("Partita IVA errata!"), MsgButtons::Ok,
                                 MsgIcon::Exclamation});
    return false;
}

QChar TaxIdentifiers::codiceFiscaleCheckLetter(QStringView first15) {
    if (first15.size() < 15)
        return QChar();
    const QChar* c = first15.data();
    int total = 0;
    int previousOdd = 0;
    int previousEven = 0;
    for (int i = 0; i < 14; i += 2) {
        const int odd = codeValue(c[i].unicode(), 1);
        const int even = codeValue(c[i + 1].unicode(), 0);
        previousOdd = odd >= 0 ? odd : previousOdd;
        previousEven = even >= 0 ? even : previousEven;
        total += previousOdd + previousEven;
    }
    const int last = codeValue(c[14].unicode(), 1);
    total += last >= 0 ? last : previousOdd;
    return QChar(char16_t(u'A' + total % 26));
}

bool TaxIdentifiers::CheckCodFiscale(const QString& cfis) {
    if (cfis.size() != 16)
        return false;
    char16_t last = cfis[15].unicode();
    if (last >= u'a' && last <= u'z')
        last = char16_t(last - u'a' + u'A');
    return codiceFiscaleCheckLetter(cfis) == QChar(last);
}

} // namespace tarv
