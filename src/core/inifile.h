#pragma once
// Windows-style INI files as the till keeps them: GBK text (UTF-8 when the file starts
// with a byte-order mark), "[section]" headers, "key=value" lines, comments and blank
// lines. Section and key names are matched without regard to case.
//
// The file is opened for one use: construct, read or write a few keys, drop the object.
// Every write goes to disk at once through a temporary file in the same folder that is
// renamed over the original, so a power cut leaves either the old or the new file. Lines
// the program does not touch keep their bytes exactly, line breaks included.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace vorel {

class IniFile {
public:
    // Opens the file at the full path and reads it (see load()).
    explicit IniFile(QString path);

    const QString &path() const { return path_; }

    // Reads the file again. A missing or unreadable file gives an empty document.
    void load();

    // True when the file was read as UTF-8 (it began with a byte-order mark).
    bool isUtf8() const { return utf8_; }

    // Reads never fail: a missing file, section or key, or a value of the wrong form,
    // gives the default. Values are trimmed; one pair of matching quotes around a value
    // is dropped.
    QString readString(const QString &section, const QString &key, const QString &def = {}) const;
    // Decimal integer with an optional sign.
    int readInt(const QString &section, const QString &key, int def) const;
    // "0" / "1", also "false" / "true" in any case.
    bool readBool(const QString &section, const QString &key, bool def) const;
    // Decimal number with a point.
    double readFloat(const QString &section, const QString &key, double def) const;
    // A colour as 0x00BBGGRR: "$" and up to eight hex digits, a decimal number, or a
    // colour name (clRed, clBtnFace, ...). Values outside 0x00FFFFFF give the default.
    quint32 readColor(const QString &section, const QString &key, quint32 def) const;

    // Each write re-reads the file, changes the one key and saves. An existing key keeps
    // its spelling and its place; a new key goes after the last key of its section, a new
    // section at the end. False when the file could not be saved (the folder is not
    // writable, the file exists but cannot be read); the file is then left as it was.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInt(const QString &section, const QString &key, int value);
    // "1" or "0".
    bool writeBool(const QString &section, const QString &key, bool value);
    // Shortest text that reads back to the same number ("0.3", "12").
    bool writeFloat(const QString &section, const QString &key, double value);
    // "$00BBGGRR", upper-case hex.
    bool writeColor(const QString &section, const QString &key, quint32 value);
    // Drops the key's line. True when the key is gone afterwards (also when it was absent).
    bool removeKey(const QString &section, const QString &key);

    // Several writes saved together: inside a batch, writes change the document only and
    // the batch saves once when committed (or destroyed), still atomically. Settings
    // dialogs write twenty keys at a time; one fsync instead of twenty.
    class Batch {
    public:
        explicit Batch(IniFile &file);
        ~Batch() { commit(); }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;
        // Saves. False when the file could not be saved; the document is then as the file is.
        bool commit();

    private:
        IniFile &file_;
        bool open_ = true;
    };

    bool hasSection(const QString &section) const;
    bool hasKey(const QString &section, const QString &key) const;
    // Key names of the section in file order and in their stored spelling.
    QStringList sectionKeys(const QString &section) const;
    QStringList sections() const;

    // Colour text as writeColor stores it.
    static QString formatColor(quint32 value);
    // The parsing rules of the typed reads, for values that come from elsewhere.
    static bool parseInt(const QString &text, int *out);
    static bool parseBool(const QString &text, bool *out);
    static bool parseFloat(const QString &text, double *out);
    static bool parseColor(const QString &text, quint32 *out);

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        QByteArray raw;   // bytes as read, without the line break
        QByteArray eol;   // "\r\n", "\n", or empty on a last line without a break
        Kind kind = Kind::Other;
        QString name;     // section or key name, trimmed
        QString text;     // decoded line
        qsizetype valueStart = 0; // for keys: where the value starts in text
    };

    void parse(const QByteArray &bytes);
    QString decode(const QByteArray &bytes) const;
    QByteArray encode(const QString &text) const;
    QByteArray serialize() const;
    bool save() const;
    // Saves, or on failure puts back the document as it was before the change.
    bool saveOrRevert(std::vector<Line> before);
    // Re-reads the file before a change. False when the file exists but cannot be read.
    bool reloadForWrite();
    Line makeLine(const QString &text) const;
    QByteArray newLineBreak() const;

    // Index of the first header of the section, -1 when absent.
    qsizetype findSection(const QString &section) const;
    // Index of the first line of the key within the section, -1 when absent.
    qsizetype findKey(const QString &section, const QString &key) const;
    const Line *keyLine(const QString &section, const QString &key) const;

    QString path_;
    bool utf8_ = false;
    std::vector<Line> lines_;
    // Batch state: the document before the batch, and whether its first read failed.
    int batchDepth_ = 0;
    bool batchUnreadable_ = false;
    std::vector<Line> batchBefore_;
};

} // namespace vorel
