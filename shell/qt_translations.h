#pragma once
// Qt's own texts (the standard buttons "はい", "いいえ", "キャンセル", the
// file and print dialogs) in Japanese, whatever the user's locale: every
// other text of the program is Japanese too. The translations come from
// Debian's qt6-translations-l10n; without them Qt speaks English.

// Installs Qt's Japanese translations once for the application; false when
// they are not installed on this machine.
bool InstallQtTranslations();
