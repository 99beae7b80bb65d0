#pragma once
// The one folder that holds every file the till keeps: the settings file, the preferences
// file, receipt templates, the local store and its clean copy, held sales, logs and skins.
// Those files were named on a platform that ignores case, so a name asked for here finds
// the file whatever case it carries on disk ("vorelz" finds "VORELZ").

#include <QString>
#include <QStringList>

namespace vorel {

// Everything the choice of the program folder depends on, gathered by the caller.
struct ProgramFolderInputs {
    QString homeArgument;     // value of --home; empty when not given
    QString homeEnvironment;  // VOREL_HOME; empty when not set
    QString executableFolder; // folder of the running executable
    bool executableFolderWritable = false;
    QString userDataFolder;   // the user's own data folder for this program
    // The shared data of an installed till (see installedDataFolder); empty when the till
    // runs from its build folder.
    QString installedData;
};

enum class ProgramFolderSource { Argument, Environment, ExecutableFolder, UserData };

struct ProgramFolderChoice {
    QString path;
    ProgramFolderSource source = ProgramFolderSource::UserData;
};

// --home wins, then VOREL_HOME, then the executable's folder when we may write there and the
// till is not installed (an installed till never writes beside its program, even as root),
// else the user's data folder. Blank values count as not given.
ProgramFolderChoice chooseProgramFolder(const ProgramFolderInputs &in);

// The shared data of a till installed beside `executableFolder`: "../share/vorel" when that
// holds the files a new program folder starts with (its "till" folder), else empty.
QString installedDataFolder(const QString &executableFolder);

// Gives a program folder the till has not started in yet (it has no local store "VORELZ")
// the files a new one starts with (skins, the clean local store), copied from `startFiles`
// with their folders where the folder lacks them (whatever their case), so settings put
// there beforehand stay; once the till has started there, its own changes and deletions
// stay too. False when a copy failed.
bool seedProgramFolder(const QString &root, const QString &startFiles);

// The value of "--home DIR" or "--home=DIR" in a command line (the last one given wins);
// empty when there is none. arguments[0] is the program itself and is not looked at.
QString homeArgument(const QStringList &arguments);

class ProgramFolder {
public:
    // Works in `root` as it is (made absolute); nothing is created.
    explicit ProgramFolder(const QString &root,
                           ProgramFolderSource source = ProgramFolderSource::Argument);

    // Chooses the folder from the command line, VOREL_HOME, the executable's folder and
    // the user's data folder, and creates it when it does not exist yet. An installed till
    // fills a new folder from its shared data (seedProgramFolder).
    static ProgramFolder locate(const QStringList &arguments);

    const QString &root() const { return root_; }
    ProgramFolderSource source() const { return source_; }

    // Full path of a file or folder inside the program folder. Every part of a nested name
    // ("skin/blue.skn", "LOG\\POS20260101.TXT"; either slash) is matched against what
    // exists without regard to case; an exact match is preferred. Parts with nothing to
    // match keep the spelling given. An absolute name is returned as it is.
    QString path(const QString &name) const;

    // Names of the files matching a wildcard pattern ("skin*.skn", "skin/*.skn"), case
    // ignored, sorted by name. The names are those of the files in the pattern's folder,
    // without that folder.
    QStringList glob(const QString &pattern) const;

    // Makes sure a folder exists inside the program folder, using one that is already
    // there under another case. Returns its full path, or an empty string when it could
    // not be created.
    QString ensureFolder(const QString &name) const;

private:
    QString root_;
    ProgramFolderSource source_;
};

} // namespace vorel
