#pragma once
// Choosing the key of the next encryption: the personal key, or, when the
// option to use group keys is on, any entry of the key set picked by the
// user in the key choice dialog.
#include <cstdint>
#include <string>
#include <vector>

#include "keys/key_set.h"
#include "ui/key_views.h"

namespace kestrove::keys {

// Copies entry `index` into `current`; is_group is set for every entry but
// 0. False, with `current` unchanged, when the key set has no such entry
// (after a failed key loading): the caller abandons the encryption.
bool select_key(const KeySet& key_set, int index, CurrentKey& current);

// One line per entry in key-set order: the name, and "(グループ)" after the
// name of every entry but 0.
std::vector<std::string> key_choice_lines(const KeySet& key_set);

// Dialogs 109 and 128: 1 when a key was chosen and confirmed (`current`
// set), 0 when the user cancelled.
int run_key_choice_dialog(const KeySet& key_set, CurrentKey& current, ui::KeyChoiceView& view,
                          ui::KeyChoiceDialog dialog);

// Before an encryption: with use_group_key 1 the key choice dialog 109,
// otherwise entry 0 without asking. 1 chosen, 0 abandon.
int choose_current_key(std::int32_t use_group_key, const KeySet& key_set, CurrentKey& current,
                       ui::KeyChoiceView& view);

// The horizontal extent of list 1037 after fitting: the widest name
// (`widths` in pixels, a negative width is a failed measurement and is
// skipped) plus the scroll bar, the margin and 5. 0 when nothing was
// measured, which leaves the list box's extent alone.
std::int32_t fitted_horizontal_extent(const std::vector<std::int32_t>& widths, std::int32_t scroll_bar_width,
                                      std::int32_t margin);
// "水平スクロールバーの設定に失敗しました。(エラーコード: 5)"
std::string horizontal_extent_failure_text(std::int32_t code);

}  // namespace kestrove::keys
