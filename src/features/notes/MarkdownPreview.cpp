#include "MarkdownPreview.h"

#include "platform/localization/L10n.h"

#include <QUrl>

#include <optional>

namespace MarkdownPreview {
namespace {

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QStringList splitLines(const QString& source)
{
    QStringList result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (!isLineBreak(source.at(i)))
            continue;
        result.append(source.mid(start, i - start));
        // CR LF is one line break.
        if (source.at(i) == u'\r' && i + 1 < source.size() && source.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    result.append(source.mid(start));
    return result;
}

PreviewLine classify(int id, const QString& line, bool insideCode)
{
    if (insideCode)
        return { id, line, Style::code, 0 };
    for (int level = 6; level >= 1; --level) {
        const QString marks = QString(level, u'#') + u' ';
        if (line.startsWith(marks))
            return { id, line.mid(marks.size()), Style::heading, level };
    }
    // The recordings and files are shown in their own lists; the embed only points there.
    if (line.startsWith(QStringLiteral("![[")))
        return { id, L10n::tr(QStringLiteral("📎 附件（可在上方打开或回放）")), Style::quote, 0 };
    if (line.startsWith(QStringLiteral("> ")))
        return { id, line.mid(2), Style::quote, 0 };
    if (line.startsWith(QStringLiteral("- [ ] ")))
        return { id, QStringLiteral("☐ ") + line.mid(6), Style::body, 0 };
    if (line.startsWith(QStringLiteral("- [x] ")))
        return { id, QStringLiteral("☑ ") + line.mid(6), Style::body, 0 };
    if (line.startsWith(QStringLiteral("- ")) || line.startsWith(QStringLiteral("* ")))
        return { id, QStringLiteral("• ") + line.mid(2), Style::body, 0 };
    return { id, line, Style::body, 0 };
}

QString escaped(QStringView text)
{
    return text.toString().toHtmlEscaped();
}

QString wrapped(const QString& html)
{
    return QStringLiteral("<span style=\"white-space:pre-wrap\">") + html + QStringLiteral("</span>");
}

// Inline-only Markdown, strict: an opened code span or emphasis that is never closed makes
// the whole line fail, so that it is shown exactly as typed. Each character is read a bounded
// number of times, whatever the line holds.
class InlineParser {
public:
    explicit InlineParser(const QString& text)
        : m_text(text)
        , m_closingBracket(text.size(), -1)
        , m_nextParenthesis(text.size() + 1, -1)
    {
        QList<qsizetype> open;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == u'\\')
                ++i;
            else if (text.at(i) == u'[')
                open.append(i);
            else if (text.at(i) == u']' && !open.isEmpty())
                m_closingBracket[open.takeLast()] = i;
        }
        for (qsizetype i = text.size() - 1; i >= 0; --i)
            m_nextParenthesis[i] = text.at(i) == u')' ? i : m_nextParenthesis.at(i + 1);
    }

    std::optional<QString> html()
    {
        QString out;
        qsizetype i = 0;
        if (!parse(i, m_text.size(), QString(), false, out))
            return std::nullopt;
        return out;
    }

private:
    // Whitespace for the flanking rules: outside the range counts as whitespace.
    bool spaceAt(qsizetype i, qsizetype end) const { return i < 0 || i >= end || m_text.at(i).isSpace(); }
    bool wordAt(qsizetype i, qsizetype end) const
    {
        return i >= 0 && i < end && m_text.at(i).isLetterOrNumber();
    }

    qsizetype runLength(qsizetype i, qsizetype end) const
    {
        qsizetype n = 0;
        while (i + n < end && m_text.at(i + n) == m_text.at(i))
            ++n;
        return n;
    }

