#pragma once

#include <zip.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace brevant::testing {

inline std::filesystem::path Fixture(const std::string& name) {
  return std::filesystem::path(BREVANT_TAILORING_FIXTURES) / name;
}

// Writes a zip archive of the given parts (name, bytes).
inline void WriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& parts) {
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr)
    throw std::runtime_error("zip_open failed");
  for (const auto& [name, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    if (source == nullptr || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
      zip_source_free(source);
      zip_discard(archive);
      throw std::runtime_error("zip_file_add failed");
    }
  }
  if (zip_close(archive) != 0)
    throw std::runtime_error("zip_close failed");
}

// One part of a zip archive; empty when it is missing.
inline std::string ReadZipPart(const std::filesystem::path& file, const std::string& name) {
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY, &error);
  if (archive == nullptr)
    return {};
  std::string bytes;
  if (zip_file_t* part = zip_fopen(archive, name.c_str(), 0)) {
    char buffer[4096];
    zip_int64_t n = 0;
    while ((n = zip_fread(part, buffer, sizeof buffer)) > 0)
      bytes.append(buffer, static_cast<std::size_t>(n));
    zip_fclose(part);
  }
  zip_discard(archive);
  return bytes;
}

inline std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

// A minimal workbook whose first sheet holds these rows as inline strings;
// an empty text leaves its cell out.
inline void WriteInlineSheet(const std::filesystem::path& file,
                             const std::vector<std::vector<std::string>>& rows) {
  std::string cells;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    cells += "<row r=\"" + std::to_string(r + 1) + "\">";
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      if (rows[r][c].empty())
        continue;
      std::string column;
      for (std::size_t n = c + 1; n > 0; n = (n - 1) / 26)
        column.insert(column.begin(), static_cast<char>('A' + (n - 1) % 26));
      cells += "<c r=\"" + column + std::to_string(r + 1) +
               "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" + XmlEscaped(rows[r][c]) +
               "</t></is></c>";
    }
    cells += "</row>";
  }
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  WriteZip(file, {
                     {"_rels/.rels",
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                          rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
                     {"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                                             "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
                                             "r:id=\"rId1\"/></sheets></workbook>"},
                     {"xl/_rels/workbook.xml.rels",
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                          rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
                     {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + main + "\"><sheetData>" +
                                                      cells + "</sheetData></worksheet>"},
                 });
}

}  // namespace brevant::testing
