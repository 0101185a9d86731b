#include "platform/LpOptions.h"

#include "platform/FileLock.h"
#include "platform/LastError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRecursiveMutex>
#include <QSaveFile>

#include <cups/cups.h>

#include <algorithm>

namespace Platform {

namespace {

// One line of the file, as far as destinations are concerned.
struct DestLine
{
    bool isDestLine = false;
    bool isDefault = false;
    QString name;     // destination, "Printer" or "Printer/instance"
    QByteArray options;
};

// White space as libcups reads options.
bool isCupsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// libcups ends a line at the first unescaped '#'.
QByteArray withoutComment(const QByteArray &line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == '\\') {
            ++i;
            continue;
        }
        if (line.at(i) == '#')
            return line.left(i);
    }
    return line;
}

qsizetype firstBlank(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && !isCupsSpace(text.at(i)))
        ++i;
    return i;
}

DestLine parseLine(const QByteArray &rawLine)
{
    DestLine result;
    const QByteArray line = withoutComment(rawLine).trimmed();
    const qsizetype keywordEnd = firstBlank(line);
    const QByteArray keyword = line.left(keywordEnd).toLower();
    if (keyword != "dest" && keyword != "default")
        return result;
    const QByteArray rest = line.mid(keywordEnd).trimmed();
    const qsizetype nameEnd = firstBlank(rest);
    if (nameEnd == 0)
        return result;
    result.isDestLine = true;
    result.isDefault = keyword == "default";
    result.name = QString::fromUtf8(rest.left(nameEnd));
    result.options = rest.mid(nameEnd).trimmed();
    return result;
}

// Lines with their endings, so unchanged lines are written back unchanged.
QList<QByteArray> splitLines(const QByteArray &file)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < file.size()) {
        qsizetype end = file.indexOf('\n', start);
        end = end < 0 ? file.size() : end + 1;
        lines << file.mid(start, end - start);
        start = end;
    }
    return lines;
}

// An instance's lines are its own, not its printer's; names ignore case,
// as libcups compares them.
bool sameDestination(const DestLine &line, const QString &destination)
{
    return line.isDestLine && line.name.compare(destination, Qt::CaseInsensitive) == 0;
}

QByteArray joinLines(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line;
    return out;
}

void appendLine(QList<QByteArray> *lines, const QByteArray &line)
{
    if (!lines->isEmpty() && !lines->last().endsWith('\n'))
        lines->last() += '\n';
    lines->append(line);
}

QByteArray destLineText(bool isDefault, const QString &destination, const QByteArray &options)
{
    QByteArray line = (isDefault ? "Default " : "Dest ") + destination.toUtf8();
    if (!options.isEmpty())
        line += ' ' + options;
    return line + '\n';
}

// The line with its keyword turned into "Default" or "Dest"; everything
// else, the line ending included, stays as it was.
// The line with its first word replaced by "Default" or "Dest".
QByteArray replacedKeyword(const QByteArray &raw, bool isDefault)
{
    qsizetype start = 0;
    while (start < raw.size() && isCupsSpace(raw.at(start)))
        ++start;
    const qsizetype end = start + firstBlank(raw.mid(start));
    return raw.left(start) + (isDefault ? "Default" : "Dest") + raw.mid(end);
}

// The line as it is when it already says the same, else with the keyword.
QByteArray withKeyword(const QByteArray &raw, bool isDefault)
{
    return parseLine(raw).isDefault == isDefault ? raw : replacedKeyword(raw, isDefault);
}

QByteArray withLineEnding(QByteArray line)
{
    if (!line.endsWith('\n'))
        line += '\n';
    return line;
}

// A waiting holder must not hang a print for good.
constexpr int kLockTimeoutMs = 10000;

QRecursiveMutex &processLock()
{
    static QRecursiveMutex mutex;
    return mutex;
}

// Touched only while processLock() is held.
int s_lockDepth = 0;
FileLock *s_fileLock = nullptr;

} // namespace

LpOptionsLock::LpOptionsLock()
{
    if (!processLock().tryLock(kLockTimeoutMs)) {
        setLastError(ErrorLockViolation);
        return;
    }
    if (s_lockDepth == 0) {
        auto *fileLock = new FileLock(userLpOptionsPath() + QStringLiteral(".lock"));
        if (!fileLock->lock(kLockTimeoutMs)) {
            delete fileLock;
            processLock().unlock();
            return;
        }
        s_fileLock = fileLock;
    }
    ++s_lockDepth;
    m_locked = true;
}

