#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace brevant {

// The most WAN entries a configuration file or a sheet row contributes; later
// ones are left as the file has them.
inline constexpr int kMaxWanEntries = 10;

// Which fields of a sheet row came from a column of the sheet. A tailored file
// changes only those: every other entry keeps the chosen file's value, so a
// sheet without Wi-Fi columns never wipes the devices' network names.
struct SheetColumns {
  std::array<bool, kMaxWanEntries> vid{};
  std::array<bool, kMaxWanEntries> ppp{};  // pppUser and pppPassword
  bool wifi5g = false;                     // ssid_5g and wlanPsk_5g
  bool wifi24g = false;                    // ssid_2.4g and wlanPsk_2.4g
  bool accounts = false;                   // loid, loidPassword, ploamPassword, loginPassword
};

// The tailorable fields of one device (a sheet row) or of the chosen
// configuration file (the template fields). Texts are whole UTF-8 strings
// (or the file's bytes); nothing is cut to a width.
struct DeviceFieldRecord {
  std::string mac;  // the row's MAC cell, as typed
  // WAN entries 1 … 10 at indexes 0 … 9. The WanName of group w comes from a
  // column exactly when w <= wanCount.
  std::array<std::string, kMaxWanEntries> WanName;
  std::array<std::string, kMaxWanEntries> vid;
  std::array<std::string, kMaxWanEntries> pppUser;
  std::array<std::string, kMaxWanEntries> pppPassword;
  std::array<std::string, kMaxWanEntries> ChannelMode;  // "2": carries a PPP account
  int wanCount = 0;  // entries of the template, WAN groups of a row; at most 10
  std::string ssid_5g;
  std::string wlanPsk_5g;
  std::string ssid_24g;  // the sheet's ssid_2.4g
  std::string wlanPsk_24g;
  std::string loid;
  std::string loidPassword;
  std::string loginPassword;
  std::string ploamPassword;
  bool dualBand = false;  // template only: the file has a 2.4 GHz and a 5 GHz network
  SheetColumns columns;   // sheet rows only
};

// Whether the sheet made from this template has a vid column, and pppUser and
// pppPassword columns, for WAN entry index w (0-based).
bool HasVidColumn(const DeviceFieldRecord& templateFields, int w);
bool HasPppColumns(const DeviceFieldRecord& templateFields, int w);

// Whether the sheet made last carries the Wi-Fi columns. Process-wide, set by
// CreateDeviceSheet; starts clear.
bool WifiColumnsFlag();
void SetWifiColumnsFlag(bool on);

// What one device's configuration file is made from.
struct DeviceFileSource {
  std::filesystem::path chosen;  // the operator's configuration file
  bool tailored = false;         // a sheet is in use: the row's fields go in
  bool dualBand = false;         // the chosen file's band layout (its template fields)
};

// The per-device file name stem: the MAC text without its colons
// ("C8:3A:35:A1:B2:C3" gives "C83A35A1B2C3").
std::string DeviceFileStem(std::string_view mac);

}  // namespace brevant
