#include "targets/selection.h"

#include "conversion/error_text.h"
#include "targets/path_rules.h"
#include "text/cp932.h"

namespace kestrove::targets {
namespace {

namespace attribute = platform::attribute;

constexpr std::uint32_t kSkippedWithQuestion = attribute::read_only | attribute::hidden;

int show_failure(SelectionContext& context, const std::string& text) {
  return context.boxes.show(text, ui::kCaptionNotice, ui::mb::error_box);
}

int show_refusal(SelectionContext& context, const std::string& text) {
  return context.boxes.show(text, ui::kCaptionNotice, ui::mb::warning_box);
}

std::string attribute_failure(const char* first_line) {
  return conversion::compose_error_text(first_line, static_cast<std::int32_t>(platform::last_error()));
}

// The question about read-only and hidden files, asked once per drop.
// False when the user cancelled.
bool may_skip_protected_files(SelectionContext& context, SelectionFlags& flags) {
  if (flags.attribute_question_answered) return true;
  if (context.boxes.show(kAttributeQuestion, ui::kCaptionConfirm, ui::mb::question_box) != ui::answer::ok)
    return false;
  flags.attribute_question_answered = true;
  return true;
}

std::string join(const std::string& folder, const std::string& name) {
  return text::ends_with_char(folder, '\\') ? folder + name : folder + "\\" + name;
}

}  // namespace

int expand_folder(SelectionContext& context, const std::string& folder, std::vector<std::string>& paths,
                  std::int32_t recurse, SelectionFlags& flags) {
  if (flags.limit_exceeded) return kSelectionExpansionFailed;
  std::vector<platform::DirectoryEntry> entries;
  if (!context.fs.list_directory(folder, entries)) {
    show_failure(context, attribute_failure("ファイルの属性の取得に失敗しました。<6>"));
    return kSelectionExpansionFailed;
  }
  for (const platform::DirectoryEntry& entry : entries) {
    const std::string path = join(folder, entry.name);
    const std::uint32_t attributes = context.fs.get_attributes(path);
    if (attributes == attribute::invalid) {
      show_failure(context, attribute_failure("ファイルの属性の取得に失敗しました。<2>"));
      return kSelectionExpansionFailed;
    }
    if (attributes & attribute::system) continue;
    if (attributes & kSkippedWithQuestion) {
      if (!may_skip_protected_files(context, flags)) return kSelectionRefused;
      continue;
    }
    if (attributes & attribute::directory) {
      if (recurse != 1) continue;
      if (expand_folder(context, path, paths, recurse, flags) != kSelectionDone) return kSelectionExpansionFailed;
      continue;
    }
    if (paths.size() >= static_cast<std::size_t>(kTargetCapacity)) {
      flags.limit_exceeded = true;
      return kSelectionExpansionFailed;
    }
    paths.push_back(path);
  }
  return kSelectionDone;
}

int add_dropped_items(SelectionContext& context, TargetList& list, const std::vector<std::string>& dropped) {
  list.flags.attribute_question_answered = false;
  list.flags.limit_exceeded = false;
  // Collected apart and taken over only when the whole drop is accepted.
  std::vector<std::string> paths;
  std::string base_folder;
  for (std::size_t index = 0; index < dropped.size(); ++index) {
    const std::string& path = dropped[index];
    if (!is_path_allowed(path, context.system_directory)) {
      show_refusal(context, kProtectedMessage);
      return kSelectionRefused;
    }
    if (index == 0) base_folder = record_base_folder(path);
    const std::uint32_t attributes = context.fs.get_attributes(path);
    if (attributes == attribute::invalid) {
      const platform::ErrorCode code = platform::last_error();
      show_failure(context, attribute_failure("ファイルの属性の取得に失敗しました。<1>"));
      return static_cast<int>(code);
    }
    if (attributes & attribute::directory) {
      const int result = expand_folder(context, path, paths, context.include_subfolders, list.flags);
      if (result != kSelectionDone) {
        if (list.flags.limit_exceeded) show_refusal(context, kLimitMessage);
        return result;
      }
      continue;
    }
    if (attributes & (kSkippedWithQuestion | attribute::system)) {
      if (!may_skip_protected_files(context, list.flags)) return kSelectionRefused;
      continue;
    }
    if (paths.size() >= static_cast<std::size_t>(kTargetCapacity)) {
      show_refusal(context, kLimitMessage);
      return kSelectionRefused;
    }
    paths.push_back(path);
  }
  if (paths.empty()) {
    show_refusal(context, kNothingToConvert);
    return kSelectionNothing;
  }
  list.assign(paths);
  list.base_folder = base_folder;
  return kSelectionDone;
}

ChoiceOutcome accept_chosen_file(SelectionContext& context, TargetList& list, const std::string& path,
                                 ChosenFor purpose) {
  const std::uint32_t attributes = context.fs.get_attributes(path);
  if (attributes == attribute::invalid) {
    show_refusal(context, attribute_failure("ファイルの属性の取得に失敗しました。"));
    return ChoiceOutcome::failed;
  }
  if (attributes & (kSkippedWithQuestion | attribute::system)) {
    show_refusal(context, purpose == ChosenFor::encryption ? "読込み専用ファイル、隠しファイルは暗号化できません。"
                                                           : "読込み専用ファイル、隠しファイルは復号化できません。");
    return ChoiceOutcome::refused;
  }
  if (!is_path_allowed(path, context.system_directory)) {
    show_refusal(context, kProtectedMessage);
    return ChoiceOutcome::failed;
  }
  list.assign({path});
  list.base_folder = record_base_folder(path);
  return ChoiceOutcome::run;
}

}  // namespace kestrove::targets
