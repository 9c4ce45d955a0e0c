// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pelmora_keylog FILE: a window that stands for the application the user was
// typing into. It appends the text of every key it gets to FILE, so a test
// sees whether a key meant for another window reached it, and keeps FILE.focus
// holding "in" while it has the keyboard, so a test types once it has.
// (foot 1.13 ends on SIGFPE on KWin's virtual output, so a terminal cannot
// play this part there.)
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRasterWindow>

namespace {

class KeyLog : public QRasterWindow {
public:
    explicit KeyLog(const QString &path) : m_file(path), m_focus(path + ".focus")
    {
        m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override { m_file.write(event->text().toUtf8()); }
    void focusInEvent(QFocusEvent *) override { said("in"); }
    void focusOutEvent(QFocusEvent *) override { said("out"); }
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(QRect(QPoint(), size()), QColor(30, 30, 30)); }

private:
    void said(const char *focus)
    {
        if (m_focus.open(QIODevice::WriteOnly | QIODevice::Truncate))
            m_focus.write(focus);
        m_focus.close();
    }

    QFile m_file;
    QFile m_focus;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QGuiApplication::setDesktopFileName(QStringLiteral("editor"));
    KeyLog window(QString::fromLocal8Bit(argv[1]));
    window.setTitle(QStringLiteral("editor"));
    window.resize(700, 500);
    window.show();
    return app.exec();
}
