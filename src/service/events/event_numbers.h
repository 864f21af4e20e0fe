// The numbered events of the service, in one place: msg.ini gives each its text and actions, and
// the monitors receive the number in the notices.
#pragma once

namespace wardend {
namespace event {

constexpr int kMainsBack = 1;
constexpr int kMainsFailed = 2;
constexpr int kCountdown = 4;              // the failure lasted untilshutdown seconds
constexpr int kPowerFailureShutdown = 5;
constexpr int kScheduledStop = 6;
constexpr int kScheduledShutdown = 7;
constexpr int kStopPostponed = 8;
constexpr int kLinkLost = 40;
constexpr int kSpecialCondition = 99;      // status code 38
constexpr int kLinkBack = 107;
constexpr int kShutdownNow = 110;          // status code 13
constexpr int kAlarmCleared = 125;
constexpr int kServiceStarted = 200;
constexpr int kServiceStopping = 201;
constexpr int kLinkOpened = 205;
constexpr int kLinkOrUdpFailed = 206;
constexpr int kScheduleAnnounced = 207;
constexpr int kScheduleChanged = 208;
constexpr int kPowerOffGivenUp = 210;
constexpr int kUpshutNow = 211;            // an immediate shutdown ordered by upshut
constexpr int kSelfTestStarted = 212;
constexpr int kSelfTestPassed = 213;
constexpr int kSelfTestFailed = 214;
constexpr int kSelfTestRefused = 215;
constexpr int kSelfTestNoResult = 216;
constexpr int kShutdownRequested = 218;    // status code 90
constexpr int kPortFailed = 220;
constexpr int kSettingsFailed = 240;       // a notice only, sent at start-up
constexpr int kNoticeFailed = 250;         // a text only, logged after a failed notice

}  // namespace event
}  // namespace wardend
