#pragma once

// A desktop of the test's own: XDG folders in a scratch folder, so what the
// test registers as the .xlsx application never touches the machine's
// settings, and what the machine registers never answers the test. Also the
// stand-in spreadsheet applications the tests register there.

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace brevant::testing {

class PrivateDesktop {
 public:
  PrivateDesktop() {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    std::filesystem::create_directories(dir_ / "data/applications");
    std::filesystem::create_directories(dir_ / "config");
    std::filesystem::create_directories(dir_ / "system");
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (dir_ / "system").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (dir_ / "system").c_str(), 1);
    // xdg-mime asks a desktop's own tools when it recognises one.
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID"})
      ::unsetenv(name);
  }
  ~PrivateDesktop() {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }
  PrivateDesktop(const PrivateDesktop&) = delete;
  PrivateDesktop& operator=(const PrivateDesktop&) = delete;

  const std::filesystem::path& Folder() const { return dir_.path(); }

  // An executable file of the desktop's folder.
  std::filesystem::path Script(const std::string& name, const std::string& text) const {
    const auto file = dir_.Write("bin/" + name, text);
    ::chmod(file.c_str(), 0755);
    return file;
  }

  // Makes the desktop file the default application of .xlsx workbooks.
  void RegisterSheetApplication(const std::string& desktopId, const std::string& exec) const {
    dir_.Write("data/applications/" + desktopId,
               "[Desktop Entry]\nType=Application\nName=Stand-in spreadsheet\nExec=" + exec +
                   "\nMimeType=application/vnd.openxmlformats-officedocument.spreadsheetml.sheet;"
                   "\n");
    dir_.Write("config/mimeapps.list",
               "[Default Applications]\n"
               "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet=" +
                   desktopId + "\n");
  }

 private:
  static constexpr const char* kVariables[] = {
      "XDG_DATA_HOME",    "XDG_CONFIG_HOME",          "XDG_DATA_DIRS",
      "XDG_CONFIG_DIRS",  "XDG_CURRENT_DESKTOP",      "DESKTOP_SESSION",
      "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID"};
  TempDir dir_;
  std::map<std::string, std::optional<std::string>> saved_;
};

// A stand-in spreadsheet application's editing: after a short pause it
// fills, in every data row of the workbook given as its last argument, the
// named columns with the row's MAC (without colons) after a prefix
// ({"pppUser1", "user-"} writes user-C83A35000001), and saves the workbook
// as an application does (a new file put in the old one's place). It writes
// its arguments to <workbook>.args.
inline std::string FillSheetScript(const std::vector<std::pair<std::string, std::string>>& fills,
                                   double pauseSeconds = 0.3) {
  std::string table;
  for (const auto& [column, prefix] : fills)
    table += "    (\"" + column + "\", \"" + prefix + "\"),\n";
  return R"(#!/usr/bin/python3
import os, re, sys, time, zipfile
from xml.etree import ElementTree as ET
from xml.sax.saxutils import escape

FILLS = [
)" + table +
         R"(]
M = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
path = sys.argv[-1]
with open(path + ".args", "w") as log:
    log.write("\n".join(sys.argv[1:]) + "\n")
time.sleep()" +
         std::to_string(pauseSeconds) + R"()

def column(ref):
    n = 0
    for ch in re.match(r"[A-Z]+", ref).group(0):
        n = n * 26 + ord(ch) - 64
    return n - 1

def letters(n):
    s = ""
    n += 1
    while n:
        n, r = divmod(n - 1, 26)
        s = chr(65 + r) + s
    return s

with zipfile.ZipFile(path) as z:
    parts = [(i, z.read(i.filename)) for i in z.infolist()]
data = {i.filename: b for i, b in parts}
shared = []
if "xl/sharedStrings.xml" in data:
    for si in ET.fromstring(data["xl/sharedStrings.xml"]).iter(M + "si"):
        shared.append("".join(t.text or "" for t in si.iter(M + "t")))
rows = []
for row in ET.fromstring(data["xl/worksheets/sheet1.xml"]).iter(M + "row"):
    cells = {}
    for c in row.iter(M + "c"):
        kind, v = c.get("t"), c.find(M + "v")
        if kind == "s":
            text = shared[int(v.text)]
        elif kind == "inlineStr":
            text = "".join(t.text or "" for t in c.iter(M + "t"))
        else:
            text = v.text if v is not None and v.text else ""
        cells[column(c.get("r"))] = text
    rows.append(cells)
where = {text: col for col, text in rows[0].items()}
for cells in rows[1:]:
    mac = cells.get(0, "").replace(":", "")
    for name, prefix in FILLS:
        if name in where:
            cells[where[name]] = prefix + mac
xml = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
       '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>']
for r, cells in enumerate(rows, 1):
    xml.append('<row r="%d">' % r)
    for col in sorted(cells):
        xml.append('<c r="%s%d" t="inlineStr"><is><t xml:space="preserve">%s</t></is></c>'
                   % (letters(col), r, escape(cells[col])))
    xml.append("</row>")
xml.append("</sheetData></worksheet>")
data["xl/worksheets/sheet1.xml"] = "".join(xml).encode("utf-8")
saved = path + ".saving"
with zipfile.ZipFile(saved, "w", zipfile.ZIP_DEFLATED) as z:
    for info, _ in parts:
        z.writestr(info.filename, data[info.filename])
os.replace(saved, path)
)";
}

}  // namespace brevant::testing
