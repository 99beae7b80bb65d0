#pragma once
// Text helpers every module leans on: the GBK code page the till prints and sizes fields
// in, cutting and padding by bytes, pieces of separated texts, SQL literals, password
// digests, pinyin initials, GUIDs and the PC name.

#include <QByteArray>
#include <QString>

namespace vorel {

// ---- GBK -------------------------------------------------------------------------------
//
// One character is one Unicode code point (a surrogate pair counts once). ASCII takes one
// byte, a Chinese character two. A character the code page lacks (an emoji, a character
// outside the basic plane, a lone surrogate, most symbols of other scripts) is written as
// one "?" byte: it stays visible, keeps its place and is counted as one byte everywhere
// below, so widths always agree with the bytes that reach the printer.

QByteArray toGbk(const QString &text);
// As toGbk(text); *replaced, when given, tells whether any character had to become "?".
QByteArray toGbk(const QString &text, bool *replaced);
// Bytes that form no GBK character come back as U+FFFD, including a lead byte cut off at
// the end of the data.
QString fromGbk(const QByteArray &bytes);
// The whole of a GBK text file; false (and *out untouched) when it cannot be read.
bool readGbkFile(const QString &path, QString *out);

// Length of the text in GBK bytes.
int gbkLength(const QString &text);

// Longest prefix of the text that fits in n GBK bytes without splitting a character.
QString gbkLeft(const QString &text, int n);

struct GbkCut {
    QString text;           // the longest prefix that fits in n bytes
    bool splitChar = false; // byte n would have been the first byte of a two-byte character
};
// Cuts the text to n bytes. When the cut falls inside a two-byte character that
// character is left out and splitChar is set; the receipt prints "." in its place so the
// column keeps its width.
GbkCut gbkCutBytes(const QString &text, int n);

// Exactly n GBK bytes: the text padded with blanks on the right (PadRight) or on the left
// (PadLeft); a longer text is cut to its first n bytes first, and a blank takes the place
// of a half character. Empty when n <= 0.
QString gbkPadRight(const QString &text, int n);
QString gbkPadLeft(const QString &text, int n);

// ---- small texts -----------------------------------------------------------------------

// The n-th piece (counted from 1) of text split at sep; empty when there is no such piece.
// Empty pieces count: getno("a,,c", ",", 3) is "c". An empty sep leaves the whole text as
// piece 1.
QString getno(const QString &text, const QString &sep, int n);

// "1" for true, "0" for false: how flags travel in SQL text and settings.
QString boltos(bool flag);

// MD5 of the text's GBK bytes as 32 lower-case hex digits. Passwords are stored and
// compared only in this form.
QString getMD5(const QString &text);

// Pinyin initials in upper case, one letter per Chinese character: "服装" gives "FZ".
// ASCII letters and digits pass through upper-cased; everything else is left out.
// Characters of GB2312 (levels 1 and 2) are covered. The GBK extension characters
// (traditional forms and rare characters beyond GB2312) give no letter.
QString getPY(const QString &text);

// A new GUID in braces, upper-case hex digits grouped 8-4-4-4-12.
QString getGuid();

// The PC's name on the network.
QString getLocalName();

// ---- SQL literals ----------------------------------------------------------------------

// True when the text holds an apostrophe, which would end a literal in built SQL.
bool hasSingleQuote(const QString &text);
// The text as an SQL string literal: wrapped in single quotes, inner quotes doubled.
QString sqlQuote(const QString &text);

} // namespace vorel
