// keyloft: prepares the user's key device. It writes the key records of the
// settings file "qevlink.ini" (the personal key and record key for the
// password, and group keys shared with colleagues), which the program reads
// and checks against the record key kept on each PC. It also copies the
// settings file to a backup and puts a backup on a new device.
#include <cstdio>
#include <string>
#include <vector>

#include "conversion/error_text.h"
#include "keys/device_lock.h"
#include "keys/key_device_setup.h"
#include "keys/key_scheme.h"
#include "keys/key_services.h"
#include "keys/settings_file.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "text/cp932.h"
#include "tools/keyloft/terminal_input.h"

namespace {

using namespace kestrove;
using keys::SetupStatus;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "使い方:\n"
    "  keyloft create DEVICE [--force]            キー情報を作成します。\n"
    "  keyloft add-group DEVICE --name NAME [--key KEY]\n"
    "                                             グループキーを追加します。\n"
    "  keyloft list DEVICE                        グループの一覧を表示します。\n"
    "  keyloft passwd DEVICE                      パスワードを変更します。\n"
    "  keyloft backup DEVICE FILE                 キー情報を FILE にバックアップします。\n"
    "  keyloft restore FILE DEVICE                バックアップ FILE からキー情報を復元します。\n"
    "DEVICE はキーデバイスのドライブ (E:\\ など) またはフォルダです。\n"
    "パスワードは半角英数字6文字です。KEY は半角の英数字・記号8文字です。\n";

void say(const std::string& text) { platform::write_console(stdout, text + "\n"); }

int fail(const std::string& text) {
  platform::write_console(stderr, text + "\n");
  return kFailure;
}

int usage() {
  platform::write_console(stderr, kUsage);
  return kUsageError;
}

struct Arguments {
  std::string command;
  std::string device;  // the device root in Windows form, ending in "\"
  std::string file;    // backup and restore: the backup file in Windows form
  std::string name;
  std::string key;
  bool has_name = false;
  bool has_key = false;
  bool force = false;
};

// The device root from its argument; false after the message.
bool device_path(const std::string& argument, Arguments& args, int& status) {
  if (!platform::from_native_path(argument, args.device)) {
    status = kFailure;
    fail("ドライブ名またはフォルダ名に使えない文字が含まれています: " + argument);
    return false;
  }
  if (!text::ends_with_char(args.device, '\\')) args.device += '\\';
  return true;
}

// "backup DEVICE FILE" and "restore FILE DEVICE", without options.
bool parse_backup(int argc, char** argv, Arguments& args, int& status) {
  if (argc != 4 || std::string(argv[2]).rfind("--", 0) == 0 || std::string(argv[3]).rfind("--", 0) == 0) {
    return usage(), false;
  }
  const bool backup = args.command == "backup";
  const std::string file_argument = argv[backup ? 3 : 2];
  if (!device_path(argv[backup ? 2 : 3], args, status)) return false;
  if (!platform::from_native_path(file_argument, args.file)) {
    status = kFailure;
    fail("ファイル名に使えない文字が含まれています: " + file_argument);
    return false;
  }
  return true;
}

// Parses the command line; on a mistake shows what is wrong and returns false.
bool parse(int argc, char** argv, Arguments& args, int& status) {
  status = kUsageError;
  if (argc < 3) return usage(), false;
  args.command = argv[1];
  if (args.command != "create" && args.command != "add-group" && args.command != "list" && args.command != "passwd" &&
      args.command != "backup" && args.command != "restore") {
    return usage(), false;
  }
  if (args.command == "backup" || args.command == "restore") return parse_backup(argc, argv, args, status);
  std::string device_argument;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--force" && args.command == "create") {
      args.force = true;
    } else if ((a == "--name" || a == "--key") && args.command == "add-group" && i + 1 < argc) {
      std::string text;
      if (!keyloft::argument_text(argv[++i], text)) {
        status = kFailure;
        fail(a == "--name" ? "グループ名に使えない文字が含まれています。" : "キーに使えない文字が含まれています。");
        return false;
      }
      (a == "--name" ? args.name : args.key) = text;
      (a == "--name" ? args.has_name : args.has_key) = true;
    } else if (a.rfind("--", 0) != 0 && device_argument.empty()) {
      device_argument = a;
    } else {
      return usage(), false;
    }
  }
  if (device_argument.empty() || (args.command == "add-group" && !args.has_name)) return usage(), false;
  return device_path(device_argument, args, status);
}

