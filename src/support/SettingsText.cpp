// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SettingsText.h"

namespace pelmora::SettingsText {
namespace {

constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.chop(1);
    return text;
}

// One pass over the lines: where [General] ends, and where the last `key`
// in it has its value, as offsets into the text.
struct Scan {
    bool readable = true;
    qsizetype start = 0; // after a byte order mark
    qsizetype generalEnd = -1; // just after the last line of [General]; -1: no such line
    qsizetype valueBegin = -1; // the value of the last `key`, trimmed, with the
    qsizetype valueEnd = -1; // lines it continues on; -1: none
    QByteArrayView lineEnd = "\n"; // as the first line ends
};

Scan scan(QByteArrayView text, QByteArrayView key)
{
    Scan found;
    found.readable = !text.contains('\0');
    if (text.startsWith(byteOrderMark))
        found.start = byteOrderMark.size();
    bool inGeneral = true; // until the first group line
    bool continued = false;
    bool continuesValue = false; // the continued line is the value of `key`
    for (qsizetype pos = found.start; pos < text.size();) {
        const qsizetype newline = text.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? text.size() : newline + 1;
        if (pos == found.start && newline > 0 && text.at(newline - 1) == '\r')
            found.lineEnd = "\r\n";
        const QByteArrayView line = trimmed(text.sliced(pos, (newline < 0 ? text.size() : newline) - pos));
        pos = next;
        if (continued) {
            continued = line.endsWith('\\');
            if (inGeneral)
                found.generalEnd = next;
            if (continuesValue && !line.isEmpty())
                found.valueEnd = line.data() + line.size() - text.data();
            continue;
        }
        if (line.isEmpty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            if (close < 0)
                found.readable = false;
            inGeneral = line.sliced(1, (close < 0 ? line.size() : close) - 1) == "General";
            if (inGeneral)
                found.generalEnd = next;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0) {
            found.readable = false;
            continue;
        }
        continued = line.endsWith('\\');
        continuesValue = false;
        if (!inGeneral)
            continue;
        found.generalEnd = next;
        if (trimmed(line.first(equals)) == key) { // the last one wins
            continuesValue = continued;
            const QByteArrayView value = trimmed(line.sliced(equals + 1));
            found.valueBegin = value.data() - text.data();
            found.valueEnd = found.valueBegin + value.size();
        }
    }
    if (continued)
        found.readable = false; // a value continued past the end: the file was cut short
    return found;
}

} // namespace

std::optional<QByteArrayView> generalValue(QByteArrayView text, QByteArrayView key)
{
    const Scan found = scan(text, key);
    if (found.valueBegin < 0)
        return std::nullopt;
    return text.sliced(found.valueBegin, found.valueEnd - found.valueBegin);
}

bool isReadable(QByteArrayView text)
{
    return scan(text, {}).readable;
}

std::optional<QByteArray> withGeneralValue(QByteArrayView text, QByteArrayView key, QByteArrayView value)
{
    const Scan found = scan(text, key);
    if (!found.readable)
        return std::nullopt;
    QByteArray result;
    result.reserve(text.size() + key.size() + value.size() + 16);
    if (found.valueBegin >= 0) {
        result.append(text.first(found.valueBegin)).append(value).append(text.sliced(found.valueEnd));
        return result;
    }
    const QByteArray line = key.toByteArray() + '=' + value.toByteArray() + found.lineEnd.toByteArray();
    if (found.generalEnd >= 0) {
        result.append(text.first(found.generalEnd));
        if (result.endsWith('\r')) // the last line, cut after its CR
            result.append('\n');
        else if (!result.endsWith('\n'))
            result.append(found.lineEnd);
        result.append(line).append(text.sliced(found.generalEnd));
        return result;
    }
    result.append(text.first(found.start)).append("[General]").append(found.lineEnd).append(line);
    if (found.start < text.size())
        result.append(found.lineEnd).append(text.sliced(found.start));
    return result;
}

} // namespace pelmora::SettingsText
