// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FilterBar.h"

#include "SymbolButton.h"
#include "Theme.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

namespace pelmora {
namespace {

// The magnifying glass before the field; decoration only.
class SearchGlyph final : public QWidget {
public:
    static constexpr qreal pointSize = 15;

    explicit SearchGlyph(QWidget *parent = nullptr) : QWidget(parent)
    {
        const int side = int(std::ceil(symbolBoxSide(pointSize)));
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        paintSymbol(painter, Symbol::magnifyingGlass, QRectF(rect()).center(), Theme::systemBlue(),
                    SymbolWeight::medium, pointSize);
    }
};

} // namespace

FilterBar::FilterBar(QWidget *parent) : CardWidget(Theme::card(Theme::Card::searchField), parent)
{
    m_field = new QLineEdit;
    m_field->setFrame(false);
    m_field->setPlaceholderText(tr("Filter"));
    // A placeholder disappears with the first keystroke; the name stays.
    m_field->setAccessibleName(tr("Filter"));
    m_field->setFont(Theme::font(Theme::TextStyle::callout));
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette pal = m_field->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, Theme::primaryLabel());
    pal.setColor(QPalette::PlaceholderText, Theme::placeholderText());
    m_field->setPalette(pal);
    m_field->setTextMargins(0, 0, 0, 0);

    SymbolButton::Face face;
    face.symbol = Symbol::xmarkCircleFill;
    face.pointSize = 13;
    face.colour = Theme::secondaryLabel();
    face.size = QSize(18, 18);
    m_clear = new SymbolButton(face);
    m_clear->setAccessibleName(tr("Clear filter"));
    m_clear->setVisible(false);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 9, 12, 9);
    layout->setSpacing(8);
    layout->addWidget(new SearchGlyph);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_clear);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    connect(m_field, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_clear->setVisible(showsClearButton(text));
        emit textEdited(text);
    });
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        m_field->clear();
        m_clear->setVisible(false);
        emit textEdited(QString());
    });
}

void FilterBar::setText(const QString &text)
{
    if (m_field->text() != text)
        m_field->setText(text);
    m_clear->setVisible(showsClearButton(text));
}

QString FilterBar::text() const
{
    return m_field->text();
}

} // namespace pelmora
