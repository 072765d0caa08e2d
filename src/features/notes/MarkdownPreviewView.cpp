#include "MarkdownPreviewView.h"

#include "MarkdownPreview.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

namespace {
using MarkdownPreview::Style;

// Marks the paragraphs that get the quote bar.
constexpr int kQuoteState = 1;
constexpr int kQuoteBarWidth = 2;
constexpr int kQuoteIndent = 10;
} // namespace

MarkdownPreviewView::MarkdownPreviewView(QWidget* parent)
    : QTextBrowser(parent)
{
    setObjectName("markdownPreview");
    setFrameShape(QFrame::NoFrame);
    // Transparent like the editor it stands in for.
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(4);
    document()->setUndoRedoEnabled(false);
    setViewportMargins(0, 4, 0, 4);
    // Only web and mail addresses become links; they open in the desktop's programs.
    setOpenLinks(false);
    connect(
        this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) { QDesktopServices::openUrl(url); });
}

void MarkdownPreviewView::showNote(const QString& source)
{
    if (m_built && source == m_source)
        return;
    m_source = source;
    rebuild();
}

void MarkdownPreviewView::retranslate()
{
    if (m_built)
        rebuild();
}

void MarkdownPreviewView::changeEvent(QEvent* event)
{
    QTextBrowser::changeEvent(event);
    // The quote and code colours and the heading sizes come from the palette and font.
    if (m_built && (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange))
        rebuild();
}

void MarkdownPreviewView::rebuild()
{
    m_built = true;
    QList<MarkdownPreview::PreviewLine> lines = MarkdownPreview::lines(m_source);
    lines.removeIf([](const MarkdownPreview::PreviewLine& line) { return line.style == Style::separator; });
    // One paragraph per line; an empty line is shown as one space so that it keeps its height.
    QString html;
    for (const MarkdownPreview::PreviewLine& line : lines) {
        const QString text = line.text.isEmpty() ? QStringLiteral(" ") : line.text;
        html += QStringLiteral("<p>")
            + (line.style == Style::code ? MarkdownPreview::plainHtml(text)
                                         : MarkdownPreview::inlineHtml(text))
            + QStringLiteral("</p>");
    }
    setHtml(html);

    const qreal base = font().pointSizeF();
    QColor tint = palette().color(QPalette::Text);
    tint.setAlphaF(0.06f);
    QFont monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospace.setPointSizeF(base * 0.9);
    // One edit for all lines: the document is laid out once, at the end.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    QTextBlock block = document()->begin();
    for (const MarkdownPreview::PreviewLine& line : lines) {
        if (!block.isValid())
            break;
        cursor.setPosition(block.position());
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextBlockFormat paragraph;
        paragraph.setTopMargin(0);
        paragraph.setBottomMargin(2);
        QTextCharFormat characters;
        switch (line.style) {
        case Style::heading:
            characters.setFontPointSize(base * (line.level == 1 ? 1.8 : line.level == 2 ? 1.35 : 1.0));
            characters.setFontWeight(QFont::DemiBold);
            break;
        case Style::quote:
            paragraph.setLeftMargin(kQuoteBarWidth + kQuoteIndent);
            characters.setForeground(palette().color(QPalette::PlaceholderText));
            block.setUserState(kQuoteState);
            break;
        case Style::code:
            paragraph.setBackground(tint);
            paragraph.setTextIndent(4);
            characters.setFont(monospace, QTextCharFormat::FontPropertiesSpecifiedOnly);
            characters.setFontFixedPitch(true);
            break;
        case Style::body:
        case Style::separator:
            break;
        }
        cursor.mergeBlockFormat(paragraph);
        cursor.mergeCharFormat(characters);
        block = block.next();
    }
    cursor.endEditBlock();
}

void MarkdownPreviewView::paintEvent(QPaintEvent* event)
{
    QTextBrowser::paintEvent(event);
    QPainter painter(viewport());
    const QPointF offset(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const qreal left = document()->documentMargin();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() != kQuoteState)
            continue;
        const QRectF rect = layout->blockBoundingRect(block).translated(offset);
        if (rect.bottom() < 0 || rect.top() > viewport()->height())
            continue;
        painter.fillRect(QRectF(left + offset.x(), rect.top(), kQuoteBarWidth, rect.height()),
            palette().color(QPalette::PlaceholderText));
    }
}
