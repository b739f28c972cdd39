// cp3tool: looks into, writes and opens single cp3 files with a raw key, for
// a support desk and for tests. Output appears only when complete.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "conversion/cp3_codec.h"
#include "conversion/cp3_format.h"
#include "conversion/error_text.h"
#include "conversion/file_operations.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "text/cp932.h"

namespace {

using namespace kestrove;
using conversion::StepFailure;

constexpr const char* kUsage =
    "使い方:\n"
    "  cp3tool info FILE\n"
    "  cp3tool encrypt --key KEY --algorithm 1|2 [--group] [--force] IN OUT\n"
    "  cp3tool decrypt --key KEY [--force] FILE OUT\n"
    "KEY は 8 文字のキー (cp2 ファイルでは個人キーの文字列) です。\n";

int report(const std::string& message) {
  platform::write_console(stderr, message + "\n");
  return 1;
}

int report_error(const char* first_line) {
  return report(conversion::compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error())));
}

struct Arguments {
  std::string command;
  std::string key;
  std::uint32_t algorithm = 0;
  bool group = false;
  bool force = false;
  std::vector<std::string> files;
};

bool parse(int argc, char** argv, Arguments& args) {
  if (argc < 2) return false;
  args.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--key" && i + 1 < argc) {
      args.key = argv[++i];
    } else if (a == "--algorithm" && i + 1 < argc) {
      const std::string v = argv[++i];
      if (v != "1" && v != "2") return false;
      args.algorithm = static_cast<std::uint32_t>(std::stoul(v));
    } else if (a == "--group") {
      args.group = true;
    } else if (a == "--force") {
      args.force = true;
    } else if (a.rfind("--", 0) == 0) {
      return false;
    } else {
      platform::Path path;
      if (!platform::from_native_path(a, path)) {
        report("ファイル名に使えない文字が含まれています: " + a);
        return false;
      }
      args.files.push_back(path);
    }
  }
  return true;
}

platform::File open_for_reading(const std::string& path) {
  return platform::system_file_system().open(path, platform::FileAccess::read, platform::FileCreation::open_existing,
                                             platform::share::read);
}

// A new file beside `target`, removed again unless committed.
class OutputBeside {
 public:
  explicit OutputBeside(std::string target) : target_(std::move(target)) {}
  ~OutputBeside() {
    file_.reset();
    if (!committed_ && !temporary_.empty()) platform::system_file_system().delete_file(temporary_);
  }
  OutputBeside(const OutputBeside&) = delete;
  OutputBeside& operator=(const OutputBeside&) = delete;

  bool create() {
    auto& fs = platform::system_file_system();
    const std::string folder = conversion::folder_of(target_);
    for (std::uint32_t attempt = 0; attempt < 100; ++attempt) {
      const std::string name = folder + "\\~cp3tool" +
                               conversion::random_hex_text(8, static_cast<std::uint32_t>(std::time(nullptr)) + attempt) +
                               ".tmp";
      file_ = fs.open(name, platform::FileAccess::write, platform::FileCreation::create_new, platform::share::none);
      if (file_) {
        temporary_ = name;
        return true;
      }
      if (platform::last_error() != platform::error::file_exists) return false;
    }
    return false;
  }
  platform::OpenFile& file() { return *file_; }

  bool commit(bool force) {
    file_.reset();
    auto& fs = platform::system_file_system();
    if (force && !fs.delete_file(target_) && platform::last_error() == platform::error::access_denied) return false;
    if (!fs.move_file(temporary_, target_)) return false;
    committed_ = true;
    return true;
  }

 private:
  std::string target_;
  std::string temporary_;
  platform::File file_;
  bool committed_ = false;
};

std::string hex(const std::uint8_t* p, std::size_t n) {
  std::string out;
  char b[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    out += b;
  }
  return out;
}

int run_info(const Arguments& args) {
  if (args.files.size() != 1) return report(kUsage);
  platform::File file = open_for_reading(args.files[0]);
  if (!file) return report_error("ファイルのオープンに失敗しました。<4>");
  std::uint64_t size = 0;
  file->size(size);
  StepFailure failure;
  char line[512];
  if (text::has_extension(args.files[0], ".cp2")) {
    conversion::Cp2Header header;
    if (!conversion::read_cp2_header(*file, header, failure)) return report(failure.message);
    std::snprintf(line, sizeof line, "format: cp2\nfile_size: %llu\nchunk_size: %u\nmode: %u\nkey_check: %s\n",
                  static_cast<unsigned long long>(size), header.chunk_size, header.mode,
                  hex(header.key_check.data(), 8).c_str());
    platform::write_console(stdout, line);
    return 0;
  }
  conversion::Cp3Header h;
  if (!conversion::read_cp3_header(*file, h, failure)) return report(failure.message);
  std::uint64_t plain = 0;
  conversion::plain_size_of(h, size, plain);
  std::snprintf(line, sizeof line,
                "format: cp3\nmagic: %s\nfile_size: %llu\nplain_size: %llu\ninfo_offset: %u\nkeycheck_offset: %u\n"
                "body_offset: %u\nalgorithm: %u (%s)\nis_group: %u\nchunk_size: %u\nfixed_eight: %u\nfixed_chunk: %u\n"
                "digest: %s\nkey_check: %s\n",
                hex(h.offsets.magic.data(), 4).c_str(), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(plain), h.offsets.info_offset, h.offsets.keycheck_offset,
                h.offsets.body_offset, h.info.algorithm, h.info.algorithm == 2 ? "AES-128" : "DES", h.info.is_group,
                h.info.chunk_size, h.info.fixed_eight, h.info.fixed_chunk, hex(h.info.digest.data(), 16).c_str(),
                hex(h.key_check.data(), 8).c_str());
  platform::write_console(stdout, line);
  return 0;
}

