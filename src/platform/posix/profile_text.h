#pragma once
// The text of an INI file as the Win32 profile functions read and edit it.
// Lines end in CR LF, LF or CR; "[NAME]" opens a section (text after the
// closing bracket is ignored); "KEY=VALUE" inside a section is an entry;
// a line starting with ';' is a comment; anything else is ignored. Names
// compare without regard to ASCII case (a CP932 trail byte is never folded),
// and blanks (space, tab, vertical tab) around names and values do not count.
// Only the first section of a name is seen, and in it the first entry of a
// key. An edit changes only the lines it concerns, so comments and the
// layout of the rest of the file survive, and new lines end in CR LF.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrove::platform::posix {

class ProfileText {
 public:
  explicit ProfileText(std::string_view bytes);

  // The value as GetPrivateProfileStringA returns it: blanks around it
  // removed, then one pair of matching surrounding quotes, and cut at a NUL.
  std::optional<std::string> find(std::string_view section, std::string_view key) const;

  // The edits of WritePrivateProfileStringA; each returns whether the text
  // changed. A new entry goes after the last entry of its section, a new
  // section at the end of the file. Removing a section removes its header
  // and entries and keeps its comments, as Windows does.
  bool set(std::string_view section, std::string_view key, std::string_view value);
  bool remove_key(std::string_view section, std::string_view key);
  bool remove_section(std::string_view section);

  std::string bytes() const;

 private:
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", "\r", or "" for a last line without one
  };
  enum class Kind { other, section, entry };
  struct Parsed {
    Kind kind = Kind::other;
    std::string_view name;
    std::string_view value;  // entries only, blanks removed
  };
  static Parsed parse(const std::string& text);
  // Index of the first header of `section`, or npos; `end` receives the index
  // of the next header (or the line count).
  std::size_t find_section(std::string_view section, std::size_t& end) const;
  std::size_t find_entry(std::size_t begin, std::size_t end, std::string_view key) const;

  std::vector<Line> lines_;
};

// Blanks as the profile functions strip them around names and values.
std::string_view trim_blanks(std::string_view s);
// ASCII case-insensitive comparison of CP932 texts.
bool same_name(std::string_view a, std::string_view b);

}  // namespace kestrove::platform::posix
