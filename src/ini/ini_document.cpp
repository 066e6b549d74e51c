#include "ini/ini_document.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "text/text.h"

namespace brevant {

bool CIniDocument::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  struct stat info {};
  // Only plain files: a folder holds no lines, and a device such as /dev/zero
  // would never end.
  if (!in || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    lastError_ = "Cannot open file: " + path;
    return false;
  }
  sections_.clear();
  lastError_.clear();
  KeyMap* current = nullptr;
  bool currentNamed = false;
  long lineNumber = 0;
  std::string line;
  while (std::getline(in, line)) {
    ++lineNumber;
    // The file is text: a CR right before the LF belongs to the line end.
    if (!line.empty() && line.back() == '\r' && !in.eof())
      line.pop_back();
    const std::string trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#')
      continue;
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      std::string name = trimmed.substr(1, trimmed.size() - 2);
      if (sections_.count(name) != 0) {
        lastError_ =
            "Duplicate section \"" + name + "\" found at line " + std::to_string(lineNumber);
        sections_.clear();
        return false;
      }
      current = &sections_[name];
      currentNamed = !name.empty();
      continue;
    }
    const auto equals = trimmed.find('=');
    if (current == nullptr || !currentNamed || equals == std::string::npos)
      continue;
    std::string key = TrimBlanks(trimmed.substr(0, equals));
    if (key.empty())
      continue;
    (*current)[key] = TrimBlanks(trimmed.substr(equals + 1));
  }
  return true;
}

bool CIniDocument::Save(const std::string& path) const {
  // A line feed in a name or value would not read back as written (it ends
  // the line; a CR or NUL reads back): nothing is written then, and the file
  // keeps what it had.
  const auto unwritable = [](const std::string& text) {
    return text.find('\n') != std::string::npos;
  };
  for (const auto& [name, keys] : sections_) {
    if (unwritable(name))
      return false;
    for (const auto& [key, value] : keys) {
      if (unwritable(key) || unwritable(value) || key.find('=') != std::string::npos)
        return false;
    }
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file)
    return false;
  std::string text;
  for (const auto& [name, keys] : sections_) {
    text += "[" + name + "]\r\n";
    for (const auto& [key, value] : keys)
      text += key + "=" + value + "\r\n";
    text += "\r\n";
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  // A full disk shows at the flush; a template the operator thinks is saved must be.
  const bool closed = std::fclose(file.release()) == 0;
  return written && closed;
}

std::vector<std::string> CIniDocument::GetSectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const auto& entry : sections_)
    names.push_back(entry.first);
  return names;
}

bool CIniDocument::FindSection(const std::string& name) const {
  return sections_.count(name) != 0;
}

std::string CIniDocument::GetValue(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
  const auto s = sections_.find(section);
  if (s == sections_.end())
    return defaultValue;
  const auto k = s->second.find(key);
  return k == s->second.end() ? defaultValue : k->second;
}

void CIniDocument::SetValue(const std::string& section, const std::string& key,
                            const std::string& value) {
  sections_[section][key] = value;
}

int CIniDocument::RemoveSection(const std::string& name) {
  return static_cast<int>(sections_.erase(name));
}

void CIniDocument::Clear() {
  sections_.clear();
  lastError_.clear();
}

}  // namespace brevant
