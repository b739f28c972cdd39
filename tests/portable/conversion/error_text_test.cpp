#include <gtest/gtest.h>

#include "conversion/error_text.h"

namespace kestrove::conversion {
namespace {

constexpr const char* kFirst = "ファイルの属性の取得に失敗しました。<1>";

struct ErrorTextCase {
  std::int32_t code;
  std::string appended;
};

TEST(ComposeErrorText, AppendsTheReasonOfEveryListedCodeAndTheNumberOtherwise) {
  const ErrorTextCase cases[] = {
      {0, ""},
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
      {87, " : 87"},
      {-2147024891, " : -2147024891"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(compose_error_text(kFirst, c.code), std::string(kFirst) + c.appended) << c.code;
  }
}

TEST(ComposeErrorText, ReasonIsOneLineFeedAfterTheFirstLineInCp932) {
  const std::string text = compose_error_text("A", 2);
  // "指" is 0x8E 0x77 in CP932: the text really is CP932, with a bare LF.
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(0, 2), "A\n");
  EXPECT_EQ(static_cast<unsigned char>(text[2]), 0x8E);
  EXPECT_EQ(static_cast<unsigned char>(text[3]), 0x77);
  // The longest reason is 67 bytes, as the callers' buffers assume.
  EXPECT_EQ(compose_error_text("", 32).size(), 67u);
}

TEST(ComposeCodeText, NeverUsesTheReasons) {
  EXPECT_EQ(compose_code_text("レジストリ操作に失敗しました。<13>", 2), "レジストリ操作に失敗しました。<13> : 2");
  EXPECT_EQ(compose_code_text("X", 0), "X");
  EXPECT_EQ(compose_code_text("X", -5), "X : -5");
}

}  // namespace
}  // namespace kestrove::conversion
