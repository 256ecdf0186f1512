#pragma once

#include <QString>

// Where attachment files of a local database live. The stored `filename` of
// an attachment ("~/Library/SMS/Attachments/ab/cd/<GUID>/<name>") comes from
// other phones and so from strangers: the mapping below never lets it name a
// file outside the attachments folder
// <file-relay>/var/mobile/Library/SMS/Attachments, so it can neither leave the
// database folder nor name the database itself (which deleting or extracting
// the attachment would then delete or hand out).

// The stored name as a path relative to the file-relay folder: one leading
// "/" removed, a leading "~/" replaced by "var/mobile/", every character of
// : * ? " < > | removed. Backslashes become "/" so that they separate folders
// on every platform alike.
QString attachmentRelativePath(const QString &filename);

// `relative` resolved against `base`, or an empty string when the result is
// not strictly inside `allowed` (`base` itself or a folder below it): an
// absolute path, or ".." steps that climb out of it.
QString pathInsideFolder(const QString &base, const QString &relative, const QString &allowed);
QString pathInsideFolder(const QString &root, const QString &relative);

// <file-relay>/var/mobile/Library/SMS/Attachments
QString attachmentsDir(const QString &fileRelayDir);

// Both steps: the file of a stored attachment name under `fileRelayDir`, or an
// empty string (with a warning in the log) when it would not lie inside the
// attachments folder.
QString attachmentFilePath(const QString &fileRelayDir, const QString &filename);
