#include "app/ui/scenariorunner.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTextEdit>
#include <QTextStream>
#include <array>
#include <cstdio>
#include <optional>

#include "app/ui/scenariohost.h"
#include "core/error.h"

namespace vorel {

namespace {

// Loop passes between two steps: a dialog opened by one step is shown, activated and
// focused before the next step looks for it.
constexpr int SettleTicks = 3;

// Dumps are one line per item.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\n"));
    return text;
}

// The character a key types on its own: letters in lower case, digits and signs as they
// are; Enter, Tab, Backspace and Escape their control characters; the other keys (arrows,
// function keys, Insert, Delete, ...) nothing.
QString textOfKey(Qt::Key key)
{
    switch (key) {
    case Qt::Key_Backspace:
        return QStringLiteral("\x08");
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Escape:
        return QStringLiteral("\x1b");
    default:
        break;
    }
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return QString(QChar(key).toLower());
    return {};
}

// The modifier keys of a chord, in the order they go down.
struct ModifierKey {
    Qt::KeyboardModifier modifier;
    Qt::Key key;
};
constexpr std::array<ModifierKey, 3> ModifierKeys{{
    {Qt::ShiftModifier, Qt::Key_Shift},
    {Qt::ControlModifier, Qt::Key_Control},
    {Qt::AltModifier, Qt::Key_Alt},
}};

void sendKey(QWidget *target, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    // QApplication offers a key press that did not come from the window system to the
    // shortcuts first, as it does a typed one.
    QKeyEvent event(type, key, modifiers, text);
    QCoreApplication::sendEvent(target, &event);
}

// A key pressed and let go as on a keyboard: the chord's modifier keys go down first, each
// reporting those already held, and come up after the key in the reverse order. Nothing
// more is sent to a control the key press has closed.
void clickKey(QWidget *target, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    const QPointer<QWidget> alive(target);
    Qt::KeyboardModifiers held;
    for (const ModifierKey &m : ModifierKeys) {
        if (modifiers.testFlag(m.modifier) && !alive.isNull()) {
            sendKey(target, QEvent::KeyPress, m.key, held);
            held |= m.modifier;
        }
    }
    if (alive.isNull())
        return;
    sendKey(target, QEvent::KeyPress, key, modifiers, text);
    if (alive.isNull())
        return;
    sendKey(target, QEvent::KeyRelease, key, modifiers, text);
    for (auto m = ModifierKeys.rbegin(); m != ModifierKeys.rend(); ++m) {
        if (modifiers.testFlag(m->modifier) && !alive.isNull()) {
            sendKey(target, QEvent::KeyRelease, m->key, held);
            held &= ~m->modifier;
        }
    }
}

QWidget *keyTarget()
{
    if (QWidget *w = QApplication::focusWidget())
        return w;
    if (QWidget *w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

// As tabbing into a field does: typing then replaces its text.
void selectAllIn(QWidget *control)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->selectAll();
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(control))
        spin->selectAll();
    else if (auto *combo = qobject_cast<QComboBox *>(control); combo != nullptr && combo->lineEdit() != nullptr)
        combo->lineEdit()->selectAll();
    else if (auto *text = qobject_cast<QTextEdit *>(control))
        text->selectAll();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(control))
        plain->selectAll();
}

std::optional<QString> fieldValue(QWidget *w)
{
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *check = qobject_cast<QCheckBox *>(w))
        return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    return std::nullopt;
}

