#pragma once
// The text of the rendered line fixtures.

#include <array>
#include <string_view>

namespace recogtest {

inline constexpr std::array<std::string_view, 8> kJapaneseLines = {
    "吾輩は猫である。名前はまだ無い。",
    "どこで生れたかとんと見当がつかぬ。",
    "「コンピューター」の処理速度は、年々向上している。",
    "東京都千代田区丸の内一丁目１番２号",
    "会議は午後３時から第２会議室で行います。",
    "ソフトウェアのバージョンアップについて",
    "請求書の金額は１２，３４５円です。",
    "明日の天気は晴れのち曇り、気温は２０度。",
};

inline constexpr std::array<std::string_view, 5> kEnglishLines = {
    "The quick brown fox jumps over the lazy dog.",
    "Invoice No. 2024-0815, total amount: $1,234.56",
    "Please return the signed form by Friday.",
    "Meeting room B, 3rd floor (east wing)",
    "Shipping address: 12 Harbour Street, Leeds",
};

}  // namespace recogtest
