#pragma once
// A session bus that takes connections but never answers (its daemon stopped) would hold the
// copy at start for good: every bus connection, Qt's included, waits on it without a limit. So
// the bus is asked once at start, with a time limit, before anything connects to it.

namespace vantor {

// The session bus's first answer is awaited this long at start.
inline constexpr int kBusAnswerLimitMs = 2000;

// Whether the session bus (DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus) takes a
// connection and answers its first words within `limit_ms`. True too when there is no bus to
// ask or its address is of a kind not asked here: those fail, or work, without waiting.
bool SessionBusAnswers(int limit_ms);

// When the session bus does not answer in time, points this process at no bus at all, so that
// the copy runs as one without a bus does; true when it did. Called before anything uses the bus.
bool LeaveSilentSessionBus(int limit_ms = kBusAnswerLimitMs);

}  // namespace vantor
