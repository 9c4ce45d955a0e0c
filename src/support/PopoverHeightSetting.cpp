// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverHeightSetting.h"

#include "PopoverResize.h"
#include "platform/SmallFile.h"
#include "support/WholeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelmora {
namespace {

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.chop(1);
    return text;
}

} // namespace

PopoverHeightSetting::PopoverHeightSetting(SettingsLocation location) : m_location(std::move(location)) {}

QString PopoverHeightSetting::key()
{
    return QStringLiteral("popoverHeight");
}

std::optional<double> PopoverHeightSetting::parse(QByteArrayView text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    // Keys before any group belong to [General], as QSettings reads them.
    bool inGeneral = true;
    std::optional<QByteArrayView> value;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        const QByteArrayView line = trimmed(end < 0 ? text : text.first(end));
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (line.isEmpty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            inGeneral = line.sliced(1, (close < 0 ? line.size() : close) - 1) == "General";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inGeneral && equals > 0 && trimmed(line.first(equals)) == "popoverHeight")
            value = trimmed(line.sliced(equals + 1)); // the last one wins
    }
    if (!value)
        return std::nullopt;
    QByteArrayView number = *value;
    if (number.size() >= 2 && number.front() == '"' && number.back() == '"')
        number = number.sliced(1, number.size() - 2);
    // Only a plain number: not a list, a typed value (@Rect, @Variant) or text.
    bool ok = false;
    const double height = number.toDouble(&ok);
    if (!ok || !std::isfinite(height))
        return std::nullopt;
    return height;
}

PopoverHeightSetting::Read PopoverHeightSetting::readFile(const QString &fileName,
                                                          std::optional<double> &height) const
{
    height.reset();
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return Read::missing;
    const std::optional<QByteArray> content = platform::readSmallRegularFile(fileName, maximumFileSize);
    if (!content)
        return Read::unreadable;
    height = parse(*content);
    return Read::read;
}

double PopoverHeightSetting::read()
{
    std::optional<double> height;
    switch (readFile(m_location.fileName, height)) {
    case Read::read:
        m_keepsFileUnchanged = false;
        return height.value_or(PopoverResize::defaultHeight);
    case Read::unreadable:
        m_keepsFileUnchanged = true;
        return PopoverResize::defaultHeight;
    case Read::missing:
        break;
    }
    m_keepsFileUnchanged = false;
    // Once: the height moves over, and a later reset (removing the new file)
    // is not undone by the old one.
    if (readFile(m_location.legacyFileName, height) == Read::read && height) {
        write(*height);
        if (QFileInfo::exists(m_location.fileName))
            QFile::remove(m_location.legacyFileName);
        return *height;
    }
    return PopoverResize::defaultHeight;
}

void PopoverHeightSetting::write(double height)
{
    if (m_keepsFileUnchanged || m_location.fileName.isEmpty())
        return;
    const QFileInfo target(m_location.fileName);
    if (!QDir().mkpath(target.absolutePath()))
        return;
    const QByteArray text = "[General]\n" + key().toLatin1() + '='
        + QByteArray::number(height, 'g', QLocale::FloatingPointShortest) + '\n';
    // A new file renamed into place: the old content or the new, never half,
    // and a symbolic link there is replaced rather than followed. No fsync: a
    // drag writes many times, and after a power cut a lost height is only
    // the default again.
    QByteArray temp = QFile::encodeName(m_location.fileName) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const bool written = writeWhole(fd, text) == text.size();
    if (::close(fd) != 0 || !written || ::rename(temp.constData(), QFile::encodeName(m_location.fileName)) != 0)
        ::unlink(temp.constData());
}

} // namespace pelmora
