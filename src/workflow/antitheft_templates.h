#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ini/ini_document.h"
#include "workflow/operator_port.h"

namespace brevant {

// The network entries of the anti-theft page that a template keeps (never the
// lock code).
struct TemplateValues {
  bool switchOn = false;
  std::string acName;
  std::string primaryDns;  // as displayed: may be the placeholder text
  std::string secondaryDns;
};

// IniTemplate/Config.ini of the executable's folder.
std::filesystem::path TemplateFilePath(const std::filesystem::path& executableDirectory);

// The save dialog's "Save". False when nothing was saved: the note has been
// shown, and *clearName says whether the name field is to be emptied.
bool SaveTemplate(const std::filesystem::path& file, const std::string& name,
                  const TemplateValues& page, OperatorPort& port, bool* clearName = nullptr);

// The load dialog: the file is read when it opens; Load and Delete work on
// what was read.
class TemplateList {
 public:
  // Reads the file; a note with the reason when it cannot be read (the list is
  // then empty).
  TemplateList(std::filesystem::path file, OperatorPort& port);

  // Section names in byte order.
  const std::vector<std::string>& Names() const { return names_; }
  // The values of a template; an unknown or empty name gives empty values and
  // the switch off.
  TemplateValues Load(const std::string& selected) const;
  // Removes the template named by the trimmed selection and writes the file;
  // a note when the file could not be written. The entry leaves the list
  // either way (a name with outer blanks stays in the file, as it is looked
  // up trimmed).
  bool Delete(const std::string& selected);

 private:
  std::filesystem::path file_;
  OperatorPort& port_;
  CIniDocument document_;
  std::vector<std::string> names_;
};

}  // namespace brevant
