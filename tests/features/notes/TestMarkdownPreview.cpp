// The preview's line classifier and its inline Markdown.

#include "features/notes/MarkdownPreview.h"
#include "support/TemporaryProfile.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using MarkdownPreview::Style;

class TestMarkdownPreview : public QObject {
    Q_OBJECT
    TemporaryProfile m_profile { QStringLiteral("zh-Hans") };

    // "h2:Plan", "body:x", "sep:" ...
    static QString described(const MarkdownPreview::PreviewLine& line)
    {
        static const QHash<Style, QString> names { { Style::body, "body" }, { Style::quote, "quote" },
            { Style::code, "code" }, { Style::separator, "sep" } };
        return (line.style == Style::heading ? QString("h%1").arg(line.level) : names.value(line.style)) + ':'
            + line.text;
    }

private slots:
    void classifiesEachLine_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("heading") << "## Plan" << QStringList { "h2:Plan" };
        QTest::newRow("no space after the marks") << "##Plan\n#Tag" << QStringList { "body:##Plan", "body:#Tag" };
        QTest::newRow("six and seven marks") << "###### x\n####### x" << QStringList { "h6:x", "body:####### x" };
        QTest::newRow("leading space") << " # x\n > q\n - i" << QStringList { "body: # x", "body: > q", "body: - i" };
        QTest::newRow("inline marks stay for the renderer") << "# a **b**" << QStringList { "h1:a **b**" };
        QTest::newRow("fenced code") << "```swift\nlet x = 1\n```\n# After"
                                     << QStringList { "sep:", "code:let x = 1", "sep:", "h1:After" };
        QTest::newRow("unclosed fence") << "text\n```\n# In\n- x\n" << QStringList { "body:text", "sep:", "code:# In",
            "code:- x", "code:" };
        QTest::newRow("tasks and bullets") << "- [ ] buy\n- [x] done\n- [X] done\n* item\n- plain\n-no\n*no"
                                           << QStringList { "body:☐ buy", "body:☑ done", "body:• [X] done",
                                                  "body:• item", "body:• plain", "body:-no", "body:*no" };
        QTest::newRow("embed") << "![[Recording-1.m4a]] extra"
                               << QStringList { "quote:📎 附件（可在上方打开或回放）" };
        QTest::newRow("quote") << "> said\n>not" << QStringList { "quote:said", "body:>not" };
        QTest::newRow("empty note") << "" << QStringList { "body:" };
        QTest::newRow("every line break")
            << QString::fromUtf8("a\r\nb\rc\u2028d\u2029e\u0085f\vg\fh\n\n")
            << QStringList { "body:a", "body:b", "body:c", "body:d", "body:e", "body:f", "body:g", "body:h",
                   "body:", "body:" };
    }

    void classifiesEachLine()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, expected);
        const QList<MarkdownPreview::PreviewLine> lines = MarkdownPreview::lines(source);
        QStringList seen;
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines.at(i).id, i);
            seen << described(lines.at(i));
        }
        QCOMPARE(seen, expected);
    }

    void rendersInlineMarkdown_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("formats");
        QTest::newRow("strong and emphasis") << "**bold**, *it* and __b__ _i_" << "bold, it and b i"
                                             << "b:bold|i:it|b:b|i:i";
        QTest::newRow("both") << "***both***" << "both" << "bi:both";
        QTest::newRow("code keeps markup as text") << "a `<b>` & **c**" << "a <b> & c" << "code:<b>|b:c";
        QTest::newRow("markup is text") << "<b>x</b> &amp; y" << "<b>x</b> &amp; y" << "";
        QTest::newRow("link") << "[a *site*](https://example.org/?a=1&b=2)" << "a site"
                              << "a(https://example.org/?a=1&b=2):a |a(https://example.org/?a=1&b=2)i:site";
        QTest::newRow("local address not followed") << "[x](file:///bin/sh)" << "x" << "";
        QTest::newRow("not a link") << "[1] and [x] (y)" << "[1] and [x] (y)" << "";
        QTest::newRow("marks inside words and spaced") << "snake_case_name 2 * 3 * 4" << "snake_case_name 2 * 3 * 4"
                                                       << "";
        QTest::newRow("whitespace as typed") << "a  b\t c " << "a  b\t c " << "";
        QTest::newRow("escapes") << "\\*not\\* \\a" << "*not* \\a" << "";
        QTest::newRow("no block syntax") << "1. one" << "1. one" << "";
        QTest::newRow("unclosed emphasis: plain") << "**a** and *b" << "**a** and *b" << "";
        QTest::newRow("unclosed code: plain") << "`x **y**" << "`x **y**" << "";
        QTest::newRow("crossed marks: plain") << "*a **b* c**" << "*a **b* c**" << "";
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
                + (QFontInfo(format.font()).fixedPitch() ? "code" : "");
            if (kind != QString())
                seen << kind + ':' + it.fragment().text();
        }
        QCOMPARE(seen.join('|'), formats);
    }
};

QTEST_MAIN(TestMarkdownPreview)
#include "TestMarkdownPreview.moc"
