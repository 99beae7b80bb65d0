#pragma once
// The till's own receipt templates, offered by the template picker of the terminal
// settings: two narrow ones for 58 mm paper, two wide ones for 74 mm and more, and the
// narrow and wide first ones again with the member's card and points.
//
// Each is a 15-line sample of 48 columns: lines 1 to 5 are the heading, 6 and 7 the line
// template, 8 to 15 the footing.

#include <QList>
#include <QString>
#include <QStringList>

namespace vorel {

struct ReceiptTemplates {
    QString heading;      // POSTOP
    QString lineTemplate; // POSDE
    QString footing;      // POSEND
};

struct ReceiptLibraryEntry {
    QString tab;       // the picker's tab
    QStringList lines; // 15 lines, each padded with blanks to 48 GBK bytes
};

struct ReceiptTemplateChoice {
    ReceiptTemplates templates;
    int paperWidth = 0; // mm
};

inline constexpr int ReceiptLibraryLines = 15;
inline constexpr int ReceiptLibraryColumns = 48;

const QList<ReceiptLibraryEntry> &receiptLibrary();

// The picked entry as the three templates (CR LF between lines, trailing blanks dropped,
// no final line break) and the paper width that suits it with or without a driver. The
// member entries get a rule and the member card, slip points and total points lines in
// front of their footing. An index outside the library gives nothing.
ReceiptTemplateChoice takeLibraryTemplate(int index, bool driver);

} // namespace vorel
