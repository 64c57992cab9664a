#include "engine/instance_sync.h"

#include "engine/engine.h"
#include "engine/engine_constants.h"

namespace vantor {

QString WindowTitle(int32_t instance_number)
{
    return QStringLiteral("Kelo Vantor for NDI\u00AE - No %1").arg(instance_number + 1);
}

InstanceSync::InstanceSync(Engine& engine, std::function<void(uint32_t, intptr_t)> post, uint32_t own_pid,
                           QObject* parent)
    : QObject(parent), engine_(engine), post_(std::move(post)), own_pid_(own_pid)
{
    choose_timer_.setSingleShot(true);
    choose_timer_.setInterval(kChooseNumberDelay_ms);
    connect(&choose_timer_, &QTimer::timeout, this, &InstanceSync::ChooseNumber);
}

int32_t InstanceSync::instance_number() const { return engine_.instance_number(); }

void InstanceSync::Announce()
{
    engine_.SetInstanceNumber(0);
    BeginNumbering();
}

void InstanceSync::BeginNumbering()
{
    taken_.fill(false);
    post_(kSyncAnnounce, static_cast<intptr_t>(own_pid_));
    number_pending_ = true;
    choose_timer_.start();
}

int32_t InstanceSync::FindCandidate() const
{
    if (!taken_[0])
        return 0;
    for (int32_t n = 1; n < 19; ++n)
        if (!taken_[n])
            return n;
    return 19;
}

void InstanceSync::ChooseNumber()
{
    choose_timer_.stop();
    if (!number_pending_)
        return;
    if (!renumbering_)
        engine_.SetInstanceNumber(0);  // a renumbering copy keeps sending under its old number
    number_pending_ = false;
    const int32_t candidate = FindCandidate();
    if (candidate >= kMaxCopies) {
        renumbering_ = false;
        emit exitRequested();
        return;
    }
    ApplyNumber(candidate);
}

void InstanceSync::ApplyNumber(int32_t number)
{
    const bool was_running = engine_.running();
    const int32_t old_number = engine_.instance_number();
    engine_.SetInstanceNumber(number);
    emit numberTaken(number);
    emit titleChanged(WindowTitle(number));
    engine_.ApplyOutputFormat();
    if (!renumbering_)
        return;
    renumbering_ = false;
    if (was_running)
        engine_.StartSending();  // the clash ended a run the operator had started
    emit duplicateNumberResolved(old_number, number);
}

void InstanceSync::OnSyncMessage(uintptr_t code, intptr_t payload)
{
    switch (code) {
    case kSyncStartStop:
        if (slave_ && (payload == 0 || payload == 1))
            engine_.FollowMaster(payload == 1);
        break;
    case kSyncAnnounce:
        if (payload != static_cast<intptr_t>(own_pid_))
            post_(kSyncReply, engine_.instance_number());
        break;
    case kSyncReply:
        if (payload >= 0 && payload < intptr_t(taken_.size()))
            taken_[size_t(payload)] = true;
        break;
    default:
        break;
    }
}

// Of two copies that took one number, the one that claimed it later takes a new number, so no
// two sources keep one name; a run it had started goes on under the new one.
void InstanceSync::NumberHeldElsewhere(int32_t instance_number)
{
    if (number_pending_ || renumbering_ || instance_number != engine_.instance_number())
        return;
    renumbering_ = true;
    BeginNumbering();
}

void InstanceSync::MasterClicked(bool checked)
{
    master_ = checked;
    if (checked && slave_) {
        slave_ = false;
        emit slaveBoxChanged(false);
    }
}

void InstanceSync::SlaveClicked(bool checked)
{
    slave_ = checked;
    if (checked && master_) {
        master_ = false;
        emit masterBoxChanged(false);
    }
}

}  // namespace vantor
