#pragma once
// Answers the modal windows a test's clicks open (message boxes, the file dialog) as the test
// told it to, each kind in order, and records what every message box said. A modal window nobody told it
// about is recorded as unexpected and closed, so a test never hangs on it.

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

namespace vantor::test {

class ModalAnswers : public QObject {
    Q_OBJECT

public:
    ModalAnswers();

    // The next file dialog picks this file; an empty path cancels it.
    void PickFile(const QString& path);
    // The next message box is answered with this button.
    void Press(QMessageBox::StandardButton button);

    // "caption: text" of every message box, in order; "unexpected ..." for any not asked for.
    QStringList seen;
    bool AllAnswered() const { return answers_.empty(); }

private:
    void Poll();

    std::deque<std::function<bool(QWidget*)>> answers_;  // true when it took the window
    QTimer poll_;
};

}  // namespace vantor::test
