#include "conversion/error_text.h"

#include <cstdio>

namespace kestrove::conversion {
namespace {

struct Reason {
  std::int32_t code;
  const char* text;
};

constexpr Reason kReasons[] = {
    {2, "\n指定されたファイルが見つかりません。"},
    {3, "\n指定されたパスが見つかりません。"},
    {5, "\nアクセスが拒否されました。"},
    {19, "\nこのメディアは書き込み禁止になっています。"},
    {20, "\n指定されたデバイスが見つかりません。"},
    {21, "\nデバイスの準備ができていません。"},
    {32, "\nプロセスはファイルにアクセスできません。別のプロセスが使用中です。"},
    {112, "\nディスクの容量不足です。"},
    {183, "\n既に存在するファイルを作成することはできません。"},
    {206, "\nファイル名または拡張子が長すぎます。"},
    {1235, "\n要求は中断されました。"},
};

std::string with_number(std::string_view first_line, std::int32_t code) {
  char number[32];
  std::snprintf(number, sizeof number, " : %d", static_cast<int>(code));
  std::string out(first_line);
  out.append(number);
  return out;
}

}  // namespace

std::string compose_error_text(std::string_view first_line, std::int32_t code) {
  if (code == 0) return std::string(first_line);
  for (const Reason& reason : kReasons) {
    if (reason.code == code) {
      std::string out(first_line);
      out.append(reason.text);
      return out;
    }
  }
  return with_number(first_line, code);
}

std::string compose_code_text(std::string_view first_line, std::int32_t code) {
  if (code == 0) return std::string(first_line);
  return with_number(first_line, code);
}

}  // namespace kestrove::conversion
