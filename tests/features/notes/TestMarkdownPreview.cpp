// The preview's line classifier and its inline Markdown.

#include "features/notes/MarkdownPreview.h"
#include "support/TemporaryProfile.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

class TestMarkdownPreview : public QObject {
    Q_OBJECT
    TemporaryProfile m_profile { QStringLiteral("zh-Hans") };

private slots:
    void classifiesEachLine_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected"); // one "style:text" per line, "|" between lines
        const auto row = [](const char* name, const QString& source, const QString& expected) {
            QTest::newRow(name) << source << expected;
        };
        row("headings", "## Plan\n###### x\n# a **b**", "h2:Plan|h6:x|h1:a **b**");
        row("not headings", "##Plan\n#Tag\n####### x\n # x",
            "body:##Plan|body:#Tag|body:####### x|body: # x");
        row("fenced code", "```swift\nlet x = 1\n```\n# After", "sep:|code:let x = 1|sep:|h1:After");
        row("unclosed fence", "text\n```\n# In\n- x\n", "body:text|sep:|code:# In|code:- x|code:");
        row("tasks and bullets", "- [ ] buy\n- [x] done\n- [X] done\n* item\n- plain\n-no\n - i",
            "body:☐ buy|body:☑ done|body:• [X] done|body:• item|body:• plain|body:-no|body: - i");
        row("embed", "![[Recording-1.m4a]] extra", "quote:📎 附件（可在上方打开或回放）");
        row("quote", "> said\n>not", "quote:said|body:>not");
        row("empty note", "", "body:");
        row("every line break", QString::fromUtf8("a\r\nb\rc\u2028d\u2029e\u0085f\vg\fh\n\n"),
            "body:a|body:b|body:c|body:d|body:e|body:f|body:g|body:h|body:|body:");
    }

    void classifiesEachLine()
    {
        QFETCH(QString, source);
        QFETCH(QString, expected);
        using Style = MarkdownPreview::Style;
        const QHash<Style, QString> names { { Style::heading, "h" }, { Style::body, "body" },
            { Style::quote, "quote" }, { Style::code, "code" }, { Style::separator, "sep" } };
        const QList<MarkdownPreview::PreviewLine> lines = MarkdownPreview::lines(source);
        QStringList seen;
        for (int i = 0; i < lines.size(); ++i) {
            const MarkdownPreview::PreviewLine& line = lines.at(i);
            QCOMPARE(line.id, i);
            seen << names.value(line.style) + (line.level ? QString::number(line.level) : "") + ':'
                    + line.text;
        }
        QCOMPARE(seen.join('|'), expected);
    }

    void rendersInlineMarkdown_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("formats"); // "b", "i", "code" or "a(address)", then the text
        const auto row = [](const char* name, const QString& line, const QString& shown,
                             const QString& formats) { QTest::newRow(name) << line << shown << formats; };
        row("strong and emphasis", "**bold**, *it* and __b__ _i_, ***c***", "bold, it and b i, c",
            "b:bold|i:it|b:b|i:i|bi:c");
        row("code keeps markup as text", "a `<b>` & **c**", "a <b> & c", "code:<b>|b:c");
        row("markup is text", "<b>x</b> &amp; y", "<b>x</b> &amp; y", "");
        row("link", "[a *site*](https://example.org/?a=1&b=2)", "a site",
            "a(https://example.org/?a=1&b=2):a |a(https://example.org/?a=1&b=2)i:site");
        row("local address not followed, not links", "[x](file:///bin/sh) [1] [y] (z)", "x [1] [y] (z)", "");
        row("marks in words, spaced marks, whitespace, escapes", "snake_case 2 * 3  \t \\*x\\* \\a 1. one",
            "snake_case 2 * 3  \t *x* \\a 1. one", "");
        row("unclosed emphasis: plain", "**a** and *b", "**a** and *b", "");
        row("unclosed code: plain", "`x **y**", "`x **y**", "");
        row("crossed marks: plain", "*a **b* c**", "*a **b* c**", "");
    }

    void rendersInlineMarkdown()
    {
        QFETCH(QString, line);
        QFETCH(QString, shown);
        QFETCH(QString, formats);
        QTextDocument document;
        document.setHtml(MarkdownPreview::inlineHtml(line));
        QCOMPARE(document.toPlainText(), shown);
        QStringList seen;
        for (auto it = document.firstBlock().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QString kind = format.isAnchor() ? QString("a(%1)").arg(format.anchorHref()) : QString();
            kind += QString(format.fontWeight() >= QFont::Bold ? "b" : "") + (format.fontItalic() ? "i" : "")
                + (format.fontFamilies().toStringList().contains("monospace") ? "code" : "");
            if (!kind.isEmpty())
                seen << kind + ':' + it.fragment().text();
        }
        QCOMPARE(seen.join('|'), formats);
    }
};

QTEST_MAIN(TestMarkdownPreview)
#include "TestMarkdownPreview.moc"
