// The notes panel's header toggles and footer; the editor's caret when the note changes elsewhere.

#include "features/notes/NoteTextEditor.h"
#include "features/notes/NotesView.h"
#include "support/StoreHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
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
};

QTEST_MAIN(TestNotesView)
#include "TestNotesView.moc"
