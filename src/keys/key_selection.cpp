#include "keys/key_selection.h"

#include <cstdio>

namespace kestrove::keys {

bool select_key(const KeySet& key_set, int index, CurrentKey& current) {
  if (index < 0 || static_cast<std::size_t>(index) >= key_set.entries.size()) return false;
  current.entry = key_set.entries[static_cast<std::size_t>(index)];
  current.is_group = index != 0;
  return true;
}

std::vector<std::string> key_choice_lines(const KeySet& key_set) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < key_set.entries.size(); ++i) {
    lines.push_back(i == 0 ? key_set.entries[i].name : key_set.entries[i].name + "(グループ)");
  }
  return lines;
}

int run_key_choice_dialog(const KeySet& key_set, CurrentKey& current, ui::KeyChoiceView& view,
                          ui::KeyChoiceDialog dialog) {
  ui::KeyChoiceList list;
  list.dialog = dialog;
  list.lines = key_choice_lines(key_set);
  for (const KeyEntry& entry : key_set.entries) list.names.push_back(entry.name);
  list.selected = 0;
  for (;;) {
    const int chosen = view.choose(list);
    if (chosen == ui::kKeyChoiceCancelled) {
      view.close(0);
      return 0;
    }
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= key_set.entries.size()) {
      view.boxes().show("キーが選択されていません。", ui::kCaptionNotice, ui::mb::warning_box);
      continue;
    }
    list.selected = chosen;
    const std::string question = key_set.entries[static_cast<std::size_t>(chosen)].name + "を使用します。よろしいですか？";
    if (view.boxes().show(question, ui::kCaptionConfirm, ui::mb::question_box) == ui::answer::cancel) continue;
    select_key(key_set, chosen, current);
    view.close(1);
    return 1;
  }
}

int choose_current_key(std::int32_t use_group_key, const KeySet& key_set, CurrentKey& current,
                       ui::KeyChoiceView& view) {
  if (use_group_key != 1) return select_key(key_set, 0, current) ? 1 : 0;
  return run_key_choice_dialog(key_set, current, view, ui::KeyChoiceDialog::before_encryption);
}

std::int32_t fitted_horizontal_extent(const std::vector<std::int32_t>& widths, std::int32_t scroll_bar_width,
                                      std::int32_t margin) {
  std::int32_t widest = 0;
  std::int32_t extent = 0;
  for (auto it = widths.rbegin(); it != widths.rend(); ++it) {  // measured from the last entry up
    if (*it < 0) continue;
    const std::int32_t width = *it + scroll_bar_width;
    if (width > widest) {
      widest = width;
      extent = widest + margin + 5;
    }
  }
  return extent;
}

std::string horizontal_extent_failure_text(std::int32_t code) {
  char text[128];
  std::snprintf(text, sizeof text, "水平スクロールバーの設定に失敗しました。(エラーコード: %d)", static_cast<int>(code));
  return text;
}

}  // namespace kestrove::keys
