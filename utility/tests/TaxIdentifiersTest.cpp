#include "TaxIdentifiers.h"
#include "TestWindowsDir.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <random>

using namespace tarv;

namespace {

class TaxIdentifiersTest : public WindowsDirTest {
protected:
    // True when Controlla_PI said nothing; false when it beeped once and showed its one box.
    bool vat(const QString& piva) {
        win.boxes.shown.clear();
        win.boxes.beeps = 0;
        const bool result = TaxIdentifiers::Controlla_PI(piva);
        if (result) {
            EXPECT_TRUE(win.boxes.shown.empty()) << piva.toStdString();
            EXPECT_EQ(win.boxes.beeps, 0);
        } else {
            EXPECT_EQ(win.boxes.beeps, 1) << piva.toStdString();
            EXPECT_EQ(win.boxes.shown.size(), 1u) << piva.toStdString();
            if (!win.boxes.shown.empty()) {
                const MessageBoxRequest& box = win.boxes.shown.front();
                EXPECT_EQ(box.text, QStringLiteral("Partita IVA errata!"));
                EXPECT_EQ(box.title, QStringLiteral("Controllo Partita IVA"));
                EXPECT_EQ(box.icon, MsgIcon::Exclamation);
                EXPECT_EQ(box.buttons, MsgButtons::Ok);
            }
        }
        return result;
    }
};

// Asks python3-stdnum, the Debian package of the standard identifier checks, one question
// per line: "L digits" for the Luhn verdict, "D digits" for the Luhn check digit, "C code15"
// for the tax code check letter. Empty when the package is not there.
QStringList askStdnum(const QStringList& questions) {
    static const char* script = R"(
import sys
from stdnum import luhn
from stdnum.it import codicefiscale
out = []
for line in sys.stdin.read().split('\n'):
    if not line:
        continue
    kind, value = line[0], line[2:]
    if kind == 'L':
        out.append('1' if luhn.is_valid(value) else '0')
    elif kind == 'D':
        out.append(luhn.calc_check_digit(value))
    else:
        out.append(codicefiscale.calc_check_digit(value))
sys.stdout.write('\n'.join(out) + '\n')
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script)});
    if (!python.waitForStarted(60000))
        return {};
    python.write(questions.join(u'\n').toUtf8() + '\n');
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    QStringList answers = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n');
    answers.removeLast();
    return answers;
}

QString randomText(std::mt19937& rng, int length, const char* alphabet) {
    const int n = int(std::strlen(alphabet));
    QString s;
    for (int i = 0; i < length; ++i)
        s.append(QLatin1Char(alphabet[std::uniform_int_distribution<int>(0, n - 1)(rng)]));
    return s;
}

const char* kDigits = "0123456789";
const char* kAlnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

} // namespace

