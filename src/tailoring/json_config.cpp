#include "tailoring/json_config.h"

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "app/exe_dir.h"
#include "i18n/language.h"
#include "tailoring/file_bytes.h"
#include "tailoring/xml_config.h"
#include "text/text.h"

namespace brevant {

namespace {

constexpr char kLoidTable[] = "REMOTEMGT_LOID_REG_ATTR_TAB";
constexpr char kPloamTable[] = "REMOTEMGT_PASSWORD_REG_ATTR_TAB";
constexpr char kAccountTable[] = "SYSMNG_ACCOUNT_ATTR_TAB";
constexpr char kWlanTable[] = "WLAN_SSID_ATTR_CFG_TAB";
constexpr char kWanTable[] = "WAN_CONNECTION_ATTR_TAB";
constexpr Json::ArrayIndex kWlan5gElement = 8;

// Json::StyledWriter's layout: members in the value's order, objects and
// arrays opened on the line of their member name, short arrays of scalars on
// one line, three-blank indentation, comments where the library puts them.
class StyledLayout {
 public:
  std::string Write(const Json::Value& root) {
    CommentBefore(root);
    Value(root);
    CommentAfter(root);
    text_ += '\n';
    return std::move(text_);
  }

 private:
  static constexpr unsigned kRightMargin = 74;
  static constexpr std::size_t kIndent = 3;

  // Texts keep their bytes; only what JSON requires is escaped.
  static std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
          } else {
            out += c;
          }
      }
    }
    out += '"';
    return out;
  }

  void Push(const std::string& value) {
    if (collecting_)
      children_.push_back(value);
    else
      text_ += value;
  }

  void Indent() {
    if (!text_.empty()) {
      const char last = text_.back();
      // A trailing blank means "already indented", except at the end of a
      // line comment, which would swallow whatever came next on its line.
      if (last == ' ' && text_.size() != lineCommentEnd_)
        return;
      if (last != '\n')
        text_ += '\n';
    }
    text_ += indent_;
  }

  void WithIndent(const std::string& value) {
    Indent();
    text_ += value;
  }

  void Value(const Json::Value& value) {
    switch (value.type()) {
      case Json::nullValue:
        Push("null");
        break;
      case Json::intValue:
        Push(Json::valueToString(value.asLargestInt()));
        break;
      case Json::uintValue:
        Push(Json::valueToString(value.asLargestUInt()));
        break;
      case Json::realValue:
        Push(Json::valueToString(value.asDouble()));
        break;
      case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        Push(value.getString(&begin, &end)
                 ? Quoted(std::string_view(begin, static_cast<std::size_t>(end - begin)))
                 : std::string());
        break;
      }
      case Json::booleanValue:
        Push(value.asBool() ? "true" : "false");
        break;
      case Json::arrayValue:
        Array(value);
        break;
      case Json::objectValue: {
        const Json::Value::Members names = value.getMemberNames();
        if (names.empty()) {
          Push("{}");
          break;
        }
        WithIndent("{");
        indent_.append(kIndent, ' ');
        for (std::size_t i = 0; i < names.size(); ++i) {
          const Json::Value& child = value[names[i]];
          CommentBefore(child);
          WithIndent(Quoted(names[i]));
          text_ += " : ";
          Value(child);
          if (i + 1 < names.size())
            text_ += ',';
          CommentAfter(child);
        }
        indent_.resize(indent_.size() - kIndent);
        WithIndent("}");
        break;
      }
    }
  }

  void Array(const Json::Value& value) {
    const Json::ArrayIndex size = value.size();
    if (size == 0) {
      Push("[]");
      return;
    }
    if (Multiline(value)) {
      WithIndent("[");
      indent_.append(kIndent, ' ');
      const bool measured = !children_.empty();
      for (Json::ArrayIndex i = 0; i < size; ++i) {
        const Json::Value& child = value[i];
        CommentBefore(child);
        if (measured) {
          WithIndent(children_[i]);
        } else {
          Indent();
          Value(child);
        }
        if (i + 1 < size)
          text_ += ',';
        CommentAfter(child);
      }
      indent_.resize(indent_.size() - kIndent);
      WithIndent("]");
      return;
    }
    text_ += "[ ";
    for (Json::ArrayIndex i = 0; i < size; ++i) {
      if (i > 0)
        text_ += ", ";
      text_ += children_[i];
    }
    text_ += " ]";
  }

  static bool HasComment(const Json::Value& value) {
    return value.hasComment(Json::commentBefore) ||
           value.hasComment(Json::commentAfterOnSameLine) || value.hasComment(Json::commentAfter);
  }

  // An array goes on one line when it is short and holds only scalars (or
  // empty containers) without comments; their texts are kept in children_.
  bool Multiline(const Json::Value& value) {
    const Json::ArrayIndex size = value.size();
    bool multiline = size * 3 >= kRightMargin;
    children_.clear();
    for (Json::ArrayIndex i = 0; i < size && !multiline; ++i) {
      const Json::Value& child = value[i];
      multiline = (child.isArray() || child.isObject()) && !child.empty();
    }
    if (!multiline) {
      children_.reserve(size);
      collecting_ = true;
      std::size_t length = 4 + (size - 1) * 2;
      for (Json::ArrayIndex i = 0; i < size; ++i) {
        if (HasComment(value[i]))
          multiline = true;
        Value(value[i]);
        length += children_[i].size();
      }
      collecting_ = false;
      multiline = multiline || length >= kRightMargin;
    }
    return multiline;
  }

  void CommentBefore(const Json::Value& value) {
    if (!value.hasComment(Json::commentBefore))
      return;
    text_ += '\n';
    Indent();
    const std::string comment = value.getComment(Json::commentBefore);
    for (std::size_t i = 0; i < comment.size(); ++i) {
      text_ += comment[i];
      if (comment[i] == '\n' && i + 1 < comment.size() && comment[i + 1] == '/')
        Indent();
    }
    text_ += '\n';
  }

  void CommentAfter(const Json::Value& value) {
    if (value.hasComment(Json::commentAfterOnSameLine)) {
      const std::string comment = value.getComment(Json::commentAfterOnSameLine);
      text_ += " " + comment;
      if (comment.starts_with("//"))
        lineCommentEnd_ = text_.size();
    }
    if (value.hasComment(Json::commentAfter)) {
      text_ += '\n';
      text_ += value.getComment(Json::commentAfter);
      text_ += '\n';
    }
  }

  std::string text_;
  std::string indent_;
  std::size_t lineCommentEnd_ = std::string::npos;
  std::vector<std::string> children_;
  bool collecting_ = false;
};

