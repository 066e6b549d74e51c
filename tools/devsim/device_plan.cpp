#include "device_plan.h"

#include "text/text.h"

#include <charconv>
#include <functional>
#include <map>
#include <sstream>

namespace brevant::devsim {

namespace {

std::string Expand(const std::string& pattern, int number, const MacAddress& mac) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, 3, "{n}") == 0) {
      out += std::to_string(number);
      i += 3;
    } else if (pattern.compare(i, 5, "{mac}") == 0) {
      out += MacHex(mac);
      i += 5;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

DiscoveryTexts FilledTexts(DiscoveryTexts texts, Fill fill) {
  texts.ssid2 = Filled(std::move(texts.ssid2), LayoutOf(DiscoveryField::Ssid2).width, fill);
  texts.ssid5 = Filled(std::move(texts.ssid5), LayoutOf(DiscoveryField::Ssid5).width, fill);
  texts.key2 = Filled(std::move(texts.key2), LayoutOf(DiscoveryField::Key2).width, fill);
  texts.key5 = Filled(std::move(texts.key5), LayoutOf(DiscoveryField::Key5).width, fill);
  return texts;
}

// Splits at unescaped commas and resolves the escapes of each part.
bool SplitFields(std::string_view text, std::vector<std::string>& fields, std::string* error) {
  fields.assign(1, std::string());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ',') {
      fields.emplace_back();
      continue;
    }
    if (c != '\\') {
      fields.back() += c;
      continue;
    }
    if (i + 1 >= text.size()) {
      *error = "a lone \\ at the end";
      return false;
    }
    const char next = text[++i];
    if (next == ',' || next == '\\') {
      fields.back() += next;
    } else if (next == 'x' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      fields.back() +=
          static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      *error = std::string("unknown escape \\") + next;
      return false;
    }
  }
  return true;
}

