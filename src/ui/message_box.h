#pragma once
// Every user message is a message box: text, caption and MessageBoxA flags;
// the answer is the Win32 button id. A Win32 box, a terminal prompt and a
// scripted test view all answer the same way.
#include <cstdint>
#include <string>

namespace kestrove::ui {

inline constexpr const char* kCaptionNotice = "注意　- ケストローブ";   // failures and refusals
inline constexpr const char* kCaptionConfirm = "確認　- ケストローブ";  // questions, "done"
inline constexpr const char* kCaptionWarning = "警告　- ケストローブ";  // unsupported system

namespace mb {
inline constexpr std::uint32_t ok = 0x0;
inline constexpr std::uint32_t ok_cancel = 0x1;
inline constexpr std::uint32_t yes_no_cancel = 0x3;
inline constexpr std::uint32_t yes_no = 0x4;
inline constexpr std::uint32_t retry_cancel = 0x5;
inline constexpr std::uint32_t icon_hand = 0x10;
inline constexpr std::uint32_t icon_question = 0x20;
inline constexpr std::uint32_t icon_warning = 0x30;
inline constexpr std::uint32_t icon_information = 0x40;
inline constexpr std::uint32_t set_foreground = 0x10000;
inline constexpr std::uint32_t topmost = 0x40000;
inline constexpr std::uint32_t error_box = set_foreground | icon_hand;          // 0x10010
inline constexpr std::uint32_t warning_box = set_foreground | icon_warning;     // 0x10030
inline constexpr std::uint32_t question_box = warning_box | ok_cancel;          // 0x10031
}  // namespace mb

namespace answer {
inline constexpr int ok = 1;
inline constexpr int cancel = 2;
inline constexpr int retry = 4;
inline constexpr int yes = 6;
inline constexpr int no = 7;
}  // namespace answer

class MessageBoxView {
 public:
  virtual ~MessageBoxView() = default;
  virtual int show(const std::string& text, const std::string& caption, std::uint32_t flags) = 0;
};

}  // namespace kestrove::ui
