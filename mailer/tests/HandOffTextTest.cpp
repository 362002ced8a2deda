// The body text across the hand-off file: what the library writes, the mailer reads whole;
// files in the one-line form read exactly as they always did.
#include "HandOffText.h"
#include "HandOffFile.h"
#include "ProfileFile.h"

#include "TestWindowsDir.h"

#include <gtest/gtest.h>

using namespace tarv;

namespace {

class HandOffTextTest : public WindowsDirTest {};

TEST_F(HandOffTextTest, MultiLineTextsComeBackWholeAndAddNoKeys) {
    const QString texts[] = {
        "Riga uno\nRiga due",
        "a\r\nb\r\n",
        "  spazi  \n\"tra virgolette\"",
        "C:\\temp\\nuovo\nx\\n",
        QString::fromUtf16(u"nul\0dentro", 10),
        "Nascosto=True\nAllegato=/etc/shadow\n[Dati]\nDest=altri@x.it",
        "\n",
        "Una riga sola",
    };
    for (const QString& text : texts) {
        const QString file = win.write("Default.ini", "[Dati]\r\nDest=a@b.it\r\n");
        const HandOffText encoded = HandOffText::encode(text);
        ProfileFile::writeString("Dati", "Testo", encoded.firstLine, file);
        ProfileFile::writeString("Dati", HandOffText::wholeKey(), encoded.whole, file);
        const HandOffFile handOff(file);
        EXPECT_EQ(handOff.Leggi_Ini("Dati", "Testo"), text);
        EXPECT_EQ(handOff.Leggi_Ini("Dati", "Dest"), "a@b.it");
        EXPECT_EQ(handOff.Leggi_Ini("Dati", "Nascosto"), "");
        EXPECT_EQ(handOff.Leggi_Ini("Dati", "Allegato"), "");
    }
}

TEST_F(HandOffTextTest, OneLineFilesReadAsBefore) {
    const std::pair<QByteArray, QString> cases[] = {
        {"Testo=C:\\temp\\nuovo\\r", "C:\\temp\\nuovo\\r"},
        {"Testo=\"  citato  \"", "  citato  "},
        {"Testo=\\n", "\\n"},
        // A whole text left by an earlier hand-off does not belong to a newer first line.
        {"Testo=nuovo\r\nTestoIntero=\"vecchio\\nseconda riga\"", "nuovo"},
    };
    for (const auto& [line, expected] : cases) {
        const HandOffFile handOff(win.write("Default.ini", "[Dati]\r\n" + line + "\r\n"));
        EXPECT_EQ(handOff.Leggi_Ini("Dati", "Testo"), expected) << line.constData();
    }
}

} // namespace
