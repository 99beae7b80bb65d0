#include "sales/heldsales.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "core/resultset.h"
#include "core/text.h"
#include "offline/connection.h"
#include "sales/memberdesk.h"
#include "sales/sale.h"

namespace vorel {

const QString HeldSales::HeldText = QStringLiteral("已挂起一张销售单!");
const QString HeldSales::RestoredText = QStringLiteral("还原挂起单据,您可继续进行销售!");
const QString HeldSales::DamagedText = QStringLiteral("挂起单据文件已损坏,不能还原!");
const QString HeldSales::Folder = QStringLiteral("R");

namespace {

// The member discount label: blank without a card.
QString rateText(const MemberCard &card)
{
    return card.selected() ? card.rate.toPlainString() : QString();
}

std::optional<HeldSale> readHeldFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeHeldSale(file.readAll());
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

HeldSales::HeldSales(const ProgramFolder &folder, Connection &connection, Sale &sale, MemberDesk &members,
                     HeldSalePicker &picker)
    : folder_(folder), connection_(connection), sale_(sale), members_(members), picker_(picker)
{
    scan();
}

void HeldSales::scan()
{
    const QFileInfo dir(folder_.path(Folder));
    if (!dir.isDir())
        return;
    QList<int> numbers;
    for (const QString &name : QDir(dir.filePath()).entryList(QDir::Files)) {
        bool isNumber = false;
        const int n = name.toInt(&isNumber);
        if (isNumber && n >= 0 && QString::number(n) == name)
            numbers.append(n);
    }
    std::sort(numbers.begin(), numbers.end());
    for (const int n : numbers) {
        const QString number = QString::number(n);
        const std::optional<HeldSale> held = readHeldFile(filePath(number));
        // A damaged file keeps its row, so the cashier hears of it when choosing it.
        rows_.append(held ? HeldSaleRow{number, held->description, held->memberCard, held->memberRateText}
                          : HeldSaleRow{number, DamagedText, QString(), QString()});
        next_ = n + 1;
    }
}

QString HeldSales::filePath(const QString &number) const
{
    const QString dir = folder_.path(Folder);
    if (!QFileInfo(dir).isDir())
        return QString();
    return QDir(dir).filePath(number);
}

QString HeldSales::holdOrRetrieve()
{
    return sale_.isEmpty() ? retrieve() : hold();
}

QString HeldSales::hold()
{
    if (sale_.isEmpty())
        return QString();
    const MemberCard &card = members_.card();
    HeldSale held{card.vipId, rateText(card), sale_.salesperson(), members_.redeemPoints(), QString(), sale_.lines()};
    for (auto line = held.lines.crbegin(); line != held.lines.crend(); ++line)
        held.description += line->wlName() + QStringLiteral(" / ");
    const QString number = QString::number(next_);
    const QString path = filePath(number);
    if (path.isEmpty() || !writeFileAtomically(path, encodeHeldSale(held)))
        return QString();

    sale_.clear();
    members_.clearForNewSale();
    rows_.append({number, held.description, held.memberCard, held.memberRateText});
    ++next_;
    sale_.refreshTotals();
    return HeldText;
}

QString HeldSales::retrieve()
{
    const std::optional<HeldSalePicker::Pick> pick = picker_.pick(rows_);
    if (!pick || pick->row < 0 || pick->row >= rows_.size())
        return QString();
    const HeldSaleRow row = rows_.at(pick->row);
    const QString path = filePath(row.number);
    const std::optional<HeldSale> held = path.isEmpty() ? std::nullopt : readHeldFile(path);
    if (!held) {
        // The row stays: the file is left for whoever can mend it.
        sale_.refreshTotals();
        return DamagedText;
    }
    if (pick->take) {
        rows_.removeAt(pick->row);
        QFile::remove(path);
    }
    for (const SaleLine &line : held->lines)
        sale_.appendLine(line);
    sale_.setSalesperson(held->salesperson);
    restoreMember(row);
    members_.restoreRedemption(held->redeemPoints);
    const int redemption = sale_.findLine(LineKind::Redemption);
    if (redemption >= 0)
        sale_.restoreRedemption(sale_.line(redemption).smoney());
    sale_.refreshTotals();
    return RestoredText;
}

// The card comes back with what the shop knows of it now; the lines keep the prices they
// were held with. Without the server the card stays off and its discount is not taken over.
void HeldSales::restoreMember(const HeldSaleRow &row)
{
    MemberCard card;
    card.vipId = row.memberCard;
    if (!row.memberCard.isEmpty()) {
        ResultSet member;
        if (connection_.isOffline()
            || !connection_.openServerSql(member,
                                          QStringLiteral("select VIPNAME,vipf,VIPM,VIPGRARD + 1 AS G FROM D702 "
                                                         "WHERE vipid=")
                                              + sqlQuote(row.memberCard) + QLatin1Char(';'))
            || member.isEmpty()) {
            members_.restoreCard(card);
            sale_.setMember(card.selected(), card.rate);
            return;
        }
        card.name = member.field(QStringLiteral("VIPNAME")).asString();
        card.points = qRound64(member.field(QStringLiteral("vipf")).asDouble());
        card.balance = member.field(QStringLiteral("VIPM")).asMoney();
        card.grade = static_cast<int>(member.field(QStringLiteral("G")).asInt());
    }
    const std::optional<Money> rate = Money::parse(row.memberRateText.trimmed());
    card.rate = rate.value_or(Money::fromUnits(1));
    members_.restoreCard(card);
    sale_.setMember(card.selected(), card.rate);
}

} // namespace vorel