std::string MissingKey(const char* table) {
  return std::string("The key ") + table + " does not exist.";
}

bool HasTable(const Json::Value& root, const char* table) {
  return root.isObject() && root.isMember(table);
}

// Element k of a table, when the table is an array holding an object there.
// Nothing is looked up with the writable index operator, so no array grows.
Json::Value* Element(Json::Value& root, const char* table, Json::ArrayIndex k) {
  if (!HasTable(root, table))
    return nullptr;
  Json::Value& array = root[table];
  if (!array.isArray() || k >= array.size() || !array[k].isObject())
    return nullptr;
  return &array[k];
}

// Members of another type than expected are treated as absent: never read,
// never written. Texts accept strings, null (empty) and integers (their
// decimal text); numbers accept integers and null (0).
std::optional<std::string> ReadText(const Json::Value& element, const char* name) {
  if (!element.isMember(name))
    return std::nullopt;
  const Json::Value& member = element[name];
  switch (member.type()) {
    case Json::stringValue:
      return member.asString();
    case Json::nullValue:
      return std::string();
    case Json::intValue:
      return std::to_string(member.asLargestInt());
    case Json::uintValue:
      return std::to_string(member.asLargestUInt());
    default:
      return std::nullopt;
  }
}

std::optional<long long> ReadInteger(const Json::Value& element, const char* name) {
  if (!element.isMember(name))
    return std::nullopt;
  const Json::Value& member = element[name];
  if (member.isNull())
    return 0;
  if (member.type() == Json::intValue || (member.isIntegral() && member.isInt64()))
    return member.asInt64();
  return std::nullopt;
}

void Take(const Json::Value& element, const char* name, std::string& field) {
  if (auto text = ReadText(element, name))
    field = std::move(*text);
}

// An integer member stays an integer when the new text is that integer's
// decimal form; otherwise the member becomes the text.
void SetText(Json::Value& element, const char* name, const std::string& value) {
  if (!element.isMember(name))
    return;
  Json::Value& member = element[name];
  switch (member.type()) {
    case Json::stringValue:
    case Json::nullValue:
      member = Json::Value(value);
      return;
    case Json::intValue:
    case Json::uintValue: {
      long long number = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
      if (error == std::errc() && end == value.data() + value.size() &&
          std::to_string(number) == value)
        member = Json::Value(static_cast<Json::Int64>(number));
      else
        member = Json::Value(value);
      return;
    }
    default:
      return;
  }
}

