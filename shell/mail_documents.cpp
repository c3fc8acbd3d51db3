#include "shell/mail_documents.h"

#include "platform/user_interaction.h"
#include "shell/app_bar.h"
#include "shell/app_profile.h"
#include "shell/launch_program.h"

#include <QDir>

namespace {

constexpr const char* kMailCaption = "メールの送信";

}  // namespace

QString MailCommand() {
  const QString command = OpenAppProfile()->value(BrowserKey(QStringLiteral("MailCommand"))).toString().trimmed();
  return command.isEmpty() ? QStringLiteral("xdg-email") : command;
}

bool IsMailAvailable() {
  if (!FindProgram(MailCommand()).isEmpty()) return true;
  platform::messageBox(QStringLiteral("メール送信コマンド「%1」が見つかりません。").arg(MailCommand()).toStdString(),
                       platform::Buttons::Ok, platform::Icon::Warning, kMailCaption);
  return false;
}

bool SendMailFiles(const QStringList& paths) {
  const QString program = FindProgram(MailCommand());
  QStringList arguments;
  for (const QString& path : paths) arguments << QStringLiteral("--attach") << path;
  if (!program.isEmpty() && StartProgram(program, arguments, QDir::homePath())) return true;
  platform::messageBox("ﾒｰﾙの送信に失敗しました。", platform::Buttons::Ok, platform::Icon::Warning, kMailCaption);
  return false;
}
