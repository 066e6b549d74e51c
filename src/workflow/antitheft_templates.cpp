#include "workflow/antitheft_templates.h"

#include <algorithm>

#include "i18n/language.h"
#include "text/text.h"

namespace brevant {

namespace {

void NoteWriteFailure(OperatorPort& port, const std::filesystem::path& file) {
  port.Note(Translate("Note"),
            Translate("The template file could not be written: ") + file.string(), false);
}

// The pack translates the pattern; the name goes in afterwards, as typed.
std::string FillName(std::string pattern, const std::string& name) {
  const auto at = pattern.find("%s");
  if (at != std::string::npos)
    pattern.replace(at, 2, name);
  return pattern;
}

}  // namespace

std::filesystem::path TemplateFilePath(const std::filesystem::path& executableDirectory) {
  return executableDirectory / "IniTemplate" / "Config.ini";
}

bool SaveTemplate(const std::filesystem::path& file, const std::string& name,
                  const TemplateValues& page, OperatorPort& port, bool* clearName) {
  if (clearName != nullptr)
    *clearName = false;
  CIniDocument document;
  if (!document.Load(file.string())) {
    port.Note(Translate("Note"), Translate(document.LastErrorText()), false);
    return false;
  }
  if (name.empty()) {
    port.Note(Translate("Note"), Translate("Please enter the Template Name!"), false);
    return false;
  }
  // The name becomes a section line and the values lines of the file: a line
  // break would move keys into another template or make a duplicate section
  // that blocks every later load.
  if (HasControlCharacter(name) || name.find_first_of("[]") != std::string::npos) {
    port.Note(Translate("Note"),
              Translate("The Template Name cannot contain control characters (such as line "
                        "breaks or tabs) or the characters [ and ]!"),
              false);
    return false;
  }
  if (page.switchOn) {
    const std::pair<const char*, const std::string*> values[] = {
        {"The AC Name of a template cannot contain control characters (such as line breaks or "
         "tabs)!",
         &page.acName},
        {"The Primary DNS of a template cannot contain control characters (such as line breaks "
         "or tabs)!",
         &page.primaryDns},
        {"The Secondary DNS of a template cannot contain control characters (such as line "
         "breaks or tabs)!",
         &page.secondaryDns},
    };
    for (const auto& [message, value] : values) {
      if (HasControlCharacter(*value)) {
        port.Note(Translate("Note"), Translate(message), false);
        return false;
      }
    }
  }
  if (document.FindSection(name)) {
    port.Note(Translate("Note"),
              FillName(Translate("The name %s has already exists.Please re-enter!"), name), false);
    if (clearName != nullptr)
      *clearName = true;
    return false;
  }
  document.SetValue(name, "SwitchOn", page.switchOn ? "1" : "0");
  document.SetValue(name, "ACName", page.switchOn ? page.acName : "");
  document.SetValue(name, "PrimaryDns", page.switchOn ? page.primaryDns : "");
  document.SetValue(name, "SecondaryDns", page.switchOn ? page.secondaryDns : "");
  if (!document.Save(file.string())) {
    NoteWriteFailure(port, file);
    return false;
  }
  return true;
}

TemplateList::TemplateList(std::filesystem::path file, OperatorPort& port)
    : file_(std::move(file)), port_(port) {
  if (!document_.Load(file_.string())) {
    port_.Note(Translate("Note"), Translate(document_.LastErrorText()), false);
    return;
  }
  names_ = document_.GetSectionNames();
}

TemplateValues TemplateList::Load(const std::string& selected) const {
  TemplateValues values;
  values.switchOn = document_.GetValue(selected, "SwitchOn", "") == "1";
  values.acName = document_.GetValue(selected, "ACName", "");
  values.primaryDns = document_.GetValue(selected, "PrimaryDns", "");
  values.secondaryDns = document_.GetValue(selected, "SecondaryDns", "");
  return values;
}

bool TemplateList::Delete(const std::string& selected) {
  const std::string name = TrimWhite(selected);
  document_.RemoveSection(name);
  const auto entry = std::find(names_.begin(), names_.end(), selected);
  if (entry != names_.end())
    names_.erase(entry);
  if (!document_.Save(file_.string())) {
    NoteWriteFailure(port_, file_);
    return false;
  }
  return true;
}

}  // namespace brevant
