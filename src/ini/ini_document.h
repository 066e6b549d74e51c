#pragma once

#include <map>
#include <string>
#include <vector>

namespace brevant {

// A small INI document held in memory. Sections and keys are kept in byte order
// (letter case matters), so listings and saved files come out in that order.
class CIniDocument {
 public:
  using KeyMap = std::map<std::string, std::string>;

  // On failure the last error says why; an unreadable file keeps the current
  // content, a duplicate section leaves the document empty.
  bool Load(const std::string& path);
  // Writes every section with CR LF line ends; false when the file cannot be
  // written completely, or, leaving the file as it was, when a name or value
  // would not read back (a line feed, an '=' in a key).
  bool Save(const std::string& path) const;

  std::vector<std::string> GetSectionNames() const;
  bool FindSection(const std::string& name) const;
  std::string GetValue(const std::string& section, const std::string& key,
                       const std::string& defaultValue) const;
  void SetValue(const std::string& section, const std::string& key, const std::string& value);
  int RemoveSection(const std::string& name);
  void Clear();
  const std::string& LastErrorText() const { return lastError_; }

 private:
  std::map<std::string, KeyMap> sections_;
  std::string lastError_;
};

}  // namespace brevant
