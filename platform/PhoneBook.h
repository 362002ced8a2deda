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
    // `confirm` stands for the Enter key pressed in the dialler's confirmation: one line end
    // waits on the dialler's standard input.
    static DialResult startDialer(const QString& commandLine, bool confirm = false);
    // The user's words for a result other than Started.
    static QString dialFailureText(DialResult result);

    // Editing the phone book. Every change rewrites the file in one step and keeps the bytes
    // of every other entry and of every other key of the entry it changes. A refused change
    // returns the user's words for the refusal and leaves the file as it was; "" is success.
    //
    // Names are taken without their outer blanks and are refused when they would not read
    // back as the same entry: empty, with a line break or a bracket, longer than the
    // platform's 256 bytes, or already used by another entry (compared without regard to
    // case, as the platform looks entries up).
    static QString checkName(const QString& name, const QString& renaming = QString());
    static QString createEntry(const QString& name, const QString& phoneNumber);
    static QString renameEntry(const QString& name, const QString& newName);
    static QString setPhoneNumber(const QString& name, const QString& phoneNumber);
    static QString deleteEntry(const QString& name);
    static QString phoneNumber(const QString& name);

    // An active dial-up connection: a ppp network interface that is up.
    static bool connectionActive();
};

} // namespace tarv
