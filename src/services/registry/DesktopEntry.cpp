// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DesktopEntry.h"

#include <QStringDecoder>

#include <algorithm>
#include <utility>

namespace pelmora {
namespace {

// The escapes every string value may hold: \s \n \t \r \\. Any other
// backslash stays, so Exec's own quoting escapes (\" \` \$) reach its parser.
QString unescapedValue(QStringView raw)
{
    QString value;
    value.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\' || i + 1 == raw.size()) {
            value.append(c);
            continue;
        }
        switch (raw[i + 1].unicode()) {
        case 's':
            value.append(u' ');
            break;
        case 'n':
            value.append(u'\n');
            break;
        case 't':
            value.append(u'\t');
            break;
        case 'r':
            value.append(u'\r');
            break;
        case '\\':
            value.append(u'\\');
            break;
        default:
            value.append(c);
            value.append(raw[i + 1]);
            break;
        }
        ++i;
    }
    return value;
}

bool isTrue(QStringView value)
{
    return value == u"true" || value == u"1";
}

bool isKeyChar(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-';
}

// Sets `field` unless an earlier line already did.
void setOnce(QString &field, bool &seen, QStringView raw)
{
    if (!seen) {
        field = unescapedValue(raw);
        seen = true;
    }
}

// Exec's words: separated by spaces, double quotes group a word, and inside
// quotes a backslash escapes " ` $ and \. An unterminated quote ends the word.
QStringList execWords(const QString &exec)
{
    QStringList words;
    QString word;
    bool inWord = false;
    bool inQuote = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuote) {
            if (c == u'\\' && i + 1 < exec.size()
                && (exec[i + 1] == u'"' || exec[i + 1] == u'`' || exec[i + 1] == u'$' || exec[i + 1] == u'\\')) {
                word.append(exec[++i]);
            } else if (c == u'"') {
                inQuote = false;
            } else {
                word.append(c);
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                words.append(std::exchange(word, QString()));
            inWord = false;
        } else {
            if (c == u'"')
                inQuote = true;
            else
                word.append(c);
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

bool isAssignment(const QString &word)
{
    const qsizetype equals = word.indexOf(u'=');
    if (equals <= 0)
        return false;
    for (qsizetype i = 0; i < equals; ++i) {
        const QChar c = word[i];
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
        if (!letter && !(i > 0 && c >= u'0' && c <= u'9'))
            return false;
    }
    return true;
}

QStringView baseName(QStringView path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

QString DesktopEntry::displayName(const QStringList &localeNames) const
{
    for (const QString &locale : localeNames) {
        const auto found = localizedNames.constFind(locale);
        if (found != localizedNames.cend() && !found->isEmpty())
            return *found;
    }
    return name;
}

std::optional<DesktopEntry> parseDesktopEntry(QByteArrayView content)
{
    if (content.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(content);
    if (decoder.hasError())
        return std::nullopt;

    DesktopEntry entry;
    bool inGroup = false;
    bool sawGroup = false;
    bool seenType = false, seenName = false, seenExec = false, seenTryExec = false, seenWMClass = false;
    bool seenHidden = false, seenNoDisplay = false;

    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed(); // also drops the CR of CR LF (the decoder drops a BOM)
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (sawGroup)
                break; // only the first [Desktop Entry] group matters
            inGroup = line == u"[Desktop Entry]";
            sawGroup = inGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QStringView key = line.first(equals).trimmed();
        const QStringView value = line.sliced(equals + 1).trimmed();

        QStringView baseKey = key;
        QStringView locale;
        if (key.endsWith(u']')) {
            const qsizetype open = key.indexOf(u'[');
            if (open <= 0)
                continue;
            baseKey = key.first(open);
            locale = key.sliced(open + 1, key.size() - open - 2);
            if (locale.isEmpty())
                continue;
        }
        if (!std::all_of(baseKey.begin(), baseKey.end(), isKeyChar))
            continue;

        if (!locale.isNull()) {
            if (baseKey == u"Name" && !entry.localizedNames.contains(locale.toString()))
                entry.localizedNames.insert(locale.toString(), unescapedValue(value));
        } else if (baseKey == u"Type") {
            setOnce(entry.type, seenType, value);
        } else if (baseKey == u"Name") {
            setOnce(entry.name, seenName, value);
        } else if (baseKey == u"Exec") {
            setOnce(entry.exec, seenExec, value);
        } else if (baseKey == u"TryExec") {
            setOnce(entry.tryExec, seenTryExec, value);
        } else if (baseKey == u"StartupWMClass") {
            setOnce(entry.startupWMClass, seenWMClass, value);
        } else if (baseKey == u"Hidden" && !seenHidden) {
            entry.hidden = isTrue(value);
            seenHidden = true;
        } else if (baseKey == u"NoDisplay" && !seenNoDisplay) {
            entry.noDisplay = isTrue(value);
            seenNoDisplay = true;
        }
    }
    if (!sawGroup)
        return std::nullopt;
    return entry;
}

QString execProgram(const QString &exec)
{
    const QStringList words = execWords(exec);
    bool afterEnv = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (baseName(word) == u"env") {
            afterEnv = true;
        } else if (isAssignment(word)) {
            continue;
        } else if (afterEnv && word.startsWith(u'-')) {
            // env's options; these two take the next word as their value.
            if (word == u"-u" || word == u"--unset" || word == u"-C" || word == u"--chdir")
                ++i;
        } else {
            // A field code ("%U") is not a program.
            return word.startsWith(u'%') ? QString() : word;
        }
    }
    return {};
}

} // namespace pelmora