// The device must be a folder that exists.
bool check_device(const std::string& device) {
  auto& files = platform::system_file_system();
  const std::uint32_t attributes = files.get_attributes(device);
  if (attributes == platform::attribute::invalid) {
    fail(conversion::compose_error_text("キーデバイスが見つかりません。(" + device + ")",
                                        static_cast<std::int32_t>(platform::last_error())));
    return false;
  }
  if ((attributes & platform::attribute::directory) == 0) {
    fail("キーデバイスにはドライブまたはフォルダを指定してください。(" + device + ")");
    return false;
  }
  return true;
}

// Asks for a password. A new one is asked twice at a terminal; read from a
// pipe or a file, each password is one line.
bool ask_password(const char* prompt, bool is_new, std::string& password) {
  const bool terminal = keyloft::input_is_terminal();
  if (terminal) platform::write_console(stderr, prompt);
  if (!keyloft::read_secret_line(password)) {
    fail("パスワードが入力されていません。");
    return false;
  }
  if (!keys::is_valid_password(password)) {
    fail("パスワードは半角英数字6文字で入力してください。");
    return false;
  }
  if (is_new && terminal) {
    platform::write_console(stderr, "確認のため、もう一度入力してください：");
    std::string again;
    if (!keyloft::read_secret_line(again) || again != password) {
      fail("パスワードが一致しません。");
      return false;
    }
  }
  return true;
}

// A yes-or-no question: only "y" or "はい" is a yes; anything else and the
// end of input are a no.
bool ask_yes(const std::string& question) {
  platform::write_console(stderr, question + " (y/n)：");
  std::string answer;
  const bool answered = platform::read_console_line(answer);
  // A line typed at a terminal shows its own line end.
  if (!answered || !keyloft::input_is_terminal()) platform::write_console(stderr, "\n");
  if (!answered) return false;
  while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\r')) answer.pop_back();
  return answer == "y" || answer == "Y" || answer == "はい";
}

int report(const keys::SetupOutcome& outcome) {
  switch (outcome.status) {
    case SetupStatus::done:
      return kSuccess;
    case SetupStatus::already_prepared:
      return fail("このデバイスには既にキー情報があります。作り直す場合は --force を指定してください。\n"
                  "(作り直すと、今までのキー情報とグループキーは使えなくなります。)");
    case SetupStatus::no_key_data:
      return fail("キー情報がありません。先に「keyloft create」でキー情報を作成してください。");
    case SetupStatus::wrong_password:
      return fail("入力したパスワードが間違っているかキー情報が不正です。");
    case SetupStatus::group_exists:
      return fail("同じ名前のグループが既に登録されています。");
    case SetupStatus::no_random:
      return fail("乱数の生成に失敗しました。");
    case SetupStatus::damaged:
      return fail("キー情報が壊れています。");
    case SetupStatus::file_exists:
      return fail("同じ名前のファイルが既にあります。");
    case SetupStatus::read_failed:
      return fail(conversion::compose_error_text("ファイルの読込みに失敗しました。", static_cast<std::int32_t>(outcome.error)));
    case SetupStatus::device_changed:
      return fail("確認の後にキーデバイスのキー情報が変わりました。もう一度やり直してください。");
    case SetupStatus::write_failed:
      break;
  }
  return fail(conversion::compose_error_text("ファイルの書き込みに失敗しました。", static_cast<std::int32_t>(outcome.error)));
}