template <class T>
bool ParseNumber(const std::string& text, T& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

DiscoveryTexts DevicePlan::AgainTexts() const {
  if (againTexts)
    return *againTexts;
  DiscoveryTexts again = texts;
  again.ssid2 += "-again";
  again.ssid5 += "-again";
  return again;
}

std::string Filled(std::string text, std::size_t width, Fill fill) {
  const std::size_t target = fill == Fill::Full ? width : width - 1;
  switch (fill) {
    case Fill::AsGiven:
      break;
    case Fill::Full:
    case Fill::Nul:
      if (text.size() > target)
        text.resize(target);
      while (text.size() < target)
        text += '#';
      break;
  }
  return text;
}

std::optional<Fill> ParseFill(std::string_view text) {
  if (text == "none")
    return Fill::AsGiven;
  if (text == "full")
    return Fill::Full;
  if (text == "nul")
    return Fill::Nul;
  return std::nullopt;
}

std::vector<DevicePlan> MakePopulation(const Population& population) {
  std::vector<DevicePlan> devices;
  devices.reserve(static_cast<std::size_t>(std::max(population.count, 0)));
  for (int i = 0; i < population.count; ++i) {
    DevicePlan plan;
    plan.mac = MacPlus(population.macBase, static_cast<std::uint64_t>(i));
    const int number = i + 1;
    plan.texts = FilledTexts(
        {Expand(population.ssid2, number, plan.mac), Expand(population.ssid5, number, plan.mac),
         Expand(population.key2, number, plan.mac), Expand(population.key5, number, plan.mac)},
        population.fill);
    plan.delay = population.delay;
    if (population.count > 1)
      plan.delay += population.spread * i / (population.count - 1);
    plan.repeat = population.repeat;
    plan.faults = population.faults;
    devices.push_back(std::move(plan));
  }
  return devices;
}

std::optional<DevicePlan> ParseDevicePlan(std::string_view text, std::string* error) {
  std::string ignored;
  std::string& why = error != nullptr ? *error : ignored;
  std::vector<std::string> fields;
  if (!SplitFields(text, fields, &why))
    return std::nullopt;

  DevicePlan plan;
  bool haveMac = false;
  Fill fill = Fill::AsGiven;
  DiscoveryTexts again;
  bool haveAgain = false;
  bool againGiven[4] = {};

  using Setter = std::function<bool(const std::string&)>;
  auto milliseconds = [](std::chrono::milliseconds& target) {
    return [&target](const std::string& v) {
      long long ms = 0;
      if (!ParseNumber(v, ms) || ms < 0)
        return false;
      target = std::chrono::milliseconds(ms);
      return true;
    };
  };
  auto againText = [&](int index, std::string DiscoveryTexts::*field) {
    return [&, index, field](const std::string& v) {
      again.*field = v;
      againGiven[index] = true;
      haveAgain = true;
      return true;
    };
  };
  const std::map<std::string, Setter> setters = {
      {"mac",
       [&](const std::string& v) {
         const auto mac = ParseMacText(v);
         if (mac)
           plan.mac = *mac;
         haveMac = mac.has_value();
         return haveMac;
       }},
      {"ssid2", [&](const std::string& v) { return plan.texts.ssid2 = v, true; }},
      {"ssid5", [&](const std::string& v) { return plan.texts.ssid5 = v, true; }},
      {"key2", [&](const std::string& v) { return plan.texts.key2 = v, true; }},
      {"key5", [&](const std::string& v) { return plan.texts.key5 = v, true; }},
      {"again-ssid2", againText(0, &DiscoveryTexts::ssid2)},
      {"again-ssid5", againText(1, &DiscoveryTexts::ssid5)},
      {"again-key2", againText(2, &DiscoveryTexts::key2)},
      {"again-key5", againText(3, &DiscoveryTexts::key5)},
      {"delay", milliseconds(plan.delay)},
      {"repeat-gap", milliseconds(plan.repeatGap)},
      {"repeat",
       [&](const std::string& v) { return ParseNumber(v, plan.repeat) && plan.repeat >= 1; }},
      {"skip", [&](const std::string& v) { return ParseNumber(v, plan.skipRequests); }},
      {"opcode", [&](const std::string& v) { return ParseNumber(v, plan.answerOpcode); }},
      {"answer",
       [&](const std::string& v) {
         if (v != "yes" && v != "no")
           return false;
         plan.answers = v == "yes";
         return true;
       }},
      {"lock", [&](const std::string& v) { return plan.lockCode = v, true; }},
      {"ack", [&](const std::string& v) { return ParseAckMode(v, plan.faults); }},
      {"drop-every", [&](const std::string& v) { return ParseNumber(v, plan.faults.dropEvery); }},
      {"ack-delay", milliseconds(plan.faults.ackDelay)},
      {"report", [&](const std::string& v) { return ParseReportMode(v, plan.faults); }},
      {"result-delay", milliseconds(plan.faults.resultDelay)},
      {"hold",
       [&](const std::string& v) {
         if (v != "yes" && v != "no")
           return false;
         plan.faults.holdResult = v == "yes";
         return true;
       }},
      {"fill",
       [&](const std::string& v) {
         const auto parsed = ParseFill(v);
         if (parsed)
           fill = *parsed;
         return parsed.has_value();
       }},
  };

  for (const std::string& field : fields) {
    const auto equals = field.find('=');
    if (equals == std::string::npos) {
      why = "\"" + field + "\" is not key=value";
      return std::nullopt;
    }
    const std::string key = field.substr(0, equals);
    const std::string value = field.substr(equals + 1);
    const auto setter = setters.find(key);
    if (setter == setters.end()) {
      why = "unknown key \"" + key + "\"";
      return std::nullopt;
    }
    if (!setter->second(value)) {
      why = "bad value for " + key + ": \"" + value + "\"";
      return std::nullopt;
    }
  }
  if (!haveMac) {
    why = "a device needs mac=";
    return std::nullopt;
  }
  if (haveAgain) {
    // Fields not given again repeat the first answer's.
    const DiscoveryTexts first = plan.AgainTexts();
    if (!againGiven[0])
      again.ssid2 = first.ssid2;
    if (!againGiven[1])
      again.ssid5 = first.ssid5;
    if (!againGiven[2])
      again.key2 = first.key2;
    if (!againGiven[3])
      again.key5 = first.key5;
    plan.againTexts = FilledTexts(again, fill);
  }
  plan.texts = FilledTexts(plan.texts, fill);
  return plan;
}

bool ParseDeviceFile(const std::string& contents, std::vector<DevicePlan>& devices,
                     std::string* error) {
  std::istringstream in(contents);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#')
      continue;
    std::string why;
    auto plan = ParseDevicePlan(std::string_view(line).substr(start), &why);
    if (!plan) {
      if (error != nullptr)
        *error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    devices.push_back(std::move(*plan));
  }
  return true;
}

bool ParseAckMode(std::string_view text, TransferFaults& faults) {
  if (text != "normal" && text != "never" && text != "ffff" && text != "previous")
    return false;
  faults.neverAck = text == "never";
  faults.ackAnySequence = text == "ffff";
  faults.ackPrevious = text == "previous";
  return true;
}

bool ParseReportMode(std::string_view text, TransferFaults& faults) {
  if (text != "ok" && text != "fail" && text != "never")
    return false;
  faults.reportFailure = text == "fail";
  faults.neverReport = text == "never";
  return true;
}

MacAddress MacPlus(const MacAddress& base, std::uint64_t n) {
  std::uint64_t value = 0;
  for (const std::uint8_t byte : base)
    value = (value << 8) | byte;
  value = (value + n) & 0xFFFFFFFFFFFFull;
  MacAddress mac{};
  for (int i = 5; i >= 0; --i) {
    mac[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
  return mac;
}

std::string MacHex(const MacAddress& mac) {
  std::string text = DeviceMacText(mac);
  std::erase(text, ':');
  return text;
}

}  // namespace brevant::devsim
