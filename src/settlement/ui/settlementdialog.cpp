#include "settlement/ui/settlementdialog.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "core/terminalsettings.h"

namespace vorel {

namespace {

// The strip above the rows, the gap above the change and the notice's padding.
constexpr int TopHeight = 8;
constexpr int ChangeGap = 14;
constexpr int NoticeMargin = 4;
constexpr int NoticePointSize = 11;
// Room to the right of the amount-due and change figures, so that their last digit lines
// up with the tenders' (a single-line edit keeps a small margin inside).
constexpr int AmountInset = 3;

struct Scheme {
    QColor background;
    QColor text;
    QColor resting; // Pnl_top and the memos without focus
    QColor notice;
};

const Scheme &schemeFor(bool dark)
{
    static const Scheme normal{QColor(0xF4, 0xF4, 0xF4), Qt::black, QColor(0xDC, 0xE3, 0xEC), QColor(0xC0, 0x00, 0x00)};
    static const Scheme darkScheme{Qt::black, Qt::white, QColor(0x30, 0x34, 0x3A), QColor(0xFF, 0xD0, 0x40)};
    return dark ? darkScheme : normal;
}

Settlement settlementFrom(const QString &settingsPath)
{
    const TerminalSettings settings(settingsPath);
    return Settlement(settings.changeLimitedTo100(), settings.settlementFontSize());
}

QString rowNumber(int i)
{
    return QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0'));
}

} // namespace

SettlementDialog::SettlementDialog(QString settingsPath, QWidget *parent, bool simplifiedChinese)
    : QDialog(parent)
    , settingsPath_(std::move(settingsPath))
    , logic_(settlementFrom(settingsPath_))
{
    setObjectName(QStringLiteral("TS001"));
    setWindowTitle(QStringLiteral("客付："));

    // Chinese in two cells and digits in one, as the captions are spaced for.
    QFont base = font();
    base.setFamilies({QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("NSimSun"),
                      QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei Mono")});
    base.setStyleHint(QFont::TypeWriter);
    setFont(base);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    top_ = new QWidget(this);
    top_->setObjectName(QStringLiteral("Pnl_top"));
    top_->setAutoFillBackground(true);
    top_->setFixedHeight(TopHeight);
    column->addWidget(top_);

    for (int i = 0; i < SettlementFieldCount; ++i) {
        const auto field = SettlementField(i);
        Row &row = rows_[i];
        row.panel = new QWidget(this);
        row.panel->setObjectName(QStringLiteral("Pnl") + rowNumber(i));
        auto *line = new QHBoxLayout(row.panel);
        // A hairline between neighbouring tenders keeps them apart.
        line->setContentsMargins(0, 1, 0, 1);
        line->setSpacing(0);
        row.caption = new QLabel(Settlement::caption(field, simplifiedChinese), row.panel);
        row.caption->setObjectName(QStringLiteral("LAB") + rowNumber(i));
        line->addWidget(row.caption);
        const QString valueName = QStringLiteral("LABZ") + rowNumber(i);
        if (isTender(field)) {
            row.memo = new QLineEdit(row.panel);
            row.memo->setObjectName(valueName);
            row.memo->setFrame(false);
            row.memo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            row.memo->setContextMenuPolicy(Qt::PreventContextMenu);
            // Nothing reaches a tender but typed keys: no drops, no input method.
            row.memo->setAcceptDrops(false);
            row.memo->setAttribute(Qt::WA_InputMethodEnabled, false);
            row.memo->installEventFilter(this);
            connect(row.memo, &QLineEdit::textEdited, this, [this, field](const QString &text) {
                logic_.edit(field, text);
                showTexts();
            });
            line->addWidget(row.memo, 1);
        } else {
            row.amount = new QLabel(row.panel);
            row.amount->setObjectName(valueName);
            row.amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            line->addWidget(row.amount, 1);
            line->addSpacing(AmountInset);
        }
        if (field == SettlementField::Change)
            column->addSpacing(ChangeGap);
        column->addWidget(row.panel);
    }

    bottom_ = new QWidget(this);
    bottom_->setObjectName(QStringLiteral("Pnl_bom"));
    auto *bottomLine = new QHBoxLayout(bottom_);
    bottomLine->setContentsMargins(NoticeMargin, NoticeMargin, NoticeMargin, NoticeMargin);
    notice_ = new QLabel(pointsExchangeNotice(), bottom_);
    notice_->setObjectName(QStringLiteral("Label1"));
    notice_->setWordWrap(true);
    QFont small;
    small.setPointSize(NoticePointSize);
    notice_->setFont(small);
    notice_->hide();
    bottomLine->addWidget(notice_);
    column->addWidget(bottom_);

    measure_ = new QLabel(QStringLiteral("999999999999"), this);
    measure_->setObjectName(QStringLiteral("mb"));
    measure_->setContentsMargins(6, 3, 6, 3);
    measure_->hide();

    applyFont();
}

QString SettlementDialog::pointsExchangeNotice()
{
    return QStringLiteral("本单[积分换购]，结算项清零，不设找零,[回车]确认，[ESC]取消");
}

void SettlementDialog::prepareSettlement(const SettlementRequest &request)
{
    const Settlement::Relayout relayout = logic_.prepare(request);
    if (relayout.colours)
        applyColours();
    if (relayout.rows) {
        for (int i = 0; i < SettlementFieldCount; ++i)
            rows_[i].panel->setVisible(logic_.isShown(SettlementField(i)));
        fitRows();
    }
    showTexts();
    for (const Row &row : rows_) {
        if (!row.memo)
            continue;
        row.memo->setReadOnly(!logic_.editable());
        paintMemo(row.memo, false);
    }
    QLineEdit *cash = memo(SettlementField::Cash);
    cash->setFocus(Qt::OtherFocusReason);
    paintMemo(cash, true);
    cash->selectAll();
    notice_->setVisible(!logic_.editable());
    setResult(0);
}

QString SettlementDialog::fieldText(SettlementField field) const
{
    const Row &row = rows_[index(field)];
    return row.memo ? row.memo->text() : row.amount->text();
}

std::optional<SettlementField> SettlementDialog::tenderOf(const QObject *object) const
{
    for (int i = 0; i < SettlementFieldCount; ++i)
        if (rows_[i].memo && rows_[i].memo == object)
            return SettlementField(i);
    return std::nullopt;
}

SettlementField SettlementDialog::focusedTender() const
{
    return tenderOf(focusWidget()).value_or(SettlementField::Cash);
}

bool SettlementDialog::eventFilter(QObject *watched, QEvent *event)
{
    const std::optional<SettlementField> tender = tenderOf(watched);
    if (!tender)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        return handleDialogKey(key) || filterTyping(*tender, key);
    }
    case QEvent::FocusIn:
        entered_ = *tender;
        enterMemo(*tender, static_cast<QFocusEvent *>(event)->reason());
        break;
    case QEvent::FocusOut: {
        // Switching to another window is not leaving the memo, and a memo whose focus was
        // taken back before it arrived was never entered.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && entered_ == *tender)
            leaveMemo(*tender);
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // The middle button would paste the selection. A click that could not take the
        // focus from another memo does not place the cursor either.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton || focusWidget() != watched)
            return true;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void SettlementDialog::keyPressEvent(QKeyEvent *event)
{
    if (!handleDialogKey(event))
        QDialog::keyPressEvent(event);
}

bool SettlementDialog::handleDialogKey(QKeyEvent *event)
{
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    int step = 1;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Backtab:
        step = -1;
        [[fallthrough]];
    case Qt::Key_Down:
    case Qt::Key_Tab:
        if (const auto next = logic_.nextTender(focusedTender(), step))
            focusTender(*next);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (logic_.accept(focusedTender()))
            accept();
        return true;
    case Qt::Key_Asterisk:
        if (!keypad)
            return false;
        payRest(focusedTender());
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (!keypad || !ctrl)
            return false;
        resizeFont(event->key() == Qt::Key_Plus);
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        return false;
    }
}

bool SettlementDialog::filterTyping(SettlementField tender, QKeyEvent *event)
{
    // A paste would bring in what the key rules keep out.
    if (event->matches(QKeySequence::Paste))
        return true;
    if (event->text().isEmpty() || event->key() == Qt::Key_Delete)
        return false;
    QLineEdit *m = memo(tender);
    switch (logic_.keyVerdict(event->text().front(), m->text(), m->selectedText().size())) {
    case Settlement::KeyVerdict::Accept:
        return false;
    case Settlement::KeyVerdict::Swallow:
        return true;
    case Settlement::KeyVerdict::Empty:
        logic_.edit(tender, QString());
        showTexts();
        return true;
    }
    return true;
}

void SettlementDialog::focusTender(SettlementField tender)
{
    memo(tender)->setFocus(Qt::OtherFocusReason);
}

void SettlementDialog::payRest(SettlementField tender)
{
    const bool paid = logic_.payRest(tender);
    showTexts();
    memo(tender)->selectAll();
    if (paid)
        accept();
}

void SettlementDialog::resizeFont(bool larger)
{
    if (larger)
        logic_.enlargeFont(size(), screen()->size());
    else
        logic_.shrinkFont(size());
    applyFont();
    fitRows();
    // A settings file that cannot be written keeps its old size; the dialog does not care.
    TerminalSettings(settingsPath_).setSettlementFontSize(logic_.fontSize());
}

void SettlementDialog::enterMemo(SettlementField tender, Qt::FocusReason reason)
{
    QLineEdit *m = memo(tender);
    paintMemo(m, true);
    m->selectAll();
    // A click places the cursor after the focus arrives; select once it has.
    if (reason == Qt::MouseFocusReason)
        QTimer::singleShot(0, m, &QLineEdit::selectAll);
}

void SettlementDialog::leaveMemo(SettlementField tender)
{
    QLineEdit *m = memo(tender);
    if (!logic_.mayLeave(tender)) {
        // A click or a caller moved the focus: take it back before the other memo is
        // entered.
        m->setFocus(Qt::OtherFocusReason);
        return;
    }
    entered_.reset();
    logic_.leave(tender);
    showTexts();
    paintMemo(m, false);
}

void SettlementDialog::paintMemo(QLineEdit *m, bool active)
{
    const Scheme &scheme = schemeFor(logic_.dark());
    QPalette pal = m->palette();
    pal.setColor(QPalette::Base, active ? QColor(Qt::white) : scheme.resting);
    pal.setColor(QPalette::Text, active ? QColor(Qt::black) : scheme.text);
    m->setPalette(pal);
}

void SettlementDialog::showTexts()
{
    for (int i = 0; i < SettlementFieldCount; ++i) {
        const QString &text = logic_.text(SettlementField(i));
        const Row &row = rows_[i];
        if (!row.memo)
            row.amount->setText(text);
        else if (row.memo->text() != text)
            row.memo->setText(text);
    }
}

void SettlementDialog::applyColours()
{
    const Scheme &scheme = schemeFor(logic_.dark());
    setWindowFlag(Qt::FramelessWindowHint, logic_.dark());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, scheme.background);
    pal.setColor(QPalette::WindowText, scheme.text);
    setPalette(pal);
    setAutoFillBackground(true);

    QPalette topPal = top_->palette();
    topPal.setColor(QPalette::Window, scheme.resting);
    top_->setPalette(topPal);

    QPalette noticePal = notice_->palette();
    noticePal.setColor(QPalette::WindowText, scheme.notice);
    notice_->setPalette(noticePal);
}

void SettlementDialog::applyFont()
{
    QFont f = font();
    f.setPointSize(logic_.fontSize());
    setFont(f);
    // Under a style sheet (the skin of the sales screen that owns the dialog) a font set on
    // the dialog no longer reaches the controls inside, so each row is given it directly.
    // The figures are drawn bold, and mb measures them that way.
    QFont bold = f;
    bold.setBold(true);
    for (const Row &row : rows_) {
        row.caption->setFont(f);
        if (row.memo)
            row.memo->setFont(bold);
        else
            row.amount->setFont(bold);
    }
    measure_->setFont(bold);
}

void SettlementDialog::fitRows()
{
    const QSize cell = measure_->sizeHint();
    int captionWidth = 0;
    for (const Row &row : rows_)
        captionWidth = std::max(captionWidth, row.caption->sizeHint().width());
    int shownRows = 0;
    for (int i = 0; i < SettlementFieldCount; ++i) {
        Row &row = rows_[i];
        row.panel->setFixedHeight(cell.height());
        row.caption->setFixedWidth(captionWidth);
        if (logic_.isShown(SettlementField(i)))
            ++shownRows;
    }
    const int width = cell.width() + captionWidth;
    bottom_->setFixedHeight(notice_->heightForWidth(width - 2 * NoticeMargin) + 2 * NoticeMargin);
    setFixedSize(width, top_->height() + bottom_->height() + shownRows * cell.height() + ChangeGap);
}

} // namespace vorel