bool key_is_valid(const std::string& key, std::size_t length) {
  if (key.size() != length) return false;
  for (unsigned char c : key) {
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

int run_encrypt(const Arguments& args) {
  if (args.files.size() != 2 || args.algorithm == 0) return report(kUsage);
  if (!key_is_valid(args.key, 8)) return report("キーは半角 8 文字で指定してください。");
  auto& fs = platform::system_file_system();
  if (!args.force && fs.get_attributes(args.files[1]) != platform::attribute::invalid)
    return report(conversion::compose_error_text("出力ファイルが既に存在します。", 183));
  platform::File plain = fs.open(args.files[0], platform::FileAccess::read, platform::FileCreation::open_existing,
                                 platform::share::read);
  if (!plain) return report_error("ファイルのオープンに失敗しました。<1>");
  std::uint64_t size = 0;
  if (!plain->size(size)) return report_error("ファイル操作に失敗しました。<4>");
  OutputBeside out(args.files[1]);
  if (!out.create()) return report_error("ファイルのオープンに失敗しました。<10>");
  conversion::EncryptParameters parameters{args.key, args.algorithm, args.group};
  StepFailure failure;
  if (!conversion::write_cp3(*plain, size, out.file(), parameters, nullptr, failure)) return report(failure.message);
  platform::FileTimes times;
  if (plain->get_times(times)) out.file().set_times(times);
  if (!out.commit(args.force))
    return report_error("ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。");
  return 0;
}

int run_decrypt(const Arguments& args) {
  if (args.files.size() != 2 || args.key.empty() || args.key.size() > 8) return report(kUsage);
  auto& fs = platform::system_file_system();
  if (!args.force && fs.get_attributes(args.files[1]) != platform::attribute::invalid)
    return report(conversion::compose_error_text("出力ファイルが既に存在します。", 183));
  const bool cp2 = text::has_extension(args.files[0], ".cp2");
  platform::File source = open_for_reading(args.files[0]);
  if (!source) return report_error(cp2 ? "ファイルのオープンに失敗しました。<6>" : "ファイルのオープンに失敗しました。<4>");
  std::uint64_t size = 0;
  if (!source->size(size)) return report_error("ファイル操作に失敗しました。<11>");
  StepFailure failure;
  const char* not_yours = "暗号ファイルは他の人が作成したか、またはファイル内容が変更されています。";
  OutputBeside out(args.files[1]);
  if (cp2) {
    conversion::Cp2Header header;
    if (!conversion::read_cp2_header(*source, header, failure)) return report(failure.message);
    const int fits = conversion::check_cp2_key(header.key_check, args.key);
    if (fits < 0) return report("ファイルの復号化に失敗しました。<3>：0");
    if (fits == 0) return report(not_yours);
    if (!out.create()) return report_error("ファイルのオープンに失敗しました。<7>");
    if (!conversion::read_cp2_body(*source, size, header, args.key, out.file(), nullptr, failure))
      return report(failure.message);
  } else {
    conversion::Cp3Header header;
    if (!conversion::read_cp3_header(*source, header, failure)) return report(failure.message);
    const std::string keys[] = {args.key};
    std::size_t index = 0;
    const int found = conversion::find_file_key(header.key_check, keys, index);
    if (found < 0) return report("ファイルの復号化に失敗しました。<1>：0");
    if (found == 0 || conversion::verify_first_chunk(*source, args.key, header, size) != 1) return report(not_yours);
    if (!out.create()) return report_error("ファイルのオープンに失敗しました。<5>");
    if (!conversion::read_cp3_body(*source, size, header, args.key, out.file(), nullptr, failure))
      return report(failure.message);
  }
  platform::FileTimes times;
  if (source->get_times(times)) out.file().set_times(times);
  if (!out.commit(args.force))
    return report_error("ファイルの書き込みに失敗しました。変換先ドライブ／ファイル名などを確認してください。");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!parse(argc, argv, args)) return report(kUsage), 2;
  if (args.command == "info") return run_info(args);
  if (args.command == "encrypt") return run_encrypt(args);
  if (args.command == "decrypt") return run_decrypt(args);
  report(kUsage);
  return 2;
}