void SetInteger(Json::Value& element, const char* name, int value) {
  if (ReadInteger(element, name))
    element[name] = Json::Value(value);
}

// The four tables whose absence is an error, in the order they are visited.
std::optional<std::string> FirstMissingTable(const Json::Value& root) {
  for (const char* table : {kLoidTable, kPloamTable, kAccountTable, kWlanTable}) {
    if (!HasTable(root, table))
      return MissingKey(table);
  }
  return std::nullopt;
}

int WanElements(const Json::Value& root) {
  if (!HasTable(root, kWanTable) || !root[kWanTable].isArray())
    return 0;
  return static_cast<int>(std::min<Json::ArrayIndex>(root[kWanTable].size(), kMaxWanEntries));
}

}  // namespace

std::string StyledJsonText(const Json::Value& root) {
  return StyledLayout().Write(root);
}

bool JsonDocument::Load(const std::filesystem::path& path) {
  std::string text;
  if (!ReadFileBytes(path, text)) {
    loaded_ = false;
    error_ = "cannot read " + path.string();
    return false;
  }
  return LoadText(text);
}

bool JsonDocument::LoadText(const std::string& text) {
  loaded_ = false;
  root_ = Json::Value();
  if (text.empty()) {
    error_ = "the file is empty";
    return false;
  }
  Json::CharReaderBuilder builder;
  builder["collectComments"] = true;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  bool parsed = false;
  try {
    parsed = reader->parse(text.data(), text.data() + text.size(), &root_, &errors);
  } catch (const std::exception& failure) {
    errors = failure.what();
  }
  if (!parsed) {
    root_ = Json::Value();
    error_ = errors;
    return false;
  }
  error_.clear();
  loaded_ = true;
  return true;
}

Json::Value& JsonDocument::root() {
  if (!loaded_) {
    root_ = Json::Value(Json::objectValue);
    loaded_ = true;
  }
  return root_;
}

bool JsonDocument::Save(const std::filesystem::path& path) const {
  return loaded_ && WriteFileBytes(path, StyledJsonText(root_));
}

namespace {

bool TemplateFrom(JsonDocument& document, DeviceFieldRecord& fields, std::string& error) {
  Json::Value& root = document.root();
  if (auto missing = FirstMissingTable(root)) {
    error = *missing;
    return false;
  }
  DeviceFieldRecord read;
  if (const Json::Value* element = Element(root, kLoidTable, 0)) {
    Take(*element, "aucLoidName", read.loid);
    Take(*element, "aucLoidPasswd", read.loidPassword);
  }
  if (const Json::Value* element = Element(root, kPloamTable, 0))
    Take(*element, "aucPasswd", read.ploamPassword);
  if (const Json::Value* element = Element(root, kAccountTable, 0))
    Take(*element, "aucUserAccountPassword", read.loginPassword);
  bool has24g = false;
  bool has5g = false;
  if (const Json::Value* element = Element(root, kWlanTable, 0)) {
    if (auto name = ReadText(*element, "aucSSIDName")) {
      read.ssid_24g = std::move(*name);
      has24g = true;
    }
    Take(*element, "aucPreSharedKey", read.wlanPsk_24g);
  }
  if (const Json::Value* element = Element(root, kWlanTable, kWlan5gElement)) {
    if (auto name = ReadText(*element, "aucSSIDName")) {
      read.ssid_5g = std::move(*name);
      has5g = true;
    }
    Take(*element, "aucPreSharedKey", read.wlanPsk_5g);
  }
  read.wanCount = WanElements(root);
  for (int i = 0; i < read.wanCount; ++i) {
    const Json::Value* element = Element(root, kWanTable, static_cast<Json::ArrayIndex>(i));
    if (element == nullptr)
      continue;
    Take(*element, "aucWanName", read.WanName[i]);
    if (ReadInteger(*element, "ucAddressingType") == 3)
      read.ChannelMode[i] = "2";
    if (auto vlan = ReadInteger(*element, "ulVlanIdMark"))
      read.vid[i] = std::to_string(*vlan);
    Take(*element, "aucUsername", read.pppUser[i]);
    Take(*element, "aucPassword", read.pppPassword[i]);
  }
  read.dualBand = has24g && has5g;
  fields = std::move(read);
  return true;
}

bool RewriteLoaded(JsonDocument& document, const DeviceFieldRecord& row, std::string& error) {
  Json::Value& root = document.root();
  if (auto missing = FirstMissingTable(root)) {
    error = *missing;
    return false;
  }
  const SheetColumns& has = row.columns;
  if (has.accounts) {
    if (Json::Value* element = Element(root, kLoidTable, 0)) {
      SetText(*element, "aucLoidName", row.loid);
      SetText(*element, "aucLoidPasswd", row.loidPassword);
    }
    if (Json::Value* element = Element(root, kPloamTable, 0))
      SetText(*element, "aucPasswd", row.ploamPassword);
    if (Json::Value* element = Element(root, kAccountTable, 0))
      SetText(*element, "aucUserAccountPassword", row.loginPassword);
  }
  if (has.wifi24g) {
    if (Json::Value* element = Element(root, kWlanTable, 0)) {
      SetText(*element, "aucSSIDName", row.ssid_24g);
      SetText(*element, "aucPreSharedKey", row.wlanPsk_24g);
    }
  }
  if (has.wifi5g) {
    if (Json::Value* element = Element(root, kWlanTable, kWlan5gElement)) {
      SetText(*element, "aucSSIDName", row.ssid_5g);
      SetText(*element, "aucPreSharedKey", row.wlanPsk_5g);
    }
  }
  const int groups = std::min(WanElements(root), std::clamp(row.wanCount, 0, kMaxWanEntries));
  for (int i = 0; i < groups; ++i) {
    Json::Value* element = Element(root, kWanTable, static_cast<Json::ArrayIndex>(i));
    if (element == nullptr)
      continue;
    SetText(*element, "aucWanName", row.WanName[i]);
    if (has.vid[i])
      SetInteger(*element, "ulVlanIdMark", AtoiLike(row.vid[i]));
    if (has.ppp[i]) {
      SetText(*element, "aucUsername", row.pppUser[i]);
      SetText(*element, "aucPassword", row.pppPassword[i]);
    }
  }
  return true;
}

}  // namespace

