// The notes panel's header toggles and footer; the editor's caret when the note changes elsewhere;
// the preview's Markdown.

#include "features/notes/MarkdownPreview.h"
#include "features/notes/NoteTextEditor.h"
#include "features/notes/NotesView.h"
#include "support/StoreHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

class TestNotesView : public QObject {
    Q_OBJECT

private slots:
    void panelTexts_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("content");
        // preview, edit, expand, collapse, help while collapsed, footer
        QTest::addColumn<QStringList>("texts");
        const auto row = [](const char* language, const QString& content, const QString& texts) {
            QTest::newRow(language) << language << content << texts.split('|');
        };
        row("zh-Hans", "",
            "预览 Markdown|编辑 Markdown|展开 Note|收起 Note|展开 Note，专注长文记录|0 字 · Markdown");
        // Emoji with a modifier, a family joined by ZWJ, CJK, a line break, combining marks.
        row("en", "👍🏽👨‍👩‍👧‍👦中文\ne\u0301a\u0308",
            "Preview Markdown|Edit Markdown|Expand Note|Collapse Note|Expand Note for Longer Writing|"
            "7 characters · Markdown");
    }

    // The footer counts what the user sees as characters; expanding asks, the layout answers.
    void panelTexts()
    {
        QFETCH(QString, language);
        QFETCH(QString, content);
        QFETCH(QStringList, texts);
        StoreHarness s(language);
        NotesView view(s.store.get());
        s.store->setNote(content);
        QCOMPARE(view.findChild<QLabel*>("noteFooterLabel")->text(), texts.at(5));
        QCOMPARE(view.findChild<QPushButton*>("exportNoteButton")->isEnabled(), !content.isEmpty());
        auto* mode = view.findChild<QToolButton*>("previewToggleButton");
        auto* pane = view.findChild<QToolButton*>("expandNoteButton");
        auto* preview = view.findChild<QTextBrowser*>("markdownPreview");
        QCOMPARE(mode->text(), texts.at(0));
        QTest::mouseClick(mode, Qt::LeftButton);
        QVERIFY(preview->isVisibleTo(&view) && !view.findChild<QWidget*>("noteEditor")->isVisibleTo(&view)
            && mode->text() == texts.at(1));
        s.store->setNote("# Later");
        QTextCursor heading(preview->document());
        heading.movePosition(QTextCursor::NextCharacter);
        QVERIFY(preview->toPlainText() == "Later"
            && heading.charFormat().fontPointSize() > view.font().pointSizeF());
        QTest::mouseClick(mode, Qt::LeftButton);
        QVERIFY(!preview->isVisibleTo(&view) && mode->text() == texts.at(0));

        QSignalSpy asked(&view, &NotesView::expandedChanged);
        QVERIFY(pane->text() == texts.at(2) && pane->toolTip() == texts.at(4));
        QTest::mouseClick(pane, Qt::LeftButton);
        QVERIFY(asked.size() == 1 && asked.first().first().toBool() && pane->text() == texts.at(3));
        view.setExpanded(false);
        view.setExpanded(false);
        QVERIFY(asked.size() == 2 && pane->text() == texts.at(2));
    }

    void caretRules_data()
    {
        QTest::addColumn<QString>("before"); // "|" marks the caret
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("otherPage");
        const auto row = [](const char* name, const QString& before, const QString& after, bool otherPage) {
            QTest::newRow(name) << before << after << otherPage;
        };
        row("at the end follows it", "abc|", "abc\n### T|", false);
        row("inside stays", "a|bc", "a|bc\n### T", false);
        row("text added before", "he|llo", "> |hello", false);
        row("limited to the new length", "abcde|f", "ab|", false);
        row("written as stored", "|x", "|x\u00a0y\u2028z", false);
        row("other page, at the end", "abc|", "other page|", true);
        row("other page, inside", "ab|cdef", "xy|z", true);
        row("other page, limited", "abcde|f", "xy|", true);
    }

    void caretRules()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, otherPage);
        NoteTextEditor editor;
        QSignalSpy edited(&editor, &NoteTextEditor::edited);
        editor.showPageText(QString(before).remove('|'));
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(int(before.indexOf('|')));
        editor.setTextCursor(cursor);
        const QString text = QString(after).remove('|');
        otherPage ? editor.showPageText(text) : editor.takeText(text);
        QCOMPARE(editor.textCursor().position(), after.indexOf('|'));
        QVERIFY(editor.text() == text && edited.isEmpty());
    }

    // A transcript added while typing loses no keystroke, and undo leaves it.
    void transcriptWhileTyping()
    {
        StoreHarness s;
        NotesView view(s.store.get());
        auto* editor = view.findChild<NoteTextEditor*>("noteEditor");
        QTest::keyClicks(editor, "abc");
        QTest::keyClick(editor, Qt::Key_Left);
        QList<NotePage> pages = s.store->pages();
        pages.first().content += "\n### T";
        s.store->setPages(pages);
        QTest::keyClicks(editor, "XY");
        QCOMPARE(s.store->note(), QString("abXYc\n### T"));
        QCOMPARE(editor->textCursor().position(), 4);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.store->note(), QString("abc\n### T"));
    }

    // The preview's line classifier and its inline Markdown.
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
        TemporaryProfile profile("zh-Hans");
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

QTEST_MAIN(TestNotesView)
#include "TestNotesView.moc"