QMessageBox::StandardButton buttonFor(ScenarioStep::Answer answer)
{
    switch (answer) {
    case ScenarioStep::Answer::Yes:
        return QMessageBox::Yes;
    case ScenarioStep::Answer::No:
        return QMessageBox::No;
    case ScenarioStep::Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

// A box with OK alone; QMessageBox adds that OK itself when it is shown without buttons.
bool onlyOk(const QMessageBox *box)
{
    return box->buttons().size() <= 1;
}

bool offers(const QMessageBox *box, QMessageBox::StandardButton button)
{
    return button == QMessageBox::Ok ? onlyOk(box) : box->button(button) != nullptr;
}

QString answerWord(ScenarioStep::Answer answer)
{
    switch (answer) {
    case ScenarioStep::Answer::Yes:
        return QStringLiteral("yes");
    case ScenarioStep::Answer::No:
        return QStringLiteral("no");
    case ScenarioStep::Answer::Ok:
        break;
    }
    return QStringLiteral("ok");
}

// Ends the application. Dialogs still open are hidden first, while they are whole: one that
// is destroyed while visible loses the focus in its destructor, and a handler of that (an
// edit's editingFinished, say) would then run on a half-destroyed dialog.
void endApplication(int code)
{
    for (int i = 0; i < 32; ++i) {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            break;
        modal->hide();
    }
    QCoreApplication::exit(code);
}

} // namespace

ScenarioRunner::ScenarioRunner(const ScenarioScript &script, QTextStream &out, QObject *parent, Ending ending)
    : QObject(parent), script_(script), out_(out), ending_(ending)
{
    answerTimeout_.setSingleShot(true);
    answerTimeout_.setInterval(DefaultAnswerTimeout);
    connect(&answerTimeout_, &QTimer::timeout, this, [this] {
        awaitingBox_ = false;
        const int line = next_ < script_.steps().size() ? script_.steps().at(next_).line : currentLine_;
        fail(line, QStringLiteral("no message box appeared within %1 s").arg(answerTimeout_.interval() / 1000.0));
    });
}

ScenarioRunner::~ScenarioRunner()
{
    if (started_ && !finished_)
        QCoreApplication::instance()->removeEventFilter(this);
}

void ScenarioRunner::setAnswerTimeout(std::chrono::milliseconds timeout)
{
    answerTimeout_.setInterval(timeout);
}

void ScenarioRunner::start()
{
    if (started_)
        return;
    started_ = true;
    QCoreApplication::instance()->installEventFilter(this);
    schedule(0);
}

QWidget *ScenarioRunner::windowInFront() const
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (host_ != nullptr && host_->screen() != nullptr && host_->screen()->isVisible())
        return host_->screen()->window();
    return nullptr;
}

void ScenarioRunner::schedule(int delayMs)
{
    settleTicks_ = SettleTicks;
    activationAsked_ = false;
    const quint64 generation = ++generation_;
    QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [this, generation] { tick(generation); });
}

void ScenarioRunner::tick(quint64 generation)
{
    if (finished_ || generation != generation_)
        return;
    // A box about to be answered closes first, and the code that showed it goes on.
    if (pendingPresses_ > 0)
        settleTicks_ = SettleTicks;
    // Offscreen there is no window manager to give the activation back when a dialog or a
    // box closes; the window in front gets it, as on the till's desktop.
    if (settleTicks_ == 0 && !activationAsked_ && QApplication::activeWindow() == nullptr) {
        activationAsked_ = true;
        if (QWidget *front = windowInFront()) {
            front->activateWindow();
            settleTicks_ = SettleTicks;
        }
    }
    if (settleTicks_ > 0) {
        --settleTicks_;
        QTimer::singleShot(0, this, [this, generation] { tick(generation); });
        return;
    }
    runStep();
}

void ScenarioRunner::runStep()
{
    if (!script_.isValid()) {
        finish(1, script_.error());
        return;
    }
    if (next_ >= script_.steps().size()) {
        finish(0, QString());
        return;
    }
    const ScenarioStep step = script_.steps().at(next_);
    if (step.kind == ScenarioStep::Kind::Answer) {
        // Taken by the box when it shows (boxShown), which goes on with the script.
        awaitingBox_ = true;
        answerTimeout_.start();
        return;
    }
    ++next_;
    currentLine_ = step.line;
    // Before running it: a step that opens a dialog returns only when the dialog closes.
    schedule(step.kind == ScenarioStep::Kind::Sleep ? qRound(step.seconds * 1000) : 0);
    const QString problem = execute(step);
    if (!problem.isEmpty())
        fail(step.line, problem);
}

