#include "core/inifile.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QTextCodec>
#include <cmath>
#include <utility>

namespace vorel {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

QTextCodec *gbkCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("GBK");
    return codec;
}

struct NamedColor {
    const char *name;
    quint32 value; // 0x00BBGGRR
};

// The colour names the settings files carry. The two system colours stand for the
// standard Windows face and window colours.
constexpr NamedColor kNamedColors[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x000080}, {"clGreen", 0x008000},
    {"clOlive", 0x008080},  {"clNavy", 0x800000},   {"clPurple", 0x800080},
    {"clTeal", 0x808000},   {"clGray", 0x808080},   {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},    {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},  {"clBtnFace", 0xF0F0F0}, {"clWindow", 0xFFFFFF},
};

constexpr quint32 kMaxColor = 0x00FFFFFF;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// A value must stay on its line.
QString oneLine(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path))
{
    load();
}

void IniFile::load()
{
    lines_.clear();
    utf8_ = false;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    parse(file.readAll());
}

bool IniFile::reloadForWrite()
{
    if (batchDepth_ > 0)
        return !batchUnreadable_;
    QFile file(path_);
    if (!file.exists()) {
        lines_.clear();
        utf8_ = false;
        return true;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    lines_.clear();
    utf8_ = false;
    parse(file.readAll());
    return true;
}

QString IniFile::decode(const QByteArray &bytes) const
{
    if (utf8_ || gbkCodec() == nullptr)
        return QString::fromUtf8(bytes);
    return gbkCodec()->toUnicode(bytes);
}

QByteArray IniFile::encode(const QString &text) const
{
    if (utf8_ || gbkCodec() == nullptr)
        return text.toUtf8();
    return gbkCodec()->fromUnicode(text);
}

IniFile::Line IniFile::makeLine(const QString &text) const
{
    Line line;
    line.text = text;
    line.raw = encode(text);
    line.eol = newLineBreak();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
        return line;
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        line.kind = Kind::Section;
        line.name = (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
        return line;
    }
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return line;
    const QString name = text.left(eq).trimmed();
    if (name.isEmpty())
        return line;
    line.kind = Kind::Key;
    line.name = name;
    line.valueStart = eq + 1;
    return line;
}

void IniFile::parse(const QByteArray &input)
{
    QByteArray bytes = input;
    if (bytes.startsWith(kUtf8Bom)) {
        utf8_ = true;
        bytes.remove(0, kUtf8Bom.size());
    }
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', pos);
        QByteArray raw;
        QByteArray eol;
        if (nl < 0) {
            raw = bytes.mid(pos);
            pos = bytes.size();
        } else {
            raw = bytes.mid(pos, nl - pos);
            eol = "\n";
            if (raw.endsWith('\r')) {
                raw.chop(1);
                eol = "\r\n";
            }
            pos = nl + 1;
        }
        Line line = makeLine(decode(raw));
        // Keep the bytes as they were: a line the program never changes is written back
        // unchanged even if it holds bytes the code page cannot express.
        line.raw = raw;
        line.eol = eol;
        lines_.push_back(std::move(line));
    }
}

QByteArray IniFile::newLineBreak() const
{
    for (const Line &line : lines_) {
        if (!line.eol.isEmpty())
            return line.eol;
    }
    return QByteArrayLiteral("\r\n");
}

QByteArray IniFile::serialize() const
{
    QByteArray out;
    if (utf8_)
        out += kUtf8Bom;
    for (const Line &line : lines_) {
        out += line.raw;
        out += line.eol;
    }
    return out;
}

bool IniFile::save() const
{
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = serialize();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

IniFile::Batch::Batch(IniFile &file) : file_(file)
{
    if (file_.batchDepth_++ == 0) {
        file_.batchUnreadable_ = !file_.reloadForWrite();
        file_.batchBefore_ = file_.lines_;
    }
}

bool IniFile::Batch::commit()
{
    if (!open_)
        return true;
    open_ = false;
    if (--file_.batchDepth_ > 0)
        return true;
    if (file_.batchUnreadable_)
        return false;
    return file_.saveOrRevert(std::move(file_.batchBefore_));
}

bool IniFile::saveOrRevert(std::vector<Line> before)
{
    if (batchDepth_ > 0)
        return true; // the batch saves
    if (save())
        return true;
    // The document keeps showing what the file holds.
    lines_ = std::move(before);
    return false;
}

qsizetype IniFile::findSection(const QString &section) const
{
    const QString name = section.trimmed();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line &line = lines_[i];
        if (line.kind == Kind::Section && line.name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<qsizetype>(i);
    }
    return -1;
}

qsizetype IniFile::findKey(const QString &section, const QString &key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return -1;
    const QString name = key.trimmed();
    for (size_t i = static_cast<size_t>(header) + 1; i < lines_.size(); ++i) {
        const Line &line = lines_[i];
        if (line.kind == Kind::Section)
            break;
        if (line.kind == Kind::Key && line.name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<qsizetype>(i);
    }
    return -1;
}

const IniFile::Line *IniFile::keyLine(const QString &section, const QString &key) const
{
    const qsizetype i = findKey(section, key);
    return i < 0 ? nullptr : &lines_[static_cast<size_t>(i)];
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Line *line = keyLine(section, key);
    if (line == nullptr)
        return def;
    QString value = line->text.mid(line->valueStart).trimmed();
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    return value;
}

bool IniFile::parseInt(const QString &text, int *out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        *out = v;
    return ok;
}

bool IniFile::parseBool(const QString &text, bool *out)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("1") || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        *out = true;
        return true;
    }
    if (t == QLatin1String("0") || t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        *out = false;
        return true;
    }
    return false;
}