LpOptionsLock::~LpOptionsLock()
{
    if (!m_locked)
        return;
    if (--s_lockDepth == 0) {
        delete s_fileLock;
        s_fileLock = nullptr;
    }
    processLock().unlock();
}

QString userLpOptionsPath()
{
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        home = QDir::homePath();
    return QDir(home).filePath(QStringLiteral(".cups/lpoptions"));
}

bool readLpOptions(LpOptionsSnapshot *out)
{
    *out = LpOptionsSnapshot();
    const QString path = userLpOptionsPath();
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (info.size() > kLpOptionsMaxBytes) {
        setLastError(ErrorFileTooLarge);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setLastError(file.error() == QFileDevice::PermissionsError ? ErrorAccessDenied
                                                                   : ErrorFileNotFound);
        return false;
    }
    const QByteArray bytes = file.read(kLpOptionsMaxBytes + 1);
    if (bytes.size() > kLpOptionsMaxBytes) {
        setLastError(ErrorFileTooLarge);
        return false;
    }
    out->existed = true;
    out->bytes = bytes;
    return true;
}

bool writeLpOptions(const QByteArray &bytes)
{
    const LpOptionsLock lock;
    if (!lock.isLocked())
        return false;
    const QString path = userLpOptionsPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        setLastError(ErrorPathNotFound);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    return true;
}

bool restoreLpOptions(const LpOptionsSnapshot &saved)
{
    const LpOptionsLock lock;
    if (!lock.isLocked())
        return false;
    if (saved.existed)
        return writeLpOptions(saved.bytes);
    const QString path = userLpOptionsPath();
    if (QFile::exists(path) && !QFile::remove(path)) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    return true;
}

OptionList parseCupsOptions(const QByteArray &text)
{
    cups_option_t *options = nullptr;
    const int count = cupsParseOptions(text.constData(), 0, &options);
    OptionList result;
    for (int i = 0; i < count; ++i)
        result << qMakePair(QString::fromUtf8(options[i].name), QString::fromUtf8(options[i].value));
    cupsFreeOptions(count, options);
    return result;
}

QByteArray formatCupsOptions(const OptionList &options)
{
    QByteArray out;
    for (const auto &[name, value] : options) {
        const QByteArray key = name.toUtf8();
        // A name cannot hold white space, quotes or '=': such a pair cannot be written.
        if (key.isEmpty() || std::any_of(key.begin(), key.end(), [](char c) {
                return isCupsSpace(c) || c == '=' || c == '"' || c == '\'' || c == '\\'
                    || c == '#';
            }))
            continue;
        QByteArray escaped;
        for (const char c : value.toUtf8()) {
            if (c == '\n' || c == '\r')
                continue;
            // libcups ends a value at any white space, not only at blanks,
            // and reads one that starts with a brace up to its matching
            // brace: an unmatched one would swallow the options after it.
            // Escaped, every character reads back as itself.
            if (isCupsSpace(c) || c == '\\' || c == '\'' || c == '"' || c == '#' || c == '{'
                || c == '}')
                escaped += '\\';
            escaped += c;
        }
        if (!out.isEmpty())
            out += ' ';
        out += key + '=' + escaped;
    }
    return out;
}

OptionList lpOptionsFor(const QByteArray &file, const QString &destination)
{
    OptionList merged;
    for (const QByteArray &raw : splitLines(file)) {
        const DestLine line = parseLine(raw);
        if (!sameDestination(line, destination))
            continue;
        for (const auto &option : parseCupsOptions(line.options)) {
            auto existing = std::find_if(merged.begin(), merged.end(), [&](const auto &o) {
                return o.first.compare(option.first, Qt::CaseInsensitive) == 0;
            });
            if (existing != merged.end())
                existing->second = option.second;
            else
                merged << option;
        }
    }
    return merged;
}

QString lpOptionsDefaultDestination(const QByteArray &file)
{
    QString name;
    for (const QByteArray &raw : splitLines(file)) {
        const DestLine line = parseLine(raw);
        if (line.isDestLine && line.isDefault)
            name = line.name;
    }
    return name;
}

