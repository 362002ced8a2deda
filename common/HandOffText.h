#pragma once

#include <QString>

#include <optional>

namespace tarv {

// How a body text of several lines crosses the hand-off file, whose values are one line each.
//
// "Testo" keeps the text up to its first line break (what a reader that knows only that key
// shows). When the text has more lines, "TestoIntero" holds all of it, between double quotes,
// with backslash, carriage return, line feed and NUL written as \\ \r \n \0, so that no line
// of the text can become a line, and so a key, of the file. A reader takes "TestoIntero" only
// when its first line is the "Testo" beside it: a file that a writer knowing only "Testo"
// rewrote reads as that writer meant, and a file without "TestoIntero" reads as it always did.
struct HandOffText {
    QString firstLine;            // the value of "Testo"
    std::optional<QString> whole; // the value of "TestoIntero"; none: the key is removed

    static QString wholeKey() { return QStringLiteral("TestoIntero"); }
    static HandOffText encode(const QString& text);
    // The body text from the two values as the profile reader gives them.
    static QString decode(const QString& testo, const QString& testoIntero);
};

} // namespace tarv
