#pragma once

#include <json/value.h>

#include <filesystem>
#include <string>

#include "tailoring/device_fields.h"

namespace brevant {

// The error texts of the JSON operations (callers show them translated).
inline constexpr char kJsonLoadFailed[] = "Failed to load the JSON file.";
inline constexpr char kJsonSaveFailed[] = "The json SaveToFile fail.";

// A configuration file in JSON form, loaded whole and saved in the styled
// layout (three-blank indentation, LF line ends, comments kept).
class JsonDocument {
 public:
  // Reads the file byte for byte and parses it. False, with error(), when it
  // cannot be read, is empty or is not JSON.
  bool Load(const std::filesystem::path& path);
  bool LoadText(const std::string& text);
  // The root; an empty object when nothing is loaded (which counts as loaded).
  Json::Value& root();
  bool loaded() const { return loaded_; }
  const std::string& error() const { return error_; }
  // Fails when nothing is loaded or the file cannot be written.
  bool Save(const std::filesystem::path& path) const;

 private:
  Json::Value root_;
  bool loaded_ = false;
  std::string error_;
};

// The styled layout of a value: Json::StyledWriter's, except that texts keep
// their bytes (the library writes every non-ASCII character as \u escapes and
// replaces bytes that are not UTF-8).
std::string StyledJsonText(const Json::Value& root);

// The template fields of a JSON configuration file; on failure the fields are
// cleared and error holds one of the error texts.
bool ReadJsonTemplate(const std::filesystem::path& path, DeviceFieldRecord& fields,
                      std::string& error);
// The same from the file's text.
bool ReadJsonTemplateText(const std::string& text, DeviceFieldRecord& fields, std::string& error);
// Sets, in the file at path, the members the row has columns for and saves it
// in place. Nothing is added, lengthened or retyped.
bool RewriteJson(const std::filesystem::path& path, const DeviceFieldRecord& row,
                 std::string& error);
// The same from source to output.
bool RewriteJson(const std::filesystem::path& source, const std::filesystem::path& output,
                 const DeviceFieldRecord& row, std::string& error);

// The same from a file's text to the text that would be saved.
bool RewriteJsonText(const std::string& text, const DeviceFieldRecord& row, std::string& output,
                     std::string& error);

// ModifyJson/ beside the executable.
std::filesystem::path DefaultJsonFolder();

// Makes <folder>/<MAC without colons>.json into *written: a copy of the
// chosen file, rewritten from the row when the source is tailored. False,
// with the note to show in *note, when the file cannot be made.
bool WriteDeviceJson(const DeviceFileSource& source, const DeviceFieldRecord& row,
                     const std::string& mac, const std::filesystem::path& folder,
                     std::filesystem::path* written, std::string* note = nullptr);

}  // namespace brevant