QByteArray withDestinationOptions(const QByteArray &file, const QString &destination,
                                  const OptionList &options)
{
    // The destination stays the default if any of its lines said so.
    bool isDefault = false;
    for (const QByteArray &raw : splitLines(file)) {
        const DestLine line = parseLine(raw);
        isDefault = isDefault || (sameDestination(line, destination) && line.isDefault);
    }
    QList<QByteArray> lines;
    bool written = false;
    for (const QByteArray &raw : splitLines(file)) {
        const DestLine line = parseLine(raw);
        if (!sameDestination(line, destination)) {
            lines << raw;
            continue;
        }
        // The first line of the destination carries all its options now;
        // later ones would add stale options back.
        if (!written)
            lines << destLineText(isDefault, destination, formatCupsOptions(options));
        written = true;
    }
    if (!written)
        appendLine(&lines, destLineText(false, destination, formatCupsOptions(options)));
    return joinLines(lines);
}

QByteArray withDefaultDestination(const QByteArray &file, const QString &destination)
{
    QList<QByteArray> lines;
    bool marked = false;
    for (const QByteArray &raw : splitLines(file)) {
        const DestLine line = parseLine(raw);
        if (!line.isDestLine) {
            lines << raw;
            continue;
        }
        const bool makeDefault =
            !marked && !destination.isEmpty() && sameDestination(line, destination);
        marked = marked || makeDefault;
        if (line.isDefault == makeDefault) {
            lines << raw;
            continue;
        }
        // Only the keyword changes; the options stay as they were.
        lines << withKeyword(raw, makeDefault);
    }
    if (!destination.isEmpty() && !marked)
        appendLine(&lines, destLineText(true, destination, QByteArray()));
    return joinLines(lines);
}

QList<QByteArray> destinationLines(const QByteArray &file, const QString &destination)
{
    QList<QByteArray> lines;
    for (const QByteArray &raw : splitLines(file)) {
        if (sameDestination(parseLine(raw), destination))
            lines << raw;
    }
    return lines;
}

QByteArray withDestinationLines(const QByteArray &file, const QString &destination,
                                const QList<QByteArray> &replacement)
{
    bool isDefaultNow = false;
    for (const QByteArray &raw : splitLines(file)) {
        const DestLine line = parseLine(raw);
        isDefaultNow = isDefaultNow || (sameDestination(line, destination) && line.isDefault);
    }
    // The lines come back as they were, but the default stays where it is
    // now: on their first line, or on none of them.
    QList<QByteArray> restored;
    for (const QByteArray &raw : replacement)
        restored << withKeyword(raw, isDefaultNow && restored.isEmpty());
    if (isDefaultNow && restored.isEmpty())
        restored << destLineText(true, destination, QByteArray());

    QList<QByteArray> lines;
    qsizetype lastRestored = -1;
    const auto place = [&] {
        for (const QByteArray &line : restored) {
            appendLine(&lines, line);
            lastRestored = lines.size() - 1;
        }
    };
    bool placed = false;
    for (const QByteArray &raw : splitLines(file)) {
        if (!sameDestination(parseLine(raw), destination)) {
            if (lastRestored == lines.size() - 1 && lastRestored >= 0)
                lines.last() = withLineEnding(lines.last());
            lines << raw;
            continue;
        }
        if (!placed)
            place();
        placed = true;
    }
    if (!placed)
        place();
    return joinLines(lines);
}

bool sameDestinationOptions(const QList<QByteArray> &a, const QList<QByteArray> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        // Keywords are read without regard to case ("dest" is "Dest").
        if (withLineEnding(replacedKeyword(a.at(i), false))
            != withLineEnding(replacedKeyword(b.at(i), false)))
            return false;
    }
    return true;
}

bool readDestinationLines(const QString &destination, LpOptionsLines *out)
{
    *out = LpOptionsLines();
    LpOptionsSnapshot current;
    if (!readLpOptions(&current))
        return false;
    out->fileExisted = current.existed;
    out->lines = destinationLines(current.bytes, destination);
    return true;
}

bool restoreDestinationLines(const QString &destination, const LpOptionsLines &saved)
{
    const LpOptionsLock lock;
    if (!lock.isLocked())
        return false;
    LpOptionsSnapshot current;
    if (!readLpOptions(&current))
        return false;
    const QByteArray restored = withDestinationLines(current.bytes, destination, saved.lines);
    if (!saved.fileExisted && restored.trimmed().isEmpty())
        return restoreLpOptions(LpOptionsSnapshot());
    if (current.existed && restored == current.bytes)
        return true;
    return writeLpOptions(restored);
}

} // namespace Platform
