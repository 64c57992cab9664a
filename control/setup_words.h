#pragma once
// The words of a setup, the same on the command line, in a setup file and in the control API:
// corners, sizes, rates, play modes, pauses, offsets and flags, each read and written in one
// place. A reader gives nothing for a word it does not take; `accepted` says what it takes, for
// the operator's error line.

#include "control/control_settings.h"
#include "control/setup.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace vantor::words {

std::optional<int32_t> ReadCorner(QStringView word);   // corner code
QString CornerWord(int32_t corner_code);               // "upper-right"
QString CornersAccepted();

std::optional<int> ReadSize(QStringView word);          // "1920x1080": resolution menu id
QString SizeWord(int menu_id);
QString SizesAccepted();

// "25", "29.97", "30", "50", "60", each also with its "p": frame-rate menu id.
std::optional<int> ReadRate(QStringView word);
QString RateWord(int menu_id);                          // "29.97"
QString RateCaption(int menu_id);                       // "29.97p", as the menu shows it
QString RatesAccepted();

std::optional<int32_t> ReadMode(QStringView word);      // forward, reverse, oscillate1, oscillate2
QString ModeWord(int32_t mode);
QString ModesAccepted();

// "5s" or "12f": a number 0 to 99 and its unit.
std::optional<PauseSetting> ReadPause(QStringView word);
QString PauseWord(const PauseSetting& pause);
QString PauseAccepted();

// The unit alone, as the control API names it: "seconds" or "frames".
std::optional<int32_t> ReadPauseUnit(QStringView word);
QString PauseUnitWord(int32_t unit);

// "X,Y" with X from 0 to 2100 and Y from 0 to 1100.
std::optional<OverlayOffset> ReadOffset(QStringView word);
QString OffsetWord(const OverlayOffset& offset);
QString OffsetAccepted();

// true or false (also yes, no, 1, 0).
// A numbered run's pictures a second: 0 (one per output frame) to kMaxRunRate.
inline constexpr int kMaxRunRate = 120;
std::optional<int> ReadRunRate(QStringView word);
QString RunRateWord(int rate);
QString RunRatesAccepted();

// Seconds from 0 to 10, with or without their s: "0.5", "2s". In milliseconds.
std::optional<int32_t> ReadFade(QStringView word);
QString FadeWord(int32_t fade_ms);                      // "0.5s"
QString FadeAccepted();

// A percentage from 0 to 100, with or without its %.
std::optional<int32_t> ReadOpacity(QStringView word);
QString OpacityWord(int32_t percent);
QString OpacityAccepted();

// edge, action or graphics: where the offsets count from.
std::optional<int32_t> ReadSafeArea(QStringView word);
QString SafeAreaWord(int32_t safe_area);
QString SafeAreasAccepted();

// A percentage from 1 to 400, with or without its %, or "fit" (kScaleFit): fitted to the format.
std::optional<int32_t> ReadScale(QStringView word);
QString ScaleWord(int32_t scale);
QString ScaleAccepted();

// SHOW/EVERY[/DELAY], each a time such as 10s, 10m or 1h (seconds without a unit): "10s/10m".
// "off" is no cycle.
std::optional<CycleSetting> ReadCycle(QStringView word);
QString CycleWord(const CycleSetting& cycle);
QString CycleAccepted();

std::optional<bool> ReadFlag(QStringView word);
QString FlagWord(bool on);
QString FlagAccepted();

// "PORT", "ADDRESS:PORT" or "[IPv6 ADDRESS]:PORT"; the address is 127.0.0.1 unless given.
std::optional<ControlEndpoint> ReadEndpoint(QStringView word);
QString EndpointWord(const ControlEndpoint& endpoint);
QString EndpointAccepted();

// master, slave or none, as the control API names the role.
QString RoleWord(SyncRole role);
std::optional<SyncRole> ReadRole(QStringView word);
QString RolesAccepted();

}  // namespace vantor::words