TEST_F(TaxIdentifiersTest, VatNumberCases) {
    const struct {
        const char* piva;
        bool passes;
    } cases[] = {
        {"12345678903", true},
        {"12345678904", false},
        {"1234567890A", false},
        {"A2345678903", false},
        {"12345 78903", false},
        {"", true},  // every position absent counts as 0
        {"0", true}, // the same, with 0 as check digit
        {"5", true}, // position 1 is its own check digit: sum 5, expected 5
        {"1", false},
        {"1234", true},         // 1 + 4 + 3 + 8 = 16, check digit 4
        {"123456789013", true}, // positions 1-10 against the twelfth; the eleventh is ignored
        {"1234567890X3", true},
        {"123456789034", false},
        {"00000000000", true},
        {"01234567897", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vat(QString::fromLatin1(c.piva)), c.passes) << c.piva;
    // A digit of another script is not one of "0123456789".
    EXPECT_FALSE(vat(QStringLiteral("1234567890\u0663")));
}

TEST_F(TaxIdentifiersTest, EverySingleDigitChangeIsDetected) {
    std::mt19937 rng(20240611);
    QStringList valid = {QStringLiteral("12345678903"), QStringLiteral("00000000000")};
    while (valid.size() < 40) {
        const QString body = randomText(rng, 10, kDigits);
        for (char d = '0'; d <= '9'; ++d)
            if (TaxIdentifiers::partitaIvaPasses(body + QLatin1Char(d)))
                valid.append(body + QLatin1Char(d));
    }
    int changes = 0;
    for (const QString& piva : valid) {
        ASSERT_TRUE(vat(piva)) << piva.toStdString();
        for (int pos = 0; pos < 11; ++pos)
            for (char d = '0'; d <= '9'; ++d) {
                if (piva[pos] == QLatin1Char(d))
                    continue;
                QString changed = piva;
                changed[pos] = QLatin1Char(d);
                EXPECT_FALSE(vat(changed)) << piva.toStdString() << " -> " << changed.toStdString();
                ++changes;
            }
    }
    EXPECT_EQ(changes, valid.size() * 11 * 9);
}

TEST_F(TaxIdentifiersTest, TaxCodeCases) {
    const struct {
        const char* code;
        bool passes;
    } cases[] = {
        {"AAAAAA00A00A000I", true},
        {"aaaaaa00a00a000i", true},
        {"AAAAAA00A00A000J", false},
        {"AAAAAA00A00A000", false},   // 15 characters
        {"AAAAAA00A00A000II", false}, // 17 characters
        {"", false},
        {"RSSMRA85T10A562S", true},
        {"rssmra85t10a562s", true},
        {"RSSMRA85T10A562T", false},
        // Other characters add the previous value of their pass, or 0 when first.
        {"AAAAAA00A00A00-I", true},
        {"-AAAAA00A00A000H", true},
        {"ABA-AA00A00A000K", true}, // the '-' takes B's 1
        {"ABA-AA00A00A000J", false},
        {"AAAAAA00A00A000 ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TaxIdentifiers::CheckCodFiscale(QString::fromLatin1(c.code)), c.passes) << c.code;
    // A letter outside A-Z is not upper-cased into one.
    EXPECT_FALSE(TaxIdentifiers::CheckCodFiscale(QStringLiteral("AAAAAA00A00A000\u00ec")));
    EXPECT_TRUE(win.boxes.shown.empty());
    EXPECT_EQ(win.boxes.beeps, 0);
}

TEST_F(TaxIdentifiersTest, AgreesWithStdnumOnRandomInputs) {
    std::mt19937 rng(4242);
    const int n = 4000;
    QStringList questions;
    QStringList vatBodies, vatNumbers, codeBodies;
    for (int i = 0; i < n; ++i) {
        vatBodies << randomText(rng, 10, kDigits);
        vatNumbers << randomText(rng, 11, kDigits);
        codeBodies << randomText(rng, 15, kAlnum);
    }
    for (const QString& s : vatBodies)
        questions << QStringLiteral("D ") + s;
    for (const QString& s : vatNumbers)
        questions << QStringLiteral("L ") + s;
    for (const QString& s : codeBodies)
        questions << QStringLiteral("C ") + s;
    const QStringList answers = askStdnum(questions);
    if (answers.isEmpty())
        GTEST_SKIP() << "python3-stdnum is not installed for /usr/bin/python3";
    ASSERT_EQ(answers.size(), questions.size());

    int validVat = 0;
    for (int i = 0; i < n; ++i) {
        // The digit stdnum computes passes, and every other one fails.
        const QString good = vatBodies[i] + answers[i];
        EXPECT_TRUE(TaxIdentifiers::partitaIvaPasses(good)) << good.toStdString();
        const QString bad =
            vatBodies[i] + QChar(u'0' + (answers[i][0].unicode() - u'0' + 1 + int(rng() % 9)) % 10);
        EXPECT_FALSE(TaxIdentifiers::partitaIvaPasses(bad)) << bad.toStdString();
        // Random numbers: the same verdict.
        const bool stdnumValid = answers[n + i] == QStringLiteral("1");
        validVat += stdnumValid;
        EXPECT_EQ(TaxIdentifiers::partitaIvaPasses(vatNumbers[i]), stdnumValid)
            << vatNumbers[i].toStdString();
    }
    EXPECT_GT(validVat, n / 20); // about one in ten random numbers is valid

    for (int i = 0; i < n; ++i) {
        const QString& body = codeBodies[i];
        const QString letter = answers[2 * n + i];
        ASSERT_EQ(letter.size(), 1);
        EXPECT_EQ(TaxIdentifiers::codiceFiscaleCheckLetter(body), letter[0]) << body.toStdString();
        EXPECT_TRUE(TaxIdentifiers::CheckCodFiscale(body + letter));
        EXPECT_TRUE(TaxIdentifiers::CheckCodFiscale(body.toLower() + letter.toLower()));
        const QChar other(u'A' + (letter[0].unicode() - u'A' + 1 + int(rng() % 25)) % 26);
        EXPECT_FALSE(TaxIdentifiers::CheckCodFiscale(body + other)) << body.toStdString();
        EXPECT_FALSE(TaxIdentifiers::CheckCodFiscale(body + letter + letter));
    }
}
