#include "platform/posix/registry_file.h"

#include <cstdio>

#include "platform/posix/profile_text.h"
#include "text/cp932.h"

namespace kestrove::platform::posix {
namespace {

constexpr std::size_t npos = std::string::npos;

bool is_root_name(std::string_view name) {
  return same_name(name, "HKEY_CURRENT_USER") || same_name(name, "HKEY_CLASSES_ROOT");
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "xx,xx,..." (blanks allowed around the bytes).
bool parse_hex_bytes(std::string_view text, std::string& bytes) {
  bytes.clear();
  text = trim_blanks(text);
  if (text.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = trim_blanks(text.substr(start, comma == npos ? npos : comma - start));
    if (item.size() != 2 || hex_digit(item[0]) < 0 || hex_digit(item[1]) < 0) return false;
    bytes.push_back(static_cast<char>(hex_digit(item[0]) * 16 + hex_digit(item[1])));
    if (comma == npos) return true;
    start = comma + 1;
  }
}

// A quoted string starting at text[0] == '"'; `rest` gets what follows it.
bool parse_quoted(std::string_view text, std::string& out, std::string_view& rest) {
  out.clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      rest = text.substr(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
      out.push_back(text[++i]);
      continue;
    }
    out.push_back(c);
  }
  return false;
}

bool parse_value_data(std::string_view text, RegistryValueRecord& value) {
  text = trim_blanks(text);
  if (!text.empty() && text.front() == '"') {
    std::string utf8;
    std::string_view rest;
    if (!parse_quoted(text, utf8, rest) || !trim_blanks(rest).empty()) return false;
    if (!text::utf8_to_cp932(utf8, value.data)) return false;
    value.data.push_back('\0');
    value.type = kRegSz;
    return true;
  }
  if (text.rfind("dword:", 0) == 0) {
    const std::string_view digits = trim_blanks(text.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t n = 0;
    for (char c : digits) {
      if (hex_digit(c) < 0) return false;
      n = n * 16 + static_cast<std::uint32_t>(hex_digit(c));
    }
    value.type = 4;
    value.data.clear();
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    return true;
  }
  if (text.rfind("hex:", 0) == 0) {
    value.type = 3;
    return parse_hex_bytes(text.substr(4), value.data);
  }
  if (text.rfind("hex(", 0) == 0) {
    const std::size_t close = text.find("):");
    if (close == npos || close == 4 || close > 12) return false;
    std::uint32_t type = 0;
    for (char c : text.substr(4, close - 4)) {
      if (hex_digit(c) < 0) return false;
      type = type * 16 + static_cast<std::uint32_t>(hex_digit(c));
    }
    value.type = type;
    return parse_hex_bytes(text.substr(close + 2), value.data);
  }
  return false;
}

// "NAME"=data or @=data.
bool parse_value_line(std::string_view line, RegistryValueRecord& value) {
  std::string_view rest;
  if (line.front() == '@') {
    value.name.clear();
    rest = line.substr(1);
  } else {
    std::string utf8;
    if (!parse_quoted(line, utf8, rest) || !text::utf8_to_cp932(utf8, value.name)) return false;
  }
  rest = trim_blanks(rest);
  if (rest.empty() || rest.front() != '=') return false;
  return parse_value_data(rest.substr(1), value);
}

// The logical lines: physical lines joined where one ends in a backslash
// (regedit wraps long hex data that way).
std::vector<std::string> logical_lines(std::string_view utf8) {
  std::vector<std::string> lines;
  std::string current;
  bool continuing = false;
  std::size_t start = 0;
  while (start <= utf8.size()) {
    std::size_t stop = utf8.find('\n', start);
    if (stop == npos) stop = utf8.size();
    std::string_view line = utf8.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trim_blanks(line);
    if (continuing) current += line;
    else current.assign(line);
    continuing = !current.empty() && current.back() == '\\' && current.front() != '[';
    if (continuing) current.pop_back();
    else lines.push_back(std::move(current));
    start = stop + 1;
  }
  if (continuing) lines.push_back(std::move(current));
  return lines;
}

bool same_path(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same_name(a[i], b[i])) return false;
  }
  return true;
}

// The escapes of a quoted REGEDIT4 text.
std::string quoted(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// The text of a REG_SZ that can be written as "text": the bytes end in the
// only NUL, hold no control characters and convert to UTF-8.
bool as_plain_text(const RegistryValueRecord& value, std::string& utf8) {
  if (value.type != kRegSz || value.data.empty() || value.data.back() != '\0') return false;
  const std::string_view body(value.data.data(), value.data.size() - 1);
  for (char c : body) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return text::cp932_to_utf8(body, utf8);
}

// hex data wrapped as regedit does: lines of at most about 80 characters,
// continued with a backslash and two blanks.
std::string hex_data(std::string line, std::string_view bytes) {
  char two[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(bytes[i]));
    line += two;
    if (i + 1 == bytes.size()) break;
    line += ',';
    const std::size_t line_start = line.rfind('\n');
    const std::size_t width = line.size() - (line_start == npos ? 0 : line_start + 1);
    if (width > 76) line += "\\\n  ";
  }
  return line;
}

}  // namespace

