// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A settings file of arbitrary content. Whatever it holds, the stored height
// reads as a finite number, and a height written into that file reads back
// exactly: a user's height is never lost to what else the file contains.
#include "FuzzCheck.h"

#include "views/PopoverHeightSetting.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

using namespace pelmora;

namespace {

double readHeight(const QString &fileName)
{
    return PopoverHeightSetting({fileName}).read();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static quint64 counter = 0;
    // A fresh name each time, so no run sees the file of another.
    const QString fileName = dir.filePath(QString::number(++counter) + QLatin1String(".conf"));
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    const double stored = readHeight(fileName);
    FUZZ_CHECK(std::isfinite(stored));

    constexpr double dragged = 613.375;
    PopoverHeightSetting({fileName}).write(dragged);
    FUZZ_CHECK(readHeight(fileName) == dragged);

    QFile::remove(fileName);
    return 0;
}