    // Reads [i, end) into `out` until the emphasis run `closer` closes it (or to the end when
    // there is none). False when something opened is not closed.
    bool parse(qsizetype& i, qsizetype end, const QString& closer, bool inLink, QString& out)
    {
        // Deeper nesting than anyone writes is shown as typed (and keeps the stack small).
        if (m_depth > kMaximumDepth)
            return false;
        const DepthGuard guard(m_depth);
        static const QString punctuation = QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
        while (i < end) {
            const QChar c = m_text.at(i);
            if (c == u'\\' && i + 1 < end && punctuation.contains(m_text.at(i + 1))) {
                out += escaped(QStringView(m_text).mid(i + 1, 1));
                i += 2;
            } else if (c == u'`') {
                if (!codeSpan(i, end, out))
                    return false;
            } else if (c == u'[' && !inLink && isLink(i, end)) {
                if (!link(i, out))
                    return false;
            } else if (c == u'*' || c == u'_') {
                const qsizetype n = runLength(i, end);
                const QString run = m_text.mid(i, n);
                const bool underscore = c == u'_';
                const bool canOpen = !spaceAt(i + n, end) && !(underscore && wordAt(i - 1, end));
                const bool canClose = !spaceAt(i - 1, end) && !(underscore && wordAt(i + n, end));
                if (canClose && run == closer) {
                    i += n;
                    return true;
                }
                i += n;
                if (!canOpen || n > 3) {
                    out += run;
                    continue;
                }
                QString inner;
                if (!parse(i, end, run, inLink, inner))
                    return false;
                static const QString open[]
                    = { {}, QStringLiteral("<i>"), QStringLiteral("<b>"), QStringLiteral("<b><i>") };
                static const QString close[]
                    = { {}, QStringLiteral("</i>"), QStringLiteral("</b>"), QStringLiteral("</i></b>") };
                out += open[n] + inner + close[n];
            } else {
                out += escaped(QStringView(m_text).mid(i, 1));
                ++i;
            }
        }
        return closer.isEmpty();
    }

    bool codeSpan(qsizetype& i, qsizetype end, QString& out)
    {
        const qsizetype n = runLength(i, end);
        for (qsizetype j = i + n; j < end;) {
            if (m_text.at(j) != u'`') {
                ++j;
                continue;
            }
            const qsizetype m = runLength(j, end);
            if (m == n) {
                out += QStringLiteral("<code>") + escaped(QStringView(m_text).mid(i + n, j - i - n))
                    + QStringLiteral("</code>");
                i = j + m;
                return true;
            }
            j += m;
        }
        return false;
    }

    // "[label](destination)" within [i, end); anything else leaves the bracket as text.
    bool isLink(qsizetype i, qsizetype end) const
    {
        const qsizetype close = m_closingBracket.at(i);
        if (close < 0 || close + 2 >= end || m_text.at(close + 1) != u'(')
            return false;
        const qsizetype target = m_nextParenthesis.at(close + 2);
        if (target < 0 || target >= end || target == close + 2)
            return false;
        return std::none_of(m_text.cbegin() + close + 2, m_text.cbegin() + target,
            [](QChar c) { return c.isSpace() || c == u'<' || c == u'>' || c == u'('; });
    }

    bool link(qsizetype& i, QString& out)
    {
        const qsizetype close = m_closingBracket.at(i);
        const qsizetype target = m_nextParenthesis.at(close + 2);
        const QString destination = m_text.mid(close + 2, target - close - 2);
        QString label;
        qsizetype j = i + 1;
        if (!parse(j, close, QString(), true, label))
            return false;
        // Only addresses a browser or mail program opens are followed; others stay text.
        const QUrl url(destination, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (url.isValid() && (scheme == u"http" || scheme == u"https" || scheme == u"mailto"))
            out += QStringLiteral("<a href=\"") + escaped(url.toString(QUrl::FullyEncoded))
                + QStringLiteral("\">") + label + QStringLiteral("</a>");
        else
            out += label;
        i = target + 1;
        return true;
    }

    struct DepthGuard {
        explicit DepthGuard(int& depth)
            : m_depth(depth)
        {
            ++m_depth;
        }
        ~DepthGuard() { --m_depth; }
        int& m_depth;
    };
    static constexpr int kMaximumDepth = 32;

    const QString& m_text;
    // For each "[", the index of its "]" (or -1); for each index, the next ")" from there.
    QList<qsizetype> m_closingBracket;
    QList<qsizetype> m_nextParenthesis;
    int m_depth = 0;
};

} // namespace

QList<PreviewLine> lines(const QString& source)
{
    QList<PreviewLine> result;
    bool insideCode = false;
    const QStringList sourceLines = splitLines(source);
    result.reserve(sourceLines.size());
    for (int id = 0; id < sourceLines.size(); ++id) {
        const QString& line = sourceLines.at(id);
        if (line.startsWith(QStringLiteral("```"))) {
            insideCode = !insideCode;
            result.append({ id, QString(), Style::separator, 0 });
        } else {
            result.append(classify(id, line, insideCode));
        }
    }
    return result;
}

QString inlineHtml(const QString& line)
{
    const std::optional<QString> html = InlineParser(line).html();
    return html ? wrapped(*html) : plainHtml(line);
}

QString plainHtml(const QString& line)
{
    return wrapped(line.toHtmlEscaped());
}

} // namespace MarkdownPreview
