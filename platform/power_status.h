// What the Windows power reports mean, decided apart from the calls that
// fetch them, so that they are tested on every platform: the power-status
// call's line and battery flags, and the power-source notification's data.
// Decided on whether mains power is online, never on the battery's charge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace power {

// The power-status call's AC line status (0 offline, 1 online, 255 unknown)
// and battery flags (bit 128: no system battery, 255: unknown). On battery
// only when the line is offline and a battery may be there: an unknown line
// is mains, and so is "offline" on a machine that says it has no battery.
bool OnBatteryFromStatus(uint8_t acLineStatus, uint8_t batteryFlag);

// The power-source notification's data: a 32-bit value, 0 for mains (AC),
// 1 for the battery (DC), 2 for a short-term source such as a UPS. Anything
// but mains is battery. Data shorter than the value says nothing (none).
std::optional<bool> OnBatteryFromSourceData(const void* data, std::size_t length);

}  // namespace power
