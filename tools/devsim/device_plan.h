#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/frame.h"
#include "transfers.h"

namespace brevant::devsim {

// How one simulated device behaves.
struct DevicePlan {
  MacAddress mac{};
  DiscoveryTexts texts;
  // What answers after the first to one request carry; empty: the names
  // with "-again" added.
  std::optional<DiscoveryTexts> againTexts;
  std::chrono::milliseconds delay{0};  // from the request to the first answer
  int repeat = 1;                      // answers per request
  std::chrono::milliseconds repeatGap{20};
  bool answers = true;
  unsigned skipRequests = 0;            // requests ignored before the first answer
  std::uint16_t answerOpcode = OP_ACK;  // anything else makes a faulty answer
  // The lock code an anti-theft command must carry; nothing: the simulator's default.
  std::optional<std::string> lockCode;
  TransferFaults faults;

  DiscoveryTexts AgainTexts() const;
};

// How texts are laid into their fields.
enum class Fill {
  AsGiven,  // as given, cut at the field width
  Full,     // exactly the field width: no NUL
  Nul,      // one byte short of the width: the NUL is the field's last byte
};

// The devices that --count and the patterns make.
struct Population {
  int count = 0;
  MacAddress macBase = {0x02, 0x62, 0x00, 0x00, 0x00, 0x01};
  // {n} is the device number from 1, {mac} its MAC address without colons.
  std::string ssid2 = "Brevant-{n}-2G";
  std::string ssid5 = "Brevant-{n}-5G";
  std::string key2 = "key2-{mac}";
  std::string key5 = "key5-{mac}";
  std::chrono::milliseconds delay{0};
  std::chrono::milliseconds spread{0};  // answers spread evenly over this time
  int repeat = 1;
  Fill fill = Fill::AsGiven;
  TransferFaults faults;
};

std::vector<DevicePlan> MakePopulation(const Population& population);

// The text laid out as the fill says, for a field of the given width.
std::string Filled(std::string text, std::size_t width, Fill fill);
std::optional<Fill> ParseFill(std::string_view text);

// The transfer fault words shared by the options and the device plans.
bool ParseAckMode(std::string_view text, TransferFaults& faults);
bool ParseReportMode(std::string_view text, TransferFaults& faults);

// One device from "mac=02:62:00:00:00:09,ssid2=Home\, sweet,delay=300": keys
// mac (required), ssid2, ssid5, key2, key5, again-ssid2, again-ssid5,
// again-key2, again-key5, delay, repeat, repeat-gap, answer (yes/no), skip,
// opcode, fill, and for transfers lock, ack (normal/never/ffff/previous),
// drop-every, ack-delay, report (ok/fail/never), result-delay, hold (yes/no).
// Values take \, \\ and \xNN escapes.
// Nothing, with the reason in *error, for anything else.
std::optional<DevicePlan> ParseDevicePlan(std::string_view text, std::string* error);

// One plan per line; blank lines and lines starting with # are skipped.
// Errors name the line.
bool ParseDeviceFile(const std::string& contents, std::vector<DevicePlan>& devices,
                     std::string* error);

// MAC base + n, counting through all 48 bits.
MacAddress MacPlus(const MacAddress& base, std::uint64_t n);

// The MAC address without colons, upper case.
std::string MacHex(const MacAddress& mac);

}  // namespace brevant::devsim
