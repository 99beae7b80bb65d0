#pragma once
// Where the port names of the till's settings lead on this machine. The settings speak of
// "COM1" .. "COM6" and "LPT1" .. "LPT3"; a till on Linux with a USB serial adapter, or a
// test with a pseudo-terminal, says where those are in section PORTS of the terminal
// settings file:
//
//   [PORTS]
//   COM1=/dev/ttyUSB0
//   LPT1=/var/spool/vorel/receipt.prn
//   DRIVEC=/home/till/c
//
// Without a key COMn is /dev/ttyS(n-1) and LPTn is /dev/lp(n-1); on Windows both are the
// port names themselves. A printer "port" may also be a file name such as C:\receipt.txt.
// On Windows that is used as it is. Elsewhere the drive letter stands for a folder: the
// key DRIVE<letter>, or the program folder (where the settings file lives) when that key
// is missing; the rest of the name is taken below it with "\" read as "/" and each part
// matched without regard to case, so C:\Receipt.TXT finds an existing receipt.txt. Other
// relative names are taken inside the program folder the same way.

#include <QString>
#include <map>

namespace vorel {

class PortMap {
public:
    static constexpr char Section[] = "PORTS";

    // Platform defaults only; file names resolve inside `programFolder` (the current
    // folder when empty).
    explicit PortMap(QString programFolder = {});
    // The defaults overridden by section PORTS of the terminal settings file; the file's
    // folder is the program folder. A missing file or section leaves the defaults.
    static PortMap fromSettingsFile(const QString &settingsPath);

    const QString &programFolder() const { return programFolder_; }

    // Device path of serial port n (1 = COM1); empty when n is not 1 to 9.
    QString serialDevice(int number) const;
    // Device path of parallel port n (1 = LPT1); empty when n is not 1 to 9.
    QString parallelDevice(int number) const;
    // The file a file port is written to: the device of "LPTn" (any case), a drive name
    // as described above, any other name inside the program folder.
    QString filePath(const QString &portName) const;

    void setSerialDevice(int number, const QString &path);
    void setParallelDevice(int number, const QString &path);
    // Folder a drive letter stands for; not used on Windows.
    void setDriveFolder(QChar drive, const QString &folder);

private:
    QString programFolder_;
    std::map<int, QString> serial_;
    std::map<int, QString> parallel_;
    std::map<char16_t, QString> drives_;
};

} // namespace vorel
