// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PsOutput.h"

#include "AppPathRule.h"

#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace pelmora {
namespace {

bool isHorizontalSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmedHorizontal(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isHorizontalSpace(s.at(begin)))
        ++begin;
    while (end > begin && isHorizontalSpace(s.at(end - 1)))
        --end;
    return s.sliced(begin, end - begin);
}

// At most four pieces at U+0020; runs of spaces give no empty piece, and the
// fourth piece is everything after the space that ended the third, unchanged.
int splitFour(QStringView line, std::array<QStringView, 4> &pieces)
{
    int count = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) != u' ')
            continue;
        if (i > start) {
            pieces[count++] = line.sliced(start, i - start);
            if (count == 3) {
                start = i + 1;
                break;
            }
        }
        start = i + 1;
    }
    if (count < 3) {
        if (start < line.size() && count < 4)
            pieces[count++] = line.sliced(start);
        return count;
    }
    if (start < line.size())
        pieces[count++] = line.sliced(start);
    return count;
}

// Decimal digits with an optional leading sign, nothing else.
bool parseSignedDigits(QStringView text, bool &negative, quint64 &magnitude)
{
    negative = false;
    magnitude = 0;
    qsizetype i = 0;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        const quint64 digit = c - u'0';
        if (magnitude > (std::numeric_limits<quint64>::max() - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    return true;
}

std::optional<qint32> parsePid(QStringView text)
{
    bool negative = false;
    quint64 magnitude = 0;
    if (!parseSignedDigits(text, negative, magnitude))
        return std::nullopt;
    if (!negative && magnitude > quint64(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    if (negative && magnitude > quint64(std::numeric_limits<qint32>::max()) + 1)
        return std::nullopt;
    return negative ? qint32(-qint64(magnitude)) : qint32(magnitude);
}

std::optional<quint64> parseResidentKiB(QStringView text)
{
    bool negative = false;
    quint64 magnitude = 0;
    if (!parseSignedDigits(text, negative, magnitude) || (negative && magnitude != 0))
        return std::nullopt;
    return magnitude;
}

// strtod under the C locale, the whole piece consumed ("." whatever the user's locale).
std::optional<double> parseCPU(QStringView text)
{
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (text.isEmpty() || text.size() > 64 || !cLocale || isHorizontalSpace(text.front()))
        return std::nullopt;
    std::array<char, 72> buffer{};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0 || c > 0x7f)
            return std::nullopt;
        buffer[std::size_t(i)] = char(c);
    }
    char *end = nullptr;
    const double value = ::strtod_l(buffer.data(), &end, cLocale);
    if (end != buffer.data() + text.size())
        return std::nullopt;
    return value;
}

quint64 kibToBytes(quint64 kib)
{
    constexpr quint64 limit = std::numeric_limits<quint64>::max() / 1024;
    return kib > limit ? std::numeric_limits<quint64>::max() : kib * 1024;
}

} // namespace

std::optional<ProcessMetric> parseProcessLine(QStringView line, const PsAppNameLookup &appNameFor)
{
    std::array<QStringView, 4> pieces;
    if (splitFour(trimmedHorizontal(line), pieces) != 4)
        return std::nullopt;

    const std::optional<qint32> pid = parsePid(pieces[0]);
    const std::optional<double> cpu = parseCPU(pieces[1]);
    const std::optional<quint64> residentKiB = parseResidentKiB(pieces[2]);
    if (!pid || !cpu || !residentKiB)
        return std::nullopt;
    if (!(*cpu > 0.0) && *residentKiB == 0) // NaN is not greater than 0
        return std::nullopt;

    const QStringView commandPath = pieces[3];
    std::optional<QString> appName = appNameFor ? appNameFor(*pid, commandPath) : std::nullopt;
    if (!appName)
        return std::nullopt;

    ProcessMetric process;
    process.id = *pid;
    process.name = lastPathComponent(commandPath);
    if (process.name.isEmpty())
        process.name = *appName;
    process.appName = *std::move(appName);
    process.cpuPercent = *cpu;
    process.memoryBytes = kibToBytes(*residentKiB);
    return process;
}

QList<ProcessMetric> parsePsOutput(std::string_view output, int exitStatus, const PsAppNameLookup &appNameFor)
{
    if (exitStatus != 0)
        return {};
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(QByteArrayView(output.data(), qsizetype(output.size())));
    if (decoder.hasError())
        return {};

    QList<ProcessMetric> processes;
    for (QStringView line : QStringView(text).tokenize(u'\n', Qt::SkipEmptyParts)) {
        if (std::optional<ProcessMetric> process = parseProcessLine(line, appNameFor))
            processes.append(*std::move(process));
    }
    return processes;
}

} // namespace pelmora
