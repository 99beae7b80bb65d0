#pragma once
// The start-up read of the till's configuration: receipt templates, the settings file, the
// device keys, the serial ports, the skins and the version. What belongs to the session goes
// into the Session; what the sales screen draws comes back as a TerminalConfig. Every file
// that cannot be read leaves the value it had.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/terminalsettings.h"

namespace vorel {

class Devices;
class ProgramFolder;
class Session;

struct TerminalConfig {
    QString title;          // POS_Title: application title, window caption, G_CoName
    QString welcome;        // STR1
    int connMode = 0;
    bool keyHelpVisible = false; // toolvisible
    bool fullLayout = true;      // FORMCOLOR
    std::optional<GridLayout> grid; // POSGRIDWIDTH, nothing when never saved
    bool hideSystemLogo = false; // OT3
    QString logoFile;            // LOGO, empty without
    QString secondScreenImage;   // mon.png, empty without
    quint32 themeColor = 0;      // FM_COLOR (0x00BBGGRR)
    quint32 themeFontColor = 0;  // FB_COLOR
    int minimiseHotKey = 0;      // MINKEY
    bool storedValuePanel = false; // FF3 shows Panel9
    bool printSwitch = false;    // CHK36
    bool downloadAfterLogin = false; // ot1
    int shiftKeepDays = 0;       // FHCDB
    int slipKeepDays = 0;        // FHCXS
    int lockSeconds = 0;         // NUM2 minutes as seconds
    QStringList skins;           // skin*.skn in the program folder
    int skinIndex = 0;           // skinlistindex, within the list
    int versionNumber = 0;       // the program's version number (major x 100 + minor)
    QString version;             // G_VER
};

// Step texts of the splash window, in their order.
namespace loadstep {
inline const QString Parameters = QStringLiteral("配置参数!");
inline const QString Files = QStringLiteral("配置文件!");
inline const QString Skins = QStringLiteral("加载主题文件!");
inline const QString Version = QStringLiteral("检查最新版本信息!");
inline const QString Starting = QStringLiteral("正在启动数据,请稍等...");
inline const QString FirstDatabaseStart = QStringLiteral("首次启动数据库,请等待几秒钟..");
inline const QString DatabaseConnect = QStringLiteral("正在链接数据库,请等待几秒钟..");
inline const QString Service = QStringLiteral("启动服务程序");
inline const QString Done = QStringLiteral("装入完成!");
} // namespace loadstep

using LoadStep = std::function<void(int step, const QString &text)>;

// The program's version number as the shop counts it: major x 100 + minor ("1.2" is 102).
int programVersionNumber();
// G_VER of a version number: its hundreds, a dot and the next two digits (102 is "1.02").
QString versionText(int number);

// The shop's logo named by LOGO in the program folder; empty when unset or missing.
QString logoFile(const TerminalSettings &settings, const ProgramFolder &folder);

// Reads everything. `devices` opens the serial ports of the printer and the display.
TerminalConfig loadTerminalConfig(const ProgramFolder &folder, Session &session, Devices &devices,
                                  const LoadStep &step);

// Templates, the settings file and the devices; the steps that need no window.
void loadTemplates(const ProgramFolder &folder, Session &session);

} // namespace vorel
