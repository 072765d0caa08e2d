#include "MarkdownPreviewView.h"

#include "MarkdownPreview.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
using MarkdownPreview::Style;

QLabel* textLabel(const QString& html, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName("previewLine");
    label->setTextFormat(Qt::RichText);
    label->setText(html);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    label->setOpenExternalLinks(true);
    return label;
}

QWidget* lineRow(const MarkdownPreview::PreviewLine& line, QWidget* parent)
{
    // An empty line is shown as one space so that it keeps its height.
    const QString text = line.text.isEmpty() ? QStringLiteral(" ") : line.text;
    switch (line.style) {
    case Style::separator:
        return nullptr;
    case Style::code: {
        QLabel* label = textLabel(MarkdownPreview::plainHtml(text), parent);
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(parent->font().pointSizeF() * 0.9);
        label->setFont(font);
        label->setContentsMargins(6, 1, 6, 1);
        QPalette palette = label->palette();
        QColor tint = palette.color(QPalette::Text);
        tint.setAlphaF(0.06f);
        palette.setColor(QPalette::Window, tint);
        label->setPalette(palette);
        label->setAutoFillBackground(true);
        label->setProperty("lineStyle", "code");
        return label;
    }
    case Style::quote: {
        auto* quote = new QWidget(parent);
        quote->setObjectName("previewQuote");
        auto* layout = new QHBoxLayout(quote);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(10);
        auto* bar = new QWidget(quote);
        bar->setFixedWidth(2);
        QPalette barPalette = bar->palette();
        barPalette.setColor(QPalette::Window, barPalette.color(QPalette::PlaceholderText));
        bar->setPalette(barPalette);
        bar->setAutoFillBackground(true);
        QLabel* label = textLabel(MarkdownPreview::inlineHtml(text), quote);
        label->setForegroundRole(QPalette::PlaceholderText);
        label->setProperty("lineStyle", "quote");
        layout->addWidget(bar);
        layout->addWidget(label, 1);
        return quote;
    }
    case Style::heading: {
        QLabel* label = textLabel(MarkdownPreview::inlineHtml(text), parent);
        QFont font = parent->font();
        font.setPointSizeF(font.pointSizeF() * (line.level == 1 ? 1.8 : line.level == 2 ? 1.35 : 1.0));
        font.setWeight(QFont::DemiBold);
        label->setFont(font);
        label->setProperty("lineStyle", QStringLiteral("heading%1").arg(line.level));
        return label;
    }
    case Style::body:
        break;
    }
    QLabel* label = textLabel(MarkdownPreview::inlineHtml(text), parent);
    label->setProperty("lineStyle", "body");
    return label;
}
} // namespace

MarkdownPreviewView::MarkdownPreviewView(QWidget* parent)
    : QScrollArea(parent)
{
    setObjectName("markdownPreview");
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rows = new QWidget(this);
    m_rows->setObjectName("markdownPreviewLines");
    m_layout = new QVBoxLayout(m_rows);
    m_layout->setContentsMargins(4, 8, 4, 8);
    m_layout->setSpacing(2);
    setWidget(m_rows);
    // Transparent like the editor it stands in for.
    viewport()->setAutoFillBackground(false);
    m_rows->setAutoFillBackground(false);
    rebuild();
}

void MarkdownPreviewView::setSource(const QString& source)
{
    if (source == m_source && m_layout->count() > 0)
        return;
    m_source = source;
    rebuild();
}

void MarkdownPreviewView::retranslate()
{
    rebuild();
}

void MarkdownPreviewView::changeEvent(QEvent* event)
{
    QScrollArea::changeEvent(event);
    // The quote bars and code tints take their colours from the palette when built.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        rebuild();
}

void MarkdownPreviewView::rebuild()
{
    while (QLayoutItem* item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const MarkdownPreview::PreviewLine& line : MarkdownPreview::lines(m_source)) {
        if (QWidget* widget = lineRow(line, m_rows))
            m_layout->addWidget(widget);
    }
    m_layout->addStretch(1);
}
