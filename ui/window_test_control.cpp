#include "ui/window_test_control.h"

#include "imagery/picture_decode_aside.h"
#include "platform/stdin_commands.h"
#include "preview/col_button.h"
#include "ui/main_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace vantor {
namespace {

constexpr int kPickTries = 100;
constexpr int kPickRetry_ms = 50;

void Say(const QString& line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

}  // namespace

WindowTestControl::WindowTestControl(CNDIVantorDlg& window) : QObject(&window), window_(window)
{
    // Queued: a command that opens a modal box returns only when the box closes, and the box
    // is answered by a later command.
    connect(new StdinCommands(this), &StdinCommands::command, this, &WindowTestControl::Run, Qt::QueuedConnection);
    connect(&window_, &QWidget::windowTitleChanged, this, &Say);
    connect(&window_.engine(), &Engine::sendingChanged, this,
            [](bool running) { Say(running ? QStringLiteral("Sending") : QStringLiteral("Stopped")); });
}

// The control of that id in the modal dialog that is open, else in the main window.
QWidget* WindowTestControl::Find(int id) const
{
    const QString name = QStringLiteral("id%1").arg(id);
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != &window_)
        if (auto* control = modal->findChild<QWidget*>(name))
            return control;
    return window_.controls().Find(id);
}

void WindowTestControl::Run(const QList<QByteArray>& words)
{
    const QByteArray verb = words.value(0);
    QWidget* control = Find(words.value(1).toInt());
    if (verb == "click" && control) {
        Click(control);
    } else if (verb == "menu" && control) {
        if (auto* button = qobject_cast<QToolButton*>(control); button && button->menu())
            for (QAction* action : button->menu()->actions())
                if (action->data().toInt() == words.value(2).toInt())
                    action->trigger();
    } else if (verb == "type" && control) {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->selectAll();
            edit->insert(QString::fromUtf8(words.value(2)));
        }
    } else if (verb == "focus" && control) {
        control->setFocus();
    } else if (verb == "key") {
        Key(words.value(1));
    } else if (verb == "answer") {
        Answer(words.value(1));
    } else if (verb == "pick") {
        Pick(QString::fromLocal8Bit(words.value(1)), kPickTries);
    } else if (verb == "state") {
        PrintState();
    }
}

// The file dialog may still be on its way when the command comes: tried again a little later.
void WindowTestControl::Pick(const QString& path, int tries)
{
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
        if (tries > 0)
            QTimer::singleShot(kPickRetry_ms, this, [this, path, tries] { Pick(path, tries - 1); });
        return;
    }
    if (QWidget* typing = dialog->focusWidget())
        typing->clearFocus();  // the dialog leaves a file name field with the focus alone
    dialog->selectFile(path);
    const uint64_t begun = AsideWaitsNow().begun;
    connect(dialog, &QDialog::finished, this, [this, begun] { SayPickedOnceIn(begun, kPickTries); },
            Qt::SingleShotConnection);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}

// The picked file is decoded aside after the dialog has closed: "picked" once it is in, so
// that the commands that follow act on the window as an operator's would, after the load.
void WindowTestControl::SayPickedOnceIn(uint64_t waits_begun_before, int tries)
{
    const AsideWaits waits = AsideWaitsNow();
    if ((waits.begun == waits_begun_before || waits.open > 0) && tries > 0) {
        QTimer::singleShot(kPickRetry_ms, this,
                           [this, waits_begun_before, tries] { SayPickedOnceIn(waits_begun_before, tries - 1); });
        return;
    }
    Say(QStringLiteral("picked"));
}

void WindowTestControl::Click(QWidget* control)
{
    const QPointF middle = QRectF(control->rect()).center();
    const QPointF global = control->mapToGlobal(middle);
    QMouseEvent press(QEvent::MouseButtonPress, middle, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(control, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, middle, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(control, &release);
}

void WindowTestControl::Key(const QByteArray& name)
{
    const int key = name == "Escape" ? Qt::Key_Escape : name == "Return" ? Qt::Key_Return : name == "F1" ? Qt::Key_F1 : 0;
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window_;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void WindowTestControl::Answer(const QByteArray& button)
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
        return Say(QStringLiteral("answered nothing"));
    Say(QStringLiteral("answered ") + box->text().replace(u'\n', u' '));
    if (QAbstractButton* pressed = box->button(button == "ok" ? QMessageBox::Ok : QMessageBox::Cancel))
        pressed->click();
}

void WindowTestControl::PrintState()
{
    const DialogControls& c = window_.controls();
    auto enabled = [&c](int id) { return QString::number(c.Find(id)->isEnabled()); };
    auto checked = [&c](int id) { return QString::number(c.Get<QAbstractButton>(id)->isChecked()); };
    auto text = [&c](int id) { return c.Get<QLabel>(id)->text(); };
    Say(QStringLiteral("state start=%1;stop=%2;resolution=%3;master=%4;slave=%5;logo=%6;go=%7;info=%8;mode=%9")
            .arg(enabled(1000), enabled(1001), enabled(1002), checked(1019), checked(1020))
            .arg(c.Get<CColButton>(1021)->colour_index)
            .arg(c.Get<CColButton>(1048)->colour_index)
            .arg(text(1015), text(1016)) +
        QStringLiteral(";pause=%1;frames=%2").arg(c.Get<QLineEdit>(1034)->text(), checked(1009)) +
        QStringLiteral(";version=") + window_.version_text());
}

}  // namespace vantor
