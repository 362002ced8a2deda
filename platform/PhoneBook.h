#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

// The dial-up phone book: the sections of $TARV_WINDIR/rasphone.pbk, one per entry, in file
// order, as the Windows phone book file keeps them.
class PhoneBook {
public:
    static constexpr int kMaxEntries = 256;
    static QString path();
    // At most 256 names, as the platform's listing buffer holds.
    static QStringList entries();

    // The platform's dialler command for an entry: on the 9x family the name follows
    // "rundll32.exe rnaui.dll,RnaDial " as it is, elsewhere it goes in double quotes after
    // "Rasphone -d ".
    static QString dialCommand(const QString& entry, int platformId);

    enum class DialResult { Started, NoDialer, StartFailed };
    // Starts the dialler of a command line from dialCommand: the program named by
    // $TARV_DIALER, with the entry name as its one argument, detached and not waited for.
    static DialResult startDialer(const QString& commandLine);
    // The user's words for a result other than Started.
    static QString dialFailureText(DialResult result);
};

} // namespace tarv