bool split_key_path(std::string_view path, std::vector<std::string>& components) {
  components.clear();
  if (path.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = text::find_char(path, '\\', start);
    const std::string_view part = path.substr(start, slash == text::npos ? npos : slash - start);
    if (part.empty()) return false;
    components.emplace_back(part);
    if (slash == text::npos) return true;
    start = slash + 1;
  }
}

RegistryDocument parse_registry_text(std::string_view utf8) {
  RegistryDocument document;
  RegistryKeyRecord* current = nullptr;
  for (const std::string& line : logical_lines(utf8)) {
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      current = nullptr;
      std::string path;
      std::vector<std::string> components;
      if (line.back() != ']' || line.size() < 3 || line[1] == '-') continue;  // "[-KEY]" deletes: not ours
      if (!text::utf8_to_cp932(std::string_view(line).substr(1, line.size() - 2), path)) continue;
      if (!split_key_path(path, components) || components.empty() || !is_root_name(components[0])) continue;
      for (RegistryKeyRecord& key : document.keys) {
        if (same_path(key.path, components)) current = &key;
      }
      if (current == nullptr) {
        document.keys.push_back({std::move(components), {}});
        current = &document.keys.back();
      }
      continue;
    }
    if (current == nullptr || (line.front() != '"' && line.front() != '@')) continue;
    RegistryValueRecord value;
    if (!parse_value_line(line, value)) continue;
    bool replaced = false;
    for (RegistryValueRecord& old : current->values) {
      if (same_name(old.name, value.name)) {
        old = std::move(value);  // a later line wins, as on import
        replaced = true;
        break;
      }
    }
    if (!replaced) current->values.push_back(std::move(value));
  }
  return document;
}

bool format_registry_text(const RegistryDocument& document, std::string& utf8) {
  utf8 = "REGEDIT4\n";
  for (const RegistryKeyRecord& key : document.keys) {
    std::string path;
    for (const std::string& part : key.path) {
      if (!path.empty()) path += '\\';
      path += part;
    }
    std::string path_utf8;
    if (!text::cp932_to_utf8(path, path_utf8)) return false;
    utf8 += "\n[" + path_utf8 + "]\n";
    for (const RegistryValueRecord& value : key.values) {
      std::string name;
      if (value.name.empty()) {
        name = "@";
      } else {
        std::string name_utf8;
        if (!text::cp932_to_utf8(value.name, name_utf8)) return false;
        name = quoted(name_utf8);
      }
      std::string text;
      if (as_plain_text(value, text)) {
        utf8 += name + "=" + quoted(text) + "\n";
      } else if (value.type == 4 && value.data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = n * 256 + static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", n);
        utf8 += name + "=dword:" + digits + "\n";
      } else {
        char prefix[24];
        if (value.type == 3) std::snprintf(prefix, sizeof prefix, "=hex:");
        else std::snprintf(prefix, sizeof prefix, "=hex(%x):", value.type);
        utf8 += hex_data(name + prefix, value.data) + "\n";
      }
    }
  }
  utf8 += "\n";
  return true;
}

}  // namespace kestrove::platform::posix
