// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A settings file of arbitrary content. Whatever it holds, the stored height
// reads as a finite number, and a height written into that file reads back
// exactly: a user's height is never lost to what else the file contains.
// Nothing else is lost either: every line of a file that reads as settings
// is still there, in order; setting the old value again gives back the very
// same bytes; and a file that does not read as settings is kept aside whole.
#include "FuzzCheck.h"

#include "support/PopoverHeightSetting.h"
#include "support/SettingsText.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

using namespace pelmora;

namespace {

double readHeight(const QString &fileName)
{
    return PopoverHeightSetting({fileName}).read();
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Whether the lines of `old` (line ends aside) appear in `now` in the same order.
bool keepsLines(QByteArrayView old, QByteArrayView now)
{
    const auto lines = [](QByteArrayView text) {
        if (text.startsWith("\xEF\xBB\xBF"))
            text = text.sliced(3);
        QList<QByteArrayView> list;
        for (qsizetype start = 0; start < text.size();) {
            qsizetype end = text.indexOf('\n', start);
            end = end < 0 ? text.size() : end;
            QByteArrayView line = text.sliced(start, end - start);
            if (line.endsWith('\r'))
                line.chop(1);
            list.append(line);
            start = end + 1;
        }
        return list;
    };
    const QList<QByteArrayView> was = lines(old), is = lines(now);
    qsizetype next = 0;
    for (const QByteArrayView line : is)
        if (next < was.size() && line == was.at(next))
            ++next;
    return next == was.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static quint64 counter = 0;
    // A fresh name each time, so no run sees the file of another.
    const QString fileName = dir.filePath(QString::number(++counter) + QLatin1String(".conf"));
    const QByteArrayView input = fuzz::bytes(data, size);
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(input.data(), input.size());
    }

    const double stored = readHeight(fileName);
    FUZZ_CHECK(std::isfinite(stored));

    constexpr double dragged = 613.375;
    PopoverHeightSetting({fileName}).write(dragged);
    FUZZ_CHECK(readHeight(fileName) == dragged);

    const QByteArray written = contents(fileName);
    if (SettingsText::isReadable(input)) {
        if (const std::optional<QByteArrayView> old = SettingsText::generalValue(input, "popoverHeight"))
            FUZZ_CHECK(SettingsText::withGeneralValue(written, "popoverHeight", *old) == input.toByteArray());
        else
            FUZZ_CHECK(keepsLines(input, written));
    } else {
        FUZZ_CHECK(contents(fileName + QLatin1String(".damaged")) == input.toByteArray());
        QFile::remove(fileName + QLatin1String(".damaged"));
    }

    QFile::remove(fileName);
    return 0;
}
