#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tailoring/device_fields.h"

namespace brevant {

// The configuration file in XML form is handled line by line with plain text
// search, never parsed: entries are lines holding <Value Name="X" Value="..."/>.

// Decodes the entities of a value read from the file (&amp; &lt; &gt; &quot;
// &apos; and numeric references); unknown ones stay as they are.
std::string DecodeXmlEntities(std::string_view value);
// Escapes a value for the file: & < > and the quotation mark, and control
// characters (line breaks included) as character references.
std::string EscapeXmlValue(std::string_view value);

// The template fields of a configuration file's text.
DeviceFieldRecord ReadXmlTemplateText(std::string_view text);
// False only when the file cannot be read.
bool ReadXmlTemplate(const std::filesystem::path& path, DeviceFieldRecord& fields);

// One device's file from the chosen one: the entries the row has a column for
// get the row's values, every other line stays as it is; the line count is
// kept and every line ends with CR LF.
std::string RewriteXmlText(bool dualBand, const DeviceFieldRecord& row, std::string_view source);
// False when the source cannot be read or the output cannot be written.
bool RewriteXml(bool dualBand, const DeviceFieldRecord& row, const std::filesystem::path& source,
                const std::filesystem::path& output);

// ModifyXml/ beside the executable.
std::filesystem::path DefaultXmlFolder();

// Makes <folder>/<MAC without colons>.xml into *written: rewritten from the
// row when the source is tailored, else a plain copy of the chosen file.
// False, with the note to show in *note, when the file cannot be made.
bool WriteDeviceXml(const DeviceFileSource& source, const DeviceFieldRecord& row,
                    const std::string& mac, const std::filesystem::path& folder,
                    std::filesystem::path* written, std::string* note = nullptr);

// Shared by the XML and JSON per-device files: copies the chosen file over
// the device's; false, with the note to show, when that fails.
bool CopyConfigurationFile(const std::filesystem::path& source,
                           const std::filesystem::path& destination, std::string* note = nullptr);

}  // namespace brevant
