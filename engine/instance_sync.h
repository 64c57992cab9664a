#pragma once
// Numbering of the copies that run on one machine, and the master's orders to its slaves.
// At start-up a copy announces itself; every other copy replies with its own number; after
// 100 ms the copy takes the lowest number no reply named (0 to 7, seen as No 1 to No 8); a
// ninth copy offers to exit. Everything here runs on the user-interface thread; messages
// arrive through OnSyncMessage in the order they were posted.

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>

namespace vantor {

class Engine;

inline constexpr int32_t kMaxCopies = 8;
inline constexpr int kChooseNumberDelay_ms = 100;

// "Kelo Vantor for NDI® - No %d" with the number plus one.
QString WindowTitle(int32_t instance_number);

class InstanceSync : public QObject {
    Q_OBJECT

public:
    // post: sends a message to every copy, this one included; thread-safe, never waits.
    InstanceSync(Engine& engine, std::function<void(uint32_t code, intptr_t payload)> post, uint32_t own_pid,
                 QObject* parent = nullptr);

    // Clears the number and the table, posts the announcement and starts the 100 ms wait.
    void Announce();
    // When the wait ends: takes the lowest free number, names the source and applies the
    // output format; or, as a ninth copy, asks to exit.
    void ChooseNumber();
    // One message from any copy.
    void OnSyncMessage(uintptr_t code, intptr_t payload);
    // Another copy took this number first (two copies launched within the same 100 ms can both
    // take it): this copy takes a new one. A number this copy no longer holds changes nothing.
    void NumberHeldElsewhere(int32_t instance_number);

    // The two check boxes: at most one of them checked, both may be clear.
    void MasterClicked(bool checked);
    void SlaveClicked(bool checked);

    bool master() const { return master_; }
    bool slave() const { return slave_; }
    bool number_pending() const { return number_pending_; }
    int32_t instance_number() const;
    bool renumbering() const { return renumbering_; }

signals:
    // The copy has taken a number (again, after a clash), just before its source is named by
    // it: the output format is applied next.
    void numberTaken(int32_t number);
    void titleChanged(const QString& title);
    void masterBoxChanged(bool checked);
    void slaveBoxChanged(bool checked);
    // A ninth copy: the exit confirmation should be shown.
    void exitRequested();
    // Another copy took this copy's number first; this copy has taken a new one.
    void duplicateNumberResolved(int32_t old_number, int32_t new_number);

private:
    void BeginNumbering();
    int32_t FindCandidate() const;
    void ApplyNumber(int32_t number);

    Engine& engine_;
    std::function<void(uint32_t, intptr_t)> post_;
    const uint32_t own_pid_;
    std::array<bool, 32> taken_{};  // entry n: a reply said number n is taken
    bool number_pending_ = false;
    bool renumbering_ = false;      // the number is being chosen again after a clash
    bool master_ = false;
    bool slave_ = true;
    QTimer choose_timer_;
};

}  // namespace vantor