QString ScenarioRunner::execute(const ScenarioStep &step)
{
    switch (step.kind) {
    case ScenarioStep::Kind::Focus:
        return focus(step.text);
    case ScenarioStep::Kind::Type:
        return typeText(step.text);
    case ScenarioStep::Kind::Key:
        return pressKey(step.chord);
    case ScenarioStep::Kind::Wait:
        if (host_ == nullptr)
            return QStringLiteral("wait needs the main window");
        host_->advanceTime(int(step.seconds));
        return {};
    case ScenarioStep::Kind::Dump:
        dump();
        return {};
    case ScenarioStep::Kind::Shot:
        return shot(step.text);
    case ScenarioStep::Kind::Throw:
        // Leaves the timer event the step runs in, for the application's error handler.
        throw VorelError(step.text);
    case ScenarioStep::Kind::Sleep: // the next step is simply scheduled later
    case ScenarioStep::Kind::Answer:
        break;
    }
    return {};
}

QString ScenarioRunner::shot(const QString &file)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return QStringLiteral("no screen to take a picture of");
    const QPixmap picture = screen->grabWindow(0);
    if (picture.isNull() || !picture.save(file, "PNG"))
        return QStringLiteral("could not write the picture %1").arg(file);
    return {};
}

QString ScenarioRunner::focus(const QString &name)
{
    QWidget *within = QApplication::activeModalWidget();
    if (within == nullptr && host_ != nullptr)
        within = host_->screen();
    if (within == nullptr)
        return QStringLiteral("no dialog is open and there is no sales screen yet");
    QWidget *control = nullptr;
    for (QWidget *w : within->findChildren<QWidget *>(name)) {
        if (w->window() == within->window()) {
            control = w;
            break;
        }
    }
    if (control == nullptr)
        return QStringLiteral("no control named %1").arg(name);
    if (!control->isVisible())
        return QStringLiteral("control %1 is not visible").arg(name);
    if (!control->isEnabled())
        return QStringLiteral("control %1 is disabled").arg(name);
    if (!control->window()->isActiveWindow())
        control->window()->activateWindow();
    control->setFocus(Qt::TabFocusReason);
    selectAllIn(control);
    return {};
}

QString ScenarioRunner::typeText(const QString &text)
{
    // One key per character, to whatever has the focus at that moment (a field may pass the
    // focus on), so that characters outside Latin-1 arrive as well.
    for (const char32_t c : text.toUcs4()) {
        QWidget *target = keyTarget();
        if (target == nullptr)
            return QStringLiteral("no control has the keyboard focus");
        // Qt numbers a character's key by its upper-case form, as for letters.
        const auto key = Qt::Key(QChar::toUpper(c));
        clickKey(target, key, Qt::NoModifier, QString::fromUcs4(&c, 1));
        if (finished_)
            break;
    }
    return {};
}

QString ScenarioRunner::pressKey(const KeyChord &chord)
{
    QWidget *target = keyTarget();
    if (target == nullptr)
        return QStringLiteral("no window to press the key in");
    clickKey(target, chord.key, chord.modifiers, textOfKey(chord.key));
    return {};
}

void ScenarioRunner::dump()
{
    if (host_ != nullptr) {
        for (const auto &[name, text] : host_->screenLabels())
            out_ << "label " << name << '=' << oneLine(text) << '\n';
        int n = 0;
        for (const auto &row : host_->gridRows()) {
            out_ << "row " << ++n;
            for (const auto &[field, value] : row)
                out_ << ' ' << field << '=' << oneLine(value);
            out_ << '\n';
        }
    }
    QWidget *modal = QApplication::activeModalWidget();
    if (modal != nullptr && qobject_cast<QMessageBox *>(modal) == nullptr)
        dumpDialog(modal);
    for (const QString &text : std::as_const(messages_))
        out_ << "message " << oneLine(text) << '\n';
    messages_.clear();
    if (host_ != nullptr)
        out_ << "state " << (host_->offline() ? "offline" : "online") << '\n';
    out_ << "end\n";
    out_.flush();
}

