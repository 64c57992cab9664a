#pragma once
// A control for tests only (NDIVANTOR_TEST_CONTROL=1): lines on standard input drive the main
// window of a copy that runs as a real process, through its real widgets, and the copy prints
// what a test watches, in the same lines as the headless copy. Operators see nothing of it.
// A control is looked up in the modal dialog that is open, else in the main window.
//   click <id>              a left click in the middle of the control
//   menu <button> <item>    a choice from a menu button's drop-down menu
//   type <id> <text>        the text typed into an edit in place of what it holds
//   focus <id>              the keyboard focus to a control
//   key <Escape|Return|F1>  a key press where the focus is
//   answer <ok|cancel>      a button of the message box that is open; prints "answered" and its text
//   pick <path>             the file to take in the file dialog that is open (or opens soon);
//                           prints "picked" when the dialog has closed and the file is loaded
//   state                   prints "state", the controls' state and the version as key=value pairs
// It prints the window title when it changes, "Sending" and "Stopped".

#include <QByteArray>
#include <QList>
#include <QObject>

#include <cstdint>

namespace vantor {

class CNDIVantorDlg;

class WindowTestControl : public QObject {
    Q_OBJECT

public:
    explicit WindowTestControl(CNDIVantorDlg& window);

private:
    QWidget* Find(int id) const;
    void Run(const QList<QByteArray>& words);
    void Click(QWidget* control);
    void Pick(const QString& path, int tries);
    void SayPickedOnceIn(uint64_t waits_begun_before, int tries);
    void Key(const QByteArray& name);
    void Answer(const QByteArray& button);
    void PrintState();

    CNDIVantorDlg& window_;
};

}  // namespace vantor
