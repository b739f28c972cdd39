#include "platform/posix/profile_text.h"

#include "text/cp932.h"

namespace kestrove::platform::posix {
namespace {

constexpr std::size_t npos = std::string::npos;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (text::is_lead_byte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

ProfileText::ProfileText(std::string_view bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == npos) {
      lines_.push_back({std::string(bytes.substr(start)), ""});
      break;
    }
    const std::size_t end_size = (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n') ? 2 : 1;
    lines_.push_back({std::string(bytes.substr(start, stop - start)), std::string(bytes.substr(stop, end_size))});
    start = stop + end_size;
  }
}

ProfileText::Parsed ProfileText::parse(const std::string& text) {
  Parsed parsed;
  std::string_view line = text;
  while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
  if (line.empty() || line.front() == ';') return parsed;
  if (line.front() == '[') {
    line.remove_prefix(1);
    const std::size_t close = text::find_char(line, ']');
    parsed.kind = Kind::section;
    parsed.name = trim_blanks(close == text::npos ? line : line.substr(0, close));
    return parsed;
  }
  const std::size_t equals = text::find_char(line, '=');
  if (equals == text::npos) return parsed;
  parsed.kind = Kind::entry;
  parsed.name = trim_blanks(line.substr(0, equals));
  parsed.value = trim_blanks(line.substr(equals + 1));
  return parsed;
}

std::size_t ProfileText::find_section(std::string_view section, std::size_t& end) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Parsed p = parse(lines_[i].text);
    if (p.kind != Kind::section || !same_name(p.name, section)) continue;
    end = i + 1;
    while (end < lines_.size() && parse(lines_[end].text).kind != Kind::section) ++end;
    return i;
  }
  end = lines_.size();
  return npos;
}

std::size_t ProfileText::find_entry(std::size_t begin, std::size_t end, std::string_view key) const {
  for (std::size_t i = begin; i < end; ++i) {
    const Parsed p = parse(lines_[i].text);
    if (p.kind == Kind::entry && same_name(p.name, key)) return i;
  }
  return npos;
}

std::optional<std::string> ProfileText::find(std::string_view section, std::string_view key) const {
  std::size_t end = 0;
  const std::size_t header = find_section(section, end);
  if (header == npos) return std::nullopt;
  const std::size_t line = find_entry(header + 1, end, key);
  if (line == npos) return std::nullopt;
  std::string_view value = parse(lines_[line].text).value;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  const std::size_t nul = value.find('\0');
  if (nul != npos) value = value.substr(0, nul);
  return std::string(value);
}

bool ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
  std::size_t end = 0;
  const std::size_t header = find_section(section, end);
  if (header == npos) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.push_back({std::string(key) + "=" + std::string(value), "\r\n"});
    return true;
  }
  const std::size_t line = find_entry(header + 1, end, key);
  if (line != npos) {
    const Parsed p = parse(lines_[line].text);
    if (p.value == value) return false;
    lines_[line].text = std::string(p.name) + "=" + std::string(value);  // the name keeps its spelling
    return true;
  }
  std::size_t after = header;
  for (std::size_t i = header + 1; i < end; ++i) {
    if (parse(lines_[i].text).kind == Kind::entry) after = i;
  }
  if (lines_[after].end.empty()) lines_[after].end = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                Line{std::string(key) + "=" + std::string(value), "\r\n"});
  return true;
}

bool ProfileText::remove_key(std::string_view section, std::string_view key) {
  std::size_t end = 0;
  const std::size_t header = find_section(section, end);
  if (header == npos) return false;
  const std::size_t line = find_entry(header + 1, end, key);
  if (line == npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  return true;
}

bool ProfileText::remove_section(std::string_view section) {
  std::size_t end = 0;
  const std::size_t header = find_section(section, end);
  if (header == npos) return false;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i == header) continue;
    if (i > header && i < end && parse(lines_[i].text).kind == Kind::entry) continue;
    kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
  return true;
}

std::string ProfileText::bytes() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.end;
  }
  return out;
}

}  // namespace kestrove::platform::posix
