#pragma once

#include <QString>

// Where attachment files of a local database live. The stored `filename` of
// an attachment ("~/Library/SMS/Attachments/ab/cd/<GUID>/<name>") comes from
// other phones and so from strangers: the mapping below never lets it name a
// file outside the database's file-relay folder.

// The stored name as a path relative to the file-relay folder: one leading
// "/" removed, a leading "~/" replaced by "var/mobile/", every character of
// : * ? " < > | removed. Backslashes become "/" so that they separate folders
// on every platform alike.
QString attachmentRelativePath(const QString &filename);

// `relative` resolved against `root` (both cleaned), or an empty string when
// the result is not strictly inside `root`: an absolute path, or ".." steps
// that climb out of it.
QString pathInsideFolder(const QString &root, const QString &relative);

// Both steps: the file of a stored attachment name under `fileRelayDir`, or an
// empty string (with a warning in the log) when the name would leave it.
QString attachmentFilePath(const QString &fileRelayDir, const QString &filename);