bool ReadJsonTemplate(const std::filesystem::path& path, DeviceFieldRecord& fields,
                      std::string& error) {
  fields = DeviceFieldRecord{};
  JsonDocument document;
  if (!document.Load(path)) {
    error = kJsonLoadFailed;
    return false;
  }
  return TemplateFrom(document, fields, error);
}

bool ReadJsonTemplateText(const std::string& text, DeviceFieldRecord& fields, std::string& error) {
  fields = DeviceFieldRecord{};
  JsonDocument document;
  if (!document.LoadText(text)) {
    error = kJsonLoadFailed;
    return false;
  }
  return TemplateFrom(document, fields, error);
}

bool RewriteJson(const std::filesystem::path& path, const DeviceFieldRecord& row,
                 std::string& error) {
  return RewriteJson(path, path, row, error);
}

bool RewriteJson(const std::filesystem::path& source, const std::filesystem::path& output,
                 const DeviceFieldRecord& row, std::string& error) {
  JsonDocument document;
  if (!document.Load(source)) {
    error = kJsonLoadFailed;
    return false;
  }
  if (!RewriteLoaded(document, row, error))
    return false;
  if (!document.Save(output)) {
    error = kJsonSaveFailed;
    return false;
  }
  return true;
}

bool RewriteJsonText(const std::string& text, const DeviceFieldRecord& row, std::string& output,
                     std::string& error) {
  JsonDocument document;
  if (!document.LoadText(text)) {
    error = kJsonLoadFailed;
    return false;
  }
  if (!RewriteLoaded(document, row, error))
    return false;
  output = StyledJsonText(document.root());
  return true;
}

std::filesystem::path DefaultJsonFolder() {
  return ExecutableDirectory() / "ModifyJson";
}

bool WriteDeviceJson(const DeviceFileSource& source, const DeviceFieldRecord& row,
                     const std::string& mac, const std::filesystem::path& folder,
                     std::filesystem::path* written, std::string* note) {
  const std::string stem = DeviceFileStem(mac);
  const std::filesystem::path output = folder / (stem + ".json");
  if (written != nullptr)
    *written = output;
  if (stem.empty() || stem.find('/') != std::string::npos || stem == "." || stem == "..") {
    if (note != nullptr)
      *note = Translate("Failed to copy the configuration file!");
    return false;
  }
  // A copy that failed would leave an older file to be rewritten and sent.
  if (!CopyConfigurationFile(source.chosen, output, note))
    return false;
  if (!source.tailored)
    return true;
  std::string error;
  if (!RewriteJson(output, row, error)) {
    if (note != nullptr)
      *note = Translate(error);
    return false;
  }
  return true;
}

}  // namespace brevant