bool IniFile::parseFloat(const QString &text, double *out)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool IniFile::parseColor(const QString &text, quint32 *out)
{
    const QString t = text.trimmed();
    for (const NamedColor &c : kNamedColors) {
        if (t.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) {
            *out = c.value;
            return true;
        }
    }
    bool ok = false;
    qulonglong v = 0;
    if (t.startsWith(QLatin1Char('$'))) {
        const QString digits = t.mid(1);
        if (digits.isEmpty() || digits.size() > 8)
            return false;
        v = digits.toULongLong(&ok, 16);
    } else {
        const qlonglong d = t.toLongLong(&ok, 10);
        ok = ok && d >= 0;
        v = static_cast<qulonglong>(d);
    }
    if (!ok || v > kMaxColor)
        return false;
    *out = static_cast<quint32>(v);
    return true;
}

int IniFile::readInt(const QString &section, const QString &key, int def) const
{
    int v = def;
    return parseInt(readString(section, key), &v) ? v : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    bool v = def;
    return parseBool(readString(section, key), &v) ? v : def;
}

double IniFile::readFloat(const QString &section, const QString &key, double def) const
{
    double v = def;
    return parseFloat(readString(section, key), &v) ? v : def;
}

quint32 IniFile::readColor(const QString &section, const QString &key, quint32 def) const
{
    quint32 v = def;
    return parseColor(readString(section, key), &v) ? v : def;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    if (!reloadForWrite())
        return false;
    const QString text = oneLine(value);
    std::vector<Line> before = lines_;
    const qsizetype at = findKey(section, key);
    if (at >= 0) {
        Line &line = lines_[static_cast<size_t>(at)];
        // Keep everything up to the value: the key's spelling and the blanks around "=".
        qsizetype start = line.valueStart;
        while (start < line.text.size() && isBlank(line.text.at(start)))
            ++start;
        const QString changed = line.text.left(start) + text;
        if (changed == line.text)
            return true;
        line.text = changed;
        line.raw = encode(changed);
        return saveOrRevert(std::move(before));
    }

    Line newKey = makeLine(key.trimmed() + QLatin1Char('=') + text);
    const qsizetype header = findSection(section);
    if (header < 0) {
        if (!lines_.empty()) {
            if (lines_.back().eol.isEmpty())
                lines_.back().eol = newLineBreak();
            if (!lines_.back().text.trimmed().isEmpty())
                lines_.push_back(makeLine(QString()));
        }
        lines_.push_back(makeLine(QLatin1Char('[') + section.trimmed() + QLatin1Char(']')));
        lines_.push_back(std::move(newKey));
        return saveOrRevert(std::move(before));
    }

    // After the section's last key, so comments and blank lines that close the section
    // stay in front of the next header.
    size_t after = static_cast<size_t>(header);
    for (size_t i = after + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i) {
        if (lines_[i].kind == Kind::Key)
            after = i;
    }
    if (lines_[after].eol.isEmpty())
        lines_[after].eol = newLineBreak();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1), std::move(newKey));
    return saveOrRevert(std::move(before));
}

bool IniFile::writeInt(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::writeFloat(const QString &section, const QString &key, double value)
{
    return writeString(section, key, QString::number(value, 'f', QLocale::FloatingPointShortest));
}

bool IniFile::writeColor(const QString &section, const QString &key, quint32 value)
{
    return writeString(section, key, formatColor(value));
}

QString IniFile::formatColor(quint32 value)
{
    return QLatin1Char('$') + QString::number(value, 16).rightJustified(8, QLatin1Char('0')).toUpper();
}

bool IniFile::removeKey(const QString &section, const QString &key)
{
    if (!reloadForWrite())
        return false;
    const qsizetype at = findKey(section, key);
    if (at < 0)
        return true;
    std::vector<Line> before = lines_;
    lines_.erase(lines_.begin() + at);
    return saveOrRevert(std::move(before));
}

bool IniFile::hasSection(const QString &section) const
{
    return findSection(section) >= 0;
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return findKey(section, key) >= 0;
}

QStringList IniFile::sectionKeys(const QString &section) const
{
    QStringList keys;
    const qsizetype header = findSection(section);
    if (header < 0)
        return keys;
    for (size_t i = static_cast<size_t>(header) + 1; i < lines_.size(); ++i) {
        const Line &line = lines_[i];
        if (line.kind == Kind::Section)
            break;
        if (line.kind == Kind::Key)
            keys.append(line.name);
    }
    return keys;
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Line &line : lines_) {
        if (line.kind == Kind::Section)
            names.append(line.name);
    }
    return names;
}

} // namespace vorel
