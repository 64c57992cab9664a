#include "modal_answers.h"

#include <QApplication>
#include <QAbstractButton>
#include <QFileDialog>

namespace vantor::test {

ModalAnswers::ModalAnswers()
{
    connect(&poll_, &QTimer::timeout, this, &ModalAnswers::Poll);
    poll_.start(5);
}

void ModalAnswers::PickFile(const QString& path)
{
    answers_.push_back([path](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (!dialog)
            return false;
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
        return true;
    });
}

void ModalAnswers::Press(QMessageBox::StandardButton button)
{
    answers_.push_back([this, button](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (!box)
            return false;
        seen << box->windowTitle() + QStringLiteral(": ") + box->text();
        QAbstractButton* pressed = box->button(button);
        QTimer::singleShot(0, pressed, [pressed] { pressed->click(); });
        return true;
    });
}

void ModalAnswers::Poll()
{
    QWidget* window = QApplication::activeModalWidget();
    const bool answerable = qobject_cast<QMessageBox*>(window) || qobject_cast<QFileDialog*>(window);
    if (!answerable || !window->isVisible() || window->property("answered").toBool())
        return;
    window->setProperty("answered", true);
    for (auto answer = answers_.begin(); answer != answers_.end(); ++answer) {
        if ((*answer)(window)) {
            answers_.erase(answer);
            return;
        }
    }
    const auto* box = qobject_cast<QMessageBox*>(window);
    seen << QStringLiteral("unexpected ") + (box ? box->text() : window->windowTitle());
    QMetaObject::invokeMethod(window, "reject", Qt::QueuedConnection);
}

}  // namespace vantor::test
