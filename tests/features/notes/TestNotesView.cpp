// The notes panel's header toggles, footer and the editor's caret when the note changes
// from elsewhere.

#include "features/notes/NoteTextEditor.h"
#include "features/notes/NotesView.h"
#include "support/StoreHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class TestNotesView : public QObject {
    Q_OBJECT

private slots:
    void headerToggles_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("texts"); // preview, edit, expand, collapse, help while collapsed
        QTest::newRow("zh") << "zh-Hans" << QStringList { "预览 Markdown", "编辑 Markdown", "展开 Note", "收起 Note",
            "展开 Note，专注长文记录" };
        QTest::newRow("en") << "en" << QStringList { "Preview Markdown", "Edit Markdown", "Expand Note",
            "Collapse Note", "Expand Note for Longer Writing" };
    }

    // The preview replaces the editor and follows the note; expanding asks the window's
    // layout, which answers by setting the state.
    void headerToggles()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, texts);
        StoreHarness s(language);
        NotesView view(s.store.get());
        auto* mode = view.findChild<QToolButton*>("previewToggleButton");
        auto* pane = view.findChild<QToolButton*>("expandNoteButton");
        auto* preview = view.findChild<QWidget*>("markdownPreview");
        QCOMPARE(mode->text(), texts.at(0));
        QTest::mouseClick(mode, Qt::LeftButton);
        QVERIFY(preview->isVisibleTo(&view) && !view.findChild<QWidget*>("noteEditor")->isVisibleTo(&view));
        QCOMPARE(mode->text(), texts.at(1));
        s.store->setNote("# Later");
        const QList<QLabel*> rows = preview->findChildren<QLabel*>("previewLine");
        QVERIFY(rows.size() == 1 && rows.first()->text().contains(">Later<"));
        QCOMPARE(rows.first()->property("lineStyle").toString(), QString("heading1"));
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

    void footer_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("characters");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("emoji with modifier, family") << "👍🏽👨‍👩‍👧‍👦" << 2;
        QTest::newRow("CJK and a line break") << "中文\n笔记" << 5;
        QTest::newRow("combining marks") << "e\u0301a\u0308" << 2;
    }

    // User-perceived characters; nothing to export from an empty page.
    void footer()
    {
        QFETCH(QString, content);
        QFETCH(int, characters);
        StoreHarness s;
        NotesView view(s.store.get());
        s.store->setNote(content);
        QCOMPARE(view.findChild<QLabel*>("noteFooterLabel")->text(), QString("%1 characters · Markdown").arg(characters));
        QCOMPARE(view.findChild<QPushButton*>("exportNoteButton")->isEnabled(), characters > 0);
    }

    void caretRules_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("otherPage");
        QTest::addColumn<int>("expected");
        QTest::newRow("at the end follows it") << "abc" << 3 << "abc\n### T" << false << 9;
        QTest::newRow("inside stays") << "abc" << 1 << "abc\n### T" << false << 1;
        QTest::newRow("text added before") << "hello" << 2 << "> hello" << false << 2;
        QTest::newRow("limited to the new length") << "abcdef" << 5 << "ab" << false << 2;
        QTest::newRow("written as stored") << "x" << 0 << "x\u00a0y\u2028z" << false << 0;
        QTest::newRow("other page, at the end") << "abc" << 3 << "other page" << true << 10;
        QTest::newRow("other page, inside") << "abcdef" << 2 << "xyz" << true << 2;
        QTest::newRow("other page, limited") << "abcdef" << 5 << "xy" << true << 2;
    }

    void caretRules()
    {
        QFETCH(QString, before);
        QFETCH(int, caret);
        QFETCH(QString, after);
        QFETCH(bool, otherPage);
        QFETCH(int, expected);
        NoteTextEditor editor;
        QSignalSpy edited(&editor, &NoteTextEditor::edited);
        editor.showPageText(before);
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(caret);
        editor.setTextCursor(cursor);
        otherPage ? editor.showPageText(after) : editor.takeText(after);
        QCOMPARE(editor.textCursor().position(), expected);
        QVERIFY(editor.text() == after && edited.isEmpty());
    }

    // A transcript appended while the user types: no keystroke lost, the caret stays, and
    // undoing the typing does not take the transcript away.
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
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.store->note(), QString("abc\n### T"));
    }

    void preferredHeight()
    {
        NoteTextEditor editor;
        QCOMPARE(editor.sizeHint().height(), 140);
        editor.showPageText(QString("line\n").repeated(40));
        QVERIFY(editor.sizeHint().height() >= 41 * editor.fontMetrics().lineSpacing() + 16);
    }
};

QTEST_MAIN(TestNotesView)
#include "TestNotesView.moc"
