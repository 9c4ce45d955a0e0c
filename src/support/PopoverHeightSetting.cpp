// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverHeightSetting.h"

#include "SafeFile.h"
#include "SettingsText.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <cmath>
#include <cstdio>

namespace pelmora {
namespace {

constexpr QByteArrayView key = "popoverHeight";

} // namespace

PopoverHeightSetting::PopoverHeightSetting(SettingsLocation location) : m_location(std::move(location))
{
}

std::optional<double> PopoverHeightSetting::parse(QByteArrayView text)
{
    const std::optional<QByteArrayView> value = SettingsText::generalValue(text, key);
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

PopoverHeightSetting::Read PopoverHeightSetting::readFile(const QString &fileName, std::optional<double> &height)
{
    height.reset();
    const auto [folderPath, name] = safefile::splitPath(QFile::encodeName(fileName));
    if (name.isEmpty())
        return Read::missing;
    // Read through a linked folder, too: only writing refuses one.
    const safefile::Opened folder = safefile::openFolder(folderPath, safefile::LastLink::follow, false);
    if (folder.problem == safefile::Problem::missing)
        return Read::missing;
    if (!folder.ok())
        return Read::unreadable;
    const safefile::Read file = safefile::readFile(folder.handle.fd(), name, maximumFileSize,
                                                   safefile::LastLink::follow);
    if (file.problem == safefile::Problem::missing)
        return Read::missing;
    if (!file.content)
        return Read::unreadable;
    height = parse(*file.content);
    return Read::read;
}

double PopoverHeightSetting::read()
{
    std::optional<double> height;
    switch (readFile(m_location.fileName, height)) {
    case Read::read:
        m_keepsFileUnchanged = false;
        return height.value_or(defaultHeight);
    case Read::unreadable:
        m_keepsFileUnchanged = true;
        return defaultHeight;
    case Read::missing:
        break;
    }
    m_keepsFileUnchanged = false;
    // Once: the height moves over, and a later reset (removing the new file)
    // is not undone by the old one.
    if (readFile(m_location.legacyFileName, height) == Read::read && height) {
        write(*height);
        if (QFile::exists(m_location.fileName))
            QFile::remove(m_location.legacyFileName);
        return *height;
    }
    return defaultHeight;
}

void PopoverHeightSetting::write(double height)
{
    if (m_location.fileName.isEmpty())
        return;
    const auto unreadable = [this] {
        return QCoreApplication::translate("PopoverHeightSetting",
                                           "the panel's height is not stored: %1 cannot be read whole.")
            .arg(m_location.fileName);
    };
    if (m_keepsFileUnchanged) {
        if (!m_reported)
            report(unreadable());
        return;
    }
    const auto [folderPath, name] = safefile::splitPath(QFile::encodeName(m_location.fileName));
    const safefile::Opened folder = safefile::openFolder(folderPath, safefile::LastLink::refuse, true);
    if (!folder.ok()) {
        if (safefile::isRefusal(folder.problem)) {
            m_keepsFileUnchanged = true;
            report(QCoreApplication::translate("PopoverHeightSetting", "the panel's height is not stored: %1.")
                       .arg(safefile::describe(folder.problem, QFile::decodeName(folderPath))));
        }
        return; // a read-only home, say: the next drag tries again
    }
    const int dir = folder.handle.fd();
    // The file as it is now: someone may have edited it since it was read. A
    // link's content is kept in the file that replaces the link.
    const safefile::Read current = safefile::readFile(dir, name, maximumFileSize, safefile::LastLink::follow);
    if (!current.content && current.problem != safefile::Problem::missing) {
        m_keepsFileUnchanged = true;
        report(unreadable());
        return;
    }
    const QByteArray number = QByteArray::number(height, 'g', QLocale::FloatingPointShortest);
    std::optional<QByteArray> text = SettingsText::withGeneralValue(current.content.value_or(QByteArray()), key,
                                                                    number);
    if (!text) {
        const std::optional<QByteArray> aside = safefile::keepAside(dir, name);
        if (!aside) {
            m_keepsFileUnchanged = true;
            report(QCoreApplication::translate("PopoverHeightSetting",
                                               "the panel's height is not stored: %1 does not read as settings, "
                                               "and no copy of it could be kept.")
                       .arg(m_location.fileName));
            return;
        }
        report(QCoreApplication::translate("PopoverHeightSetting",
                                           "%1 does not read as settings; it is kept as %2, and a new one is written.")
                   .arg(m_location.fileName, QFile::decodeName(folderPath + '/' + *aside)));
        text = SettingsText::withGeneralValue({}, key, number);
    }
    // No fsync: a drag writes many times, and after a power cut a lost
    // height is only the default again. The rename still makes it whole.
    safefile::writeFile(dir, name, *text,
                        {.mode = 0666, .replace = safefile::Replace::always, .sync = safefile::Sync::none});
}

void PopoverHeightSetting::report(const QString &line)
{
    if (std::exchange(m_reported, true))
        return;
    std::fprintf(stderr, "pelmora: %s\n", qPrintable(line));
}

} // namespace pelmora