int run_create(const Arguments& args, const keys::KeyServices& services) {
  std::string password;
  if (!ask_password("パスワード（半角英数字6文字）：", true, password)) return kFailure;
  std::string record_key;
  if (!keys::random_key_text(record_key)) return fail("乱数の生成に失敗しました。");
  const keys::SetupOutcome outcome = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::create_key_device(lock, services, args.device, password, record_key, args.force);
  });
  if (outcome.status != SetupStatus::done) return report(outcome);
  say("キー情報を作成しました。(" + keys::settings_path(args.device) + ")");
  return kSuccess;
}

int run_add_group(const Arguments& args, const keys::KeyServices& services) {
  if (!keys::is_valid_group_name(args.name)) {
    return fail("グループ名は1から30バイトで、前後に空白や引用符を付けずに指定してください。");
  }
  std::string key = args.key;
  if (args.has_key && !keys::is_valid_key_text(key)) return fail("キーは半角の英数字・記号8文字で指定してください。");
  std::string password;
  if (!ask_password("パスワード：", false, password)) return kFailure;
  if (!args.has_key && !keys::random_key_text(key, keys::KeyAlphabet::alphanumeric)) return fail("乱数の生成に失敗しました。");
  const keys::SetupOutcome outcome = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::add_group(lock, services, args.device, password, {args.name, key});
  });
  if (outcome.status != SetupStatus::done) return report(outcome);
  say("グループ「" + args.name + "」を追加しました。");
  if (!args.has_key) {
    say("グループキー：" + key);
    say("同じグループの人は、このキーを --key に指定してグループを追加してください。"
        "このキーは二度と表示されません。");
  }
  return kSuccess;
}

int run_list(const Arguments& args, const keys::KeyServices& services) {
  keys::RawKeyRecords raw;
  std::vector<std::string> names;
  const int read = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    const int r = keys::read_key_section(lock, services, args.device, raw);
    if (r == 0) names = keys::group_names(lock, services, args.device);
    return r;
  });
  if (read != 0) return report({SetupStatus::no_key_data, 0});
  if (names.empty()) {
    say("グループは登録されていません。");
    return kSuccess;
  }
  for (std::size_t i = 0; i < names.size(); ++i) say(std::to_string(i + 1) + ": " + names[i]);
  return kSuccess;
}

int run_passwd(const Arguments& args, const keys::KeyServices& services) {
  platform::write_console(stderr,
                          "注意：個人キーで暗号化したファイルは、新しいパスワードでは復号化できません。"
                          "(元のパスワードに戻すと復号化できます。)\n");
  std::string old_password;
  std::string new_password;
  if (!ask_password("現在のパスワード：", false, old_password)) return kFailure;
  if (!ask_password("新しいパスワード（半角英数字6文字）：", true, new_password)) return kFailure;
  const keys::SetupOutcome outcome = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::change_password(lock, services, args.device, old_password, new_password);
  });
  if (outcome.status != SetupStatus::done) return report(outcome);
  say("パスワードを変更しました。");
  return kSuccess;
}

int run_backup(const Arguments& args, const keys::KeyServices& services) {
  const std::string exists = "「" + args.file + "」は既にあります。上書きはしません。"
                             "別のファイル名を指定するか、先にそのファイルを削除してください。";
  if (services.files.get_attributes(args.file) != platform::attribute::invalid) return fail(exists);
  std::string password;
  if (!ask_password("パスワード：", false, password)) return kFailure;
  const keys::SetupOutcome outcome = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::back_up_key_device(lock, services, args.device, password, args.file);
  });
  if (outcome.status == SetupStatus::file_exists) return fail(exists);
  if (outcome.status == SetupStatus::damaged) {
    return fail("キーデバイスのキー情報が壊れているため、バックアップできません。(" + keys::settings_path(args.device) + ")");
  }
  if (outcome.status != SetupStatus::done) return report(outcome);
  say("キー情報をバックアップしました。(" + args.file + ")");
  say("このファイルは、今のパスワードで「keyloft restore」で復元できます。");
  return kSuccess;
}

