#pragma once
// Filling the TargetList from what the user chose: items dropped on the main
// window's buttons (files and folders, folders expanded), or one file picked
// in the open dialog. Every refusal and failure is told through message
// boxes owned by the caller's window; a non-zero result has been reported.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "targets/target_list.h"
#include "ui/message_box.h"

namespace kestrove::targets {

inline constexpr const char* kLimitMessage =
    "１回のファイル変換の最大数：2560個を超えています。分割して実行してください。";
inline constexpr const char* kAttributeQuestion =
    "読込み専用ファイル、隠しファイルが含まれています。それ以外のファイルのみ処理を行いますか？";
inline constexpr const char* kProtectedMessage = "Windowsフォルダまたはルートフォルダは処理出来ません。\n";
inline constexpr const char* kNothingToConvert = "変換対象となるファイルがありませんでした。";

// Results of the selection operations.
inline constexpr int kSelectionDone = 0;
inline constexpr int kSelectionExpansionFailed = -4;  // reported, or the limit (caller reports)
inline constexpr int kSelectionNothing = -3;
inline constexpr int kSelectionRefused = -7;          // refused, cancelled or over the limit

struct SelectionContext {
  platform::FileSystem& fs;
  ui::MessageBoxView& boxes;      // owned by the caller's window
  std::string system_directory;   // for the protected-folder test
  std::int32_t include_subfolders = 1;
};

// Walks `folder` and appends its plain files to `paths` (at most 2560 in
// all). `recurse` 1 descends into subfolders, depth first; other values skip
// them. Entries with the system attribute are skipped silently; read-only
// and hidden ones (folders not entered) after the attribute question, asked
// once while flags.attribute_question_answered is clear.
// 0 done; -4 a failure (reported) or the limit (flags.limit_exceeded set,
// not reported), or a Cancel in a subfolder; -7 Cancel in this folder.
int expand_folder(SelectionContext& context, const std::string& folder, std::vector<std::string>& paths,
                  std::int32_t recurse, SelectionFlags& flags);

// Items dropped on the encrypt or decrypt button, in drop order. 0 when the
// list was filled (count, entries from 0, base folder); -3
// nothing to convert; -7 refused, cancelled or over 2560 files; -4 (or -7)
// from the folder expansion; a Win32 error code when a dropped item's
// attributes cannot be read. A refused drop leaves the list as it was.
int add_dropped_items(SelectionContext& context, TargetList& list, const std::vector<std::string>& dropped);

enum class ChosenFor { encryption, decryption };
enum class ChoiceOutcome {
  run,      // the list holds the file; the caller starts the conversion
  refused,  // refused for its attributes (the choice's result is 1)
  failed,   // reported; the choice's result is 0
};

// The checks on one file picked in the open dialog, before its run: its
// attributes, the protected-folder test; on success the list holds it alone.
ChoiceOutcome accept_chosen_file(SelectionContext& context, TargetList& list, const std::string& path,
                                 ChosenFor purpose);

}  // namespace kestrove::targets
