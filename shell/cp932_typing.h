#pragma once
// Titles are typed with an input method's characters: 〜 (U+301C) where
// Shift-JIS has ～ (U+FF5E), and the like. An edit set up here turns them
// into the characters CP932 stores as they are typed, so the title check
// accepts them and the stored title reads back as shown.

class QLineEdit;

void KeepCp932FormsWhileTyping(QLineEdit* edit);