void ScenarioRunner::dumpDialog(QWidget *dialog)
{
    out_ << "dialog " << dialog->objectName() << ' ' << oneLine(dialog->windowTitle()) << '\n';
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        const QString name = w->objectName();
        // Qt's own inner widgets (a spin box's edit and the like) are named qt_...
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || w->window() != dialog || !w->isVisible())
            continue;
        if (const std::optional<QString> value = fieldValue(w))
            out_ << "field " << name << '=' << oneLine(*value) << '\n';
    }
}

bool ScenarioRunner::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && !event->spontaneous() && !finished_) {
        if (auto *box = qobject_cast<QMessageBox *>(watched)) {
            inBoxShow_ = true;
            boxShown(box);
            inBoxShow_ = false;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ScenarioRunner::boxShown(QMessageBox *box)
{
    messages_.append(box->text());
    const QList<ScenarioStep> &steps = script_.steps();
    if (next_ < steps.size() && steps.at(next_).kind == ScenarioStep::Kind::Answer) {
        const ScenarioStep step = steps.at(next_);
        ++next_;
        currentLine_ = step.line;
        const bool resume = awaitingBox_;
        awaitingBox_ = false;
        answerTimeout_.stop();
        const QMessageBox::StandardButton wanted = buttonFor(step.answer);
        if (!offers(box, wanted)) {
            fail(step.line, QStringLiteral("answer %1, but the box \"%2\" has no such button")
                                .arg(answerWord(step.answer), oneLine(box->text())));
            return;
        }
        press(box, wanted);
        if (resume)
            schedule(0);
        return;
    }
    if (onlyOk(box)) {
        press(box, QMessageBox::Ok);
        return;
    }
    fail(currentLine_, QStringLiteral("no answer waiting for the box \"%1\"").arg(oneLine(box->text())));
}

void ScenarioRunner::press(QMessageBox *box, int standardButton)
{
    // Clicked from the box's own loop, once it is up.
    ++pendingPresses_;
    QTimer::singleShot(0, this, [this, guard = QPointer<QMessageBox>(box), standardButton] {
        --pendingPresses_;
        if (guard.isNull())
            return;
        QAbstractButton *button = guard->button(QMessageBox::StandardButton(standardButton));
        if (button == nullptr && !guard->buttons().isEmpty())
            button = guard->buttons().constFirst();
        if (button != nullptr)
            button->click();
    });
}

void ScenarioRunner::fail(int line, const QString &message)
{
    finish(1, script_.at(line, message));
}

void ScenarioRunner::finish(int code, const QString &error)
{
    if (finished_)
        return;
    finished_ = true;
    exitCode_ = code;
    failure_ = error;
    ++generation_;
    awaitingBox_ = false;
    answerTimeout_.stop();
    QCoreApplication::instance()->removeEventFilter(this);
    out_.flush();
    const Ending ending = ending_; // a receiver of finished() may delete the runner
    if (ending == Ending::ExitApplication && !error.isEmpty()) {
        std::fputs(qUtf8Printable(error + QLatin1Char('\n')), stderr);
        std::fflush(stderr);
    }
    // A box failing as it shows is still on its way up; it is ended from its own loop.
    const bool fromBoxShow = inBoxShow_;
    emit finished(code, error);
    if (ending != Ending::ExitApplication)
        return;
    if (fromBoxShow)
        QTimer::singleShot(0, QCoreApplication::instance(), [code] { endApplication(code); });
    else
        endApplication(code);
}

} // namespace vorel
