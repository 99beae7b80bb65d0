#include "app/localstorerepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/clock.h"
#include "core/programfolder.h"
#include "offline/localstore.h"

namespace vorel {

const QString LocalStoreRepair::ConfirmCaption = QStringLiteral("替换离线文件 F2");
const QString LocalStoreRepair::DoneText = QStringLiteral("替换文件成功! 系统将自动关闭，请重新运行!");
const QString LocalStoreRepair::FailedText = QStringLiteral("替换文件失败! 为保证离线文件还能链接! 请重新运行系统!");
const QStringList LocalStoreRepair::Explanation = {
    QStringLiteral("当因为不正常关机，或突然断电等因素造成离线文件损坏至无法读取，"),
    QStringLiteral("出现的状况可能会是：离线数据上传，或当班/交班操作，或者平常的收银操作"),
    QStringLiteral("均会弹出英文字串的错误提示。"),
    QStringLiteral("请用【彻底替换】功能将一个全新的离线文件替换损坏的离线数据库。"),
    QStringLiteral("此功能会彻底清除离线数据。在执行本功能前，如有离线数据(离线销售及当班"),
    QStringLiteral("交班）信息，请尝试将这些离线数据上传后再执行。"),
};

namespace {

// How many slip numbers the question names before it only counts.
constexpr int NamedSlips = 10;

} // namespace

LocalStoreRepair::LocalStoreRepair(LocalStore &store, const Clock &clock) : store_(store), clock_(clock) {}

QString LocalStoreRepair::backupName(const QString &storePath, const QDateTime &stamp)
{
    return storePath + stamp.toString(QStringLiteral("yyyyMMddhhmmss"));
}

std::optional<QStringList> LocalStoreRepair::pendingSlips()
{
    try {
        store_.open();
        ResultSet rows = store_.query(QStringLiteral("select NOID from D712 where T=0 order by NOID"));
        QStringList slips;
        for (bool more = rows.first(); more; more = rows.next())
            slips << rows.field(0).asString();
        return slips;
    } catch (const LocalStoreError &) {
        return std::nullopt;
    }
}

QString LocalStoreRepair::question()
{
    const std::optional<QStringList> slips = pendingSlips();
    if (!slips)
        return QStringLiteral("离线文件已无法读取，其中尚未上传的单据无法统计，替换后将全部丢失。\n是否替换离线文件?");
    if (slips->isEmpty())
        return QStringLiteral("离线文件中没有待上传的单据。\n是否替换离线文件?");
    QStringList named = slips->mid(0, NamedSlips);
    if (slips->size() > NamedSlips)
        named << QStringLiteral("……");
    return QStringLiteral("离线文件中还有 %1 张单据尚未上传：\n%2\n替换后这些单据将被清除。是否替换离线文件?")
        .arg(slips->size())
        .arg(named.join(QLatin1Char('\n')));
}

bool LocalStoreRepair::replace()
{
    const QString path = store_.path();
    const ProgramFolder folder(QFileInfo(path).absolutePath());
    store_.close();

    // The damaged file is kept; a backup that cannot be written does not stop the repair.
    const QString backup = backupName(path, clock_.now());
    QFile::remove(backup);
    QFile::copy(path, backup);

    bool replaced = false;
    QFile clean(folder.path(QString::fromLatin1(LocalStoreCleanCopyName)));
    if (clean.open(QIODevice::ReadOnly)) {
        // Written beside the store and renamed over it in one step.
        QSaveFile target(path);
        if (target.open(QIODevice::WriteOnly)) {
            const QByteArray content = clean.readAll();
            replaced = target.write(content) == content.size() && target.commit();
        }
    }
    if (replaced) {
        // A journal left by the damaged file would be played into the clean one.
        QFile::remove(path + QStringLiteral("-journal"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    try {
        store_.open();
    } catch (const LocalStoreError &) {
        // The till ends now; the next start reports the file.
    }
    return replaced;
}

} // namespace vorel
