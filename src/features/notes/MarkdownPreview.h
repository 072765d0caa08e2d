#pragma once

#include <QList>
#include <QString>

// The read-only preview of a note: each source line classified on its own (no block
// structure beyond fenced code), and the inline Markdown of one line as rich text.
namespace MarkdownPreview {

enum class Style { heading, body, quote, code, separator };

struct PreviewLine {
    int id = 0; // the line's index in the source, from 0
    QString text; // what to show, markers removed or replaced
    Style style = Style::body;
    int level = 0; // 1 to 6 for headings, otherwise 0

    friend bool operator==(const PreviewLine&, const PreviewLine&) = default;
};

// One line per source line, split at every Unicode line break, empty lines kept.
QList<PreviewLine> lines(const QString& source);

// Rich text for one line: emphasis, strong, inline code and links, whitespace kept as typed.
// A line whose inline syntax does not parse (an unclosed code span or emphasis) comes back
// as its plain text. All of the user's text is escaped; only the markup made here is rich.
QString inlineHtml(const QString& line);

// The line as plain text in the same rich-text form, nothing interpreted.
QString plainHtml(const QString& line);

} // namespace MarkdownPreview
