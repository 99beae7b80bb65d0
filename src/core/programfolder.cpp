#include "core/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vorel {

namespace {

const QLatin1String HomeOption("--home");
const QLatin1String HomeOptionWithValue("--home=");

QString withForwardSlashes(QString name)
{
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

// The spelling `part` has inside `folder`: itself when that exists, else the first entry
// equal to it apart from case, else `part` unchanged.
QString spellingOnDisk(const QString &folder, const QString &part)
{
    if (QFileInfo::exists(folder + QLatin1Char('/') + part))
        return part;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
    for (const QString &candidate : names) {
        if (candidate.compare(part, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return part;
}

QString executableFolder(const QStringList &arguments)
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        return QFileInfo(self).absolutePath();
    return arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).absolutePath();
}

} // namespace

ProgramFolderChoice chooseProgramFolder(const ProgramFolderInputs &in)
{
    if (!in.homeArgument.trimmed().isEmpty())
        return {QDir::cleanPath(in.homeArgument), ProgramFolderSource::Argument};
    if (!in.homeEnvironment.trimmed().isEmpty())
        return {QDir::cleanPath(in.homeEnvironment), ProgramFolderSource::Environment};
    if (in.executableFolderWritable && !in.executableFolder.trimmed().isEmpty() && in.installedData.isEmpty())
        return {QDir::cleanPath(in.executableFolder), ProgramFolderSource::ExecutableFolder};
    return {QDir::cleanPath(in.userDataFolder), ProgramFolderSource::UserData};
}

QString installedDataFolder(const QString &executableFolder)
{
    if (executableFolder.isEmpty())
        return {};
    const QString shared = QDir::cleanPath(executableFolder + QStringLiteral("/../share/vorel"));
    return QFileInfo(shared + QStringLiteral("/till")).isDir() ? shared : QString();
}

bool seedProgramFolder(const QString &root, const QString &startFiles)
{
    const ProgramFolder folder(root);
    if (QFileInfo::exists(folder.path(QStringLiteral("VORELZ"))))
        return true;
    bool ok = true;
    const auto copyMissing = [&](const auto &self, const QString &from, const QString &relative) -> void {
        const QFileInfoList entries =
            QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const QString name = relative + entry.fileName();
            const QString to = folder.path(name);
            if (entry.isDir()) {
                ok = QDir().mkpath(to) && ok;
                self(self, entry.filePath(), name + QLatin1Char('/'));
            } else if (!QFileInfo::exists(to)) {
                // The shared copies may be read-only; the till's own are its to change.
                ok = QFile::copy(entry.filePath(), to) && ok;
                QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
            }
        }
    };
    copyMissing(copyMissing, startFiles, QString());
    return ok;
}

QString homeArgument(const QStringList &arguments)
{
    QString home;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == HomeOption && i + 1 < arguments.size())
            home = arguments.at(++i);
        else if (arg.startsWith(HomeOptionWithValue))
            home = arg.mid(HomeOptionWithValue.size());
    }
    return home;
}

ProgramFolder::ProgramFolder(const QString &root, ProgramFolderSource source)
    : root_(QDir::cleanPath(QDir(root).absolutePath())), source_(source)
{
}

ProgramFolder ProgramFolder::locate(const QStringList &arguments)
{
    ProgramFolderInputs in;
    in.homeArgument = homeArgument(arguments);
    in.homeEnvironment = qEnvironmentVariable("VOREL_HOME");
    in.executableFolder = executableFolder(arguments);
    in.executableFolderWritable =
        !in.executableFolder.isEmpty() && QFileInfo(in.executableFolder).isWritable();
    in.userDataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    in.installedData = installedDataFolder(in.executableFolder);

    const ProgramFolderChoice choice = chooseProgramFolder(in);
    QDir().mkpath(choice.path);
    if (!in.installedData.isEmpty())
        seedProgramFolder(choice.path, in.installedData + QStringLiteral("/till"));
    return ProgramFolder(choice.path, choice.source);
}

QString ProgramFolder::path(const QString &name) const
{
    const QString relative = withForwardSlashes(name);
    if (QDir::isAbsolutePath(relative))
        return QDir::cleanPath(relative);

    QString current = root_;
    bool onDisk = true; // whether `current` is an existing folder we can look into
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString actual = onDisk ? spellingOnDisk(current, part) : part;
        current += QLatin1Char('/') + actual;
        onDisk = onDisk && QFileInfo(current).isDir();
    }
    return QDir::cleanPath(current);
}

QStringList ProgramFolder::glob(const QString &pattern) const
{
    const QString normalized = withForwardSlashes(pattern);
    const qsizetype slash = normalized.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? root_ : path(normalized.left(slash));
    const QString filePattern = normalized.mid(slash + 1);
    if (filePattern.isEmpty())
        return {};
    // QDir filters ignore case unless told otherwise.
    return QDir(folder).entryList(QStringList{filePattern}, QDir::Files,
                                  QDir::Name | QDir::IgnoreCase);
}

QString ProgramFolder::ensureFolder(const QString &name) const
{
    const QString folder = path(name);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return {};
    return folder;
}

} // namespace vorel