// What the user is asked before the device's settings file is replaced.
std::string overwrite_question(const keys::RestorePlan& plan, const std::string& settings) {
  using keys::DeviceHolds;
  if (plan.holds == DeviceHolds::other_user) {
    return "キーデバイスには別の利用者のキー情報があります。上書きすると、そのキー情報は失われ、"
           "そのキーで暗号化したファイルはすべて復号化できなくなります。\n上書きしますか？";
  }
  if (plan.holds == DeviceHolds::no_key_data) {
    return "キーデバイスの設定ファイル(" + settings + ")はキー情報として読み取れません。"
           "上書きすると、今の内容は失われます。\n上書きしますか？";
  }
  std::string text = "キーデバイスには、バックアップと同じ利用者の別のキー情報があります。復元すると次のように変わります。\n";
  if (plan.password_differs) {
    text += "・パスワードがバックアップした時のものに戻ります。今のパスワードの個人キーで暗号化したファイルは、"
            "パスワードを今のものに戻すまで復号化できません。\n";
  }
  for (const std::string& name : plan.groups_lost) {
    text += "・グループ「" + name + "」がなくなります。このグループキーで暗号化したファイルは復号化できなくなります。\n";
  }
  for (const std::string& name : plan.groups_rekeyed) {
    text += "・グループ「" + name + "」のキーがバックアップした時のものに戻ります。"
            "今のキーで暗号化したファイルは復号化できなくなります。\n";
  }
  for (const std::string& name : plan.groups_gained) text += "・グループ「" + name + "」が加わります。\n";
  if (!plan.password_differs && plan.groups_lost.empty() && plan.groups_rekeyed.empty() && plan.groups_gained.empty()) {
    text += "・オプションなどの設定がバックアップした時のものに戻ります。\n";
  }
  return text + "上書きしますか？";
}

int run_restore(const Arguments& args, const keys::KeyServices& services) {
  const std::string damaged = "バックアップファイルが壊れています。(" + args.file + ")";
  keys::SettingsBackup backup;
  const keys::SetupOutcome read = keys::read_backup(services, args.file, backup);
  switch (read.status) {
    case SetupStatus::done:
      break;
    case SetupStatus::read_failed:
      return fail(conversion::compose_error_text("バックアップファイルが読めません。(" + args.file + ")",
                                                 static_cast<std::int32_t>(read.error)));
    case SetupStatus::no_key_data:
      return fail("指定したファイルはキー情報のバックアップではありません。(" + args.file + ")");
    default:
      return fail(damaged);
  }
  std::string password;
  if (!ask_password("バックアップのパスワード：", false, password)) return kFailure;
  const keys::SetupOutcome opened = keys::open_backup(services, password, backup);
  if (opened.status == SetupStatus::damaged) return fail(damaged);
  if (opened.status != SetupStatus::done) return report(opened);

  keys::RestorePlan plan;
  keys::with_device_lock(
      [&](const keys::DeviceLock& lock) { return keys::plan_restore(lock, services, args.device, backup, plan); });
  const std::string settings = keys::settings_path(args.device);
  if (plan.holds == keys::DeviceHolds::same_bytes) {
    say("キーデバイスには既にこのバックアップと同じキー情報があります。書き込みは行いませんでした。");
    return kSuccess;
  }
  if (plan.holds != keys::DeviceHolds::nothing && !ask_yes(overwrite_question(plan, settings))) {
    return fail("復元を取りやめました。キーデバイスは変更していません。");
  }
  const keys::SetupOutcome outcome = keys::with_device_lock([&](const keys::DeviceLock& lock) {
    return keys::restore_key_device(lock, services, args.device, backup, plan);
  });
  if (outcome.status != SetupStatus::done) return report(outcome);
  say("キー情報を復元しました。(" + settings + ")");
  return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  int status = kUsageError;
  if (!parse(argc, argv, args, status)) return status;
  if (!check_device(args.device)) return kFailure;
  const keys::KeyServices services = keys::system_key_services();
  if (args.command == "create") return run_create(args, services);
  if (args.command == "add-group") return run_add_group(args, services);
  if (args.command == "list") return run_list(args, services);
  if (args.command == "backup") return run_backup(args, services);
  if (args.command == "restore") return run_restore(args, services);
  return run_passwd(args, services);
}
