#pragma once

#include <QString>

class QFileDevice;
class QSaveFile;

// Why a file operation failed, in the system's words ("No space left on
// device", "Read-only file system", "Permission denied"), for the texts of
// every writer.

// The reason for the failure of the call just made on `file`. Qt's own text
// when it has one; otherwise the system's error number, which a short write
// on a full disk leaves set while Qt only says "Unknown error". Call it
// before anything else, so that nothing has changed that number yet.
QString fileErrorReason(const QFileDevice &file);

// Flushes, then commits `file`; false when either fails (fileErrorReason
// tells why). QSaveFile::commit alone reports success when its last buffered
// bytes did not fit on the disk, and leaves the truncated file in place.
bool commitSaveFile(QSaveFile &file);

// Copies `source` to the new file `target` (an existing one is not
// replaced). On failure the partial target is removed and std::runtime_error
// names the file that failed and why: "Cannot read <source>: <reason>" (an
// UnreadableFileError), "Cannot write <target>: <reason>".
void copyFileOrThrow(const QString &source, const QString &target);
