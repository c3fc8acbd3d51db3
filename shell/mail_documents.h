#pragma once
// Mail: the documents' files handed to the desktop's mail program as the
// attachments of a new message, through the mail command (xdg-email unless
// the profile key "Browser/MailCommand" names another), started with one
// "--attach" argument per file. The mail program shows its own compose
// window; the program never talks to a mail server itself.
//
//   MailCommand      the command's name or path
//   IsMailAvailable  the command is installed; tells the user when it is not
//   SendMailFiles    one message with every file attached

#include <QString>
#include <QStringList>

QString MailCommand();
bool IsMailAvailable();
// False when the mail program could not be started (the user was told).
bool SendMailFiles(const QStringList& paths);
