#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QUrl;

// File names as the file system holds them: bytes, which need not be UTF-8
// (a Latin-1 "café.pdf" is a legal name). The toolkit keeps names as text
// and cannot name such a file again, so it is reached through a link of a
// readable name that the program makes for it once, in its own data folder.
namespace Platform {

// A path for the file that text can hold: the path itself where it is
// UTF-8, else the link to it. Empty when no link could be made.
QString usablePath(const QByteArray &path);

// The local file a dropped or pasted URL names, as usablePath has it (the
// URL keeps the name's bytes, which its text form has lost).
QString localFilePath(const QUrl &url);

// The bytes of the file a usable path stands for (the link's target, or
// the path itself), for acting on the file itself (moving it).
QByteArray realPath(const QString &usablePath);

// One spelling of a file, links resolved, that text can hold: the
// canonical path, or the path as given (absolute) where the canonical one
// is not UTF-8; empty when there is no such file. canonicalBytes: the
// canonical path as stored.
QString canonicalPath(const QString &path);
QByteArray canonicalBytes(const QString &path);

// A name for people: UTF-8 where it is, any other byte read as Latin-1.
QString readableName(const QByteArray &name);

// The names in a folder, as stored ("." and ".." left out). Empty when the
// folder cannot be read.
QList<QByteArray> folderEntries(const QByteArray &folder);

// Whether a process this user can see has the file open for writing (one
// still writing it, if slowly). The path as stored, links resolved.
bool isOpenForWriting(const QByteArray &canonicalPath);

} // namespace Platform
