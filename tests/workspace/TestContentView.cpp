#include "features/notes/NotesView.h"
#include "support/StoreHarness.h"
#include "workspace/ContentView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

struct Session : StoreHarness {
    std::unique_ptr<ContentView> view;

    explicit Session(const QString& language = QStringLiteral("en"))
        : StoreHarness(language)
    {
        show();
    }
    ~Session() { view.reset(); }
    void show()
    {
        view = std::make_unique<ContentView>(store.get());
        view->resize(420, 800);
        view->show();
    }
    void restart()
    {
        view.reset();
        StoreHarness::restart();
        show();
    }
    template <class T> T find(const QString& name) const { return view->findChild<T>(name); }
};

class TestContentView : public QObject {
    Q_OBJECT

    QList<QToolButton*> pageTabs(const Session& s) const
    {
        QList<QToolButton*> tabs;
        for (QToolButton* button : s.view->findChildren<QToolButton*>("pageTab")) {
            if (!button->property("pageID").isNull())
                tabs.append(button);
        }
        return tabs;
    }

private slots:
    void typedTaskAndNoteSurviveRestart()
    {
        Session s("en");
        {
            auto* draft = s.find<QLineEdit*>("taskDraftField");
            QVERIFY(draft);
            QCOMPARE(draft->placeholderText(), QString("Add a task and press Return"));
            QTest::keyClicks(draft, "  Water the plants ");
            QTest::keyClick(draft, Qt::Key_Return);
            QCOMPARE(draft->text(), QString());
            QTest::keyClicks(draft, "   ");
            QTest::keyClick(draft, Qt::Key_Return);
            QCOMPARE(draft->text(), QString("   "));
            QCOMPARE(s.store->tasks().size(), 1);
            QCOMPARE(s.find<QLabel*>("taskRemainingLabel")->text(), QString("1 tasks remaining"));

            auto* editor = s.find<QPlainTextEdit*>("noteEditor");
            QVERIFY(editor);
            editor->setFocus();
            QTest::keyClicks(editor, "# Plan");
            QTest::keyClick(editor, Qt::Key_Return);
            QTest::keyClicks(editor, "- ");
            // Typed as an input method would deliver it: key events carrying the text.
            for (const QChar c : QString::fromUtf8("中文"))
                QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QCOMPARE(s.store->note(), QString::fromUtf8("# Plan\n- 中文"));
            QCOMPARE(s.find<QLabel*>("noteFooterLabel")->text(), QString("11 characters · Markdown"));
        }
        s.restart();
        {
            QCOMPARE(s.store->tasks().size(), 1);
            QCOMPARE(s.store->tasks().first().title, QString("Water the plants"));
            QCOMPARE(
                s.find<QPlainTextEdit*>("noteEditor")->toPlainText(), QString::fromUtf8("# Plan\n- 中文"));
            QCOMPARE(s.find<QLineEdit*>("taskTitleField")->text(), QString("Water the plants"));
        }
    }

    void taskRowsCompleteRetitleAndDelete()
    {
        Session s("zh-Hans");
        QVERIFY(s.find<QLabel*>("taskEmptyLabel")->isVisible());
        QCOMPARE(s.find<QLabel*>("taskEmptyLabel")->text(), QString::fromUtf8("把脑海里的事，先放在这里"));
        s.store->addTask("first");
        s.store->addTask("second");
        QVERIFY(!s.find<QLabel*>("taskEmptyLabel")->isVisible());

        auto fields = s.view->findChildren<QLineEdit*>("taskTitleField");
        QCOMPARE(fields.size(), 2);
        QLineEdit* first = fields.first()->text() == "first" ? fields.first() : fields.last();
        first->setFocus();
        first->selectAll();
        QTest::keyClicks(first, "renamed");
        QCOMPARE(s.store->tasks().first().title, QString("renamed"));
        // The same row widget stays while typing so the caret is not lost.
        QCOMPARE(s.view->findChildren<QLineEdit*>("taskTitleField").size(), 2);
        QVERIFY(s.view->findChildren<QLineEdit*>("taskTitleField").contains(first));

        auto* toggle = first->parentWidget()->findChild<QToolButton*>("taskToggleButton");
        QCOMPARE(toggle->toolTip(), QString::fromUtf8("完成待办"));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(s.store->tasks().first().isCompleted);
        QVERIFY(first->font().strikeOut());
        QCOMPARE(toggle->toolTip(), QString::fromUtf8("标为未完成"));

        QTest::mouseClick(first->parentWidget()->findChild<QToolButton*>("taskDeleteButton"), Qt::LeftButton);
        QCOMPARE(s.store->tasks().size(), 1);
        QCOMPARE(s.store->tasks().first().title, QString("second"));
    }

    void pagesAddRenameRecolorAndDeleteWithConfirmation()
    {
        Session s("en");
        QTRY_COMPARE(pageTabs(s).size(), 1);
        QCOMPARE(pageTabs(s).first()->text(), QString("Quick Note"));

        QTest::mouseClick(s.find<QToolButton*>("addPageButton"), Qt::LeftButton);
        QTRY_COMPARE(pageTabs(s).size(), 2);
        QCOMPARE(s.store->currentPage()->title, QString("Note 2"));
        auto* title = s.find<QLineEdit*>("pageTitleField");
        QCOMPARE(title->text(), QString("Note 2"));
        QCOMPARE(title->placeholderText(), QString("Page Name"));
        title->selectAll();
        QTest::keyClick(title, Qt::Key_Delete);
        QCOMPARE(s.store->currentPage()->title, QString());
        const auto hasUntitledTab = [&] {
            const auto tabs = pageTabs(s);
            return std::any_of(
                tabs.cbegin(), tabs.cend(), [](QToolButton* tab) { return tab->text() == "Untitled"; });
        };
        QTRY_VERIFY(hasUntitledTab());

        QTest::mouseClick(s.find<QToolButton*>("colorSwatch_pink"), Qt::LeftButton);
        QCOMPARE(s.store->currentPage()->color, NoteColor::pink);
        QVERIFY(s.find<QToolButton*>("colorSwatch_pink")->isChecked());
        QVERIFY(!s.find<QToolButton*>("colorSwatch_green")->isChecked());

        auto* notes = s.find<NotesView*>("notesSection");
        QTest::mouseClick(s.find<QToolButton*>("deletePageButton"), Qt::LeftButton);
        QMessageBox* box = notes->pendingConfirmation();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QString("Delete Note?"));
        QVERIFY(box->informativeText().startsWith("“Untitled” and its note content will be deleted."));
        QTest::mouseClick(box->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
        QCOMPARE(s.store->pages().size(), 2);

        QTest::mouseClick(s.find<QToolButton*>("deletePageButton"), Qt::LeftButton);
        box = notes->pendingConfirmation();
        QVERIFY(box);
        QTest::mouseClick(box->findChild<QPushButton*>("deleteButton"), Qt::LeftButton);
        QCOMPARE(s.store->pages().size(), 1);
        QCOMPARE(s.store->currentPage()->title, QString("Quick Note"));
        QTRY_COMPARE(pageTabs(s).size(), 1);
    }

    void languageSwitchRetranslates()
    {
        Session s("zh-Hans");
        auto* draft = s.find<QLineEdit*>("taskDraftField");
        QCOMPARE(draft->placeholderText(), QString::fromUtf8("添加待办，按回车确认"));
        s.setLanguage("en");
        QCOMPARE(draft->placeholderText(), QString("Add a task and press Return"));
        QCOMPARE(s.find<QLabel*>("taskTitleLabel")->text(), QString("Tasks"));
        QCOMPARE(s.view->windowTitle(), QString("Tandrel"));
    }

    void messageAlertClearsOnDismiss()
    {
        Session s("en");
        s.store->setMessage(QString("Exported."));
        QMessageBox* alert = s.view->messageAlert();
        QVERIFY(alert);
        QCOMPARE(alert->windowTitle(), QString("Save"));
        QCOMPARE(alert->text(), QString("Exported."));
        QTest::mouseClick(alert->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(s.store->message(), std::nullopt);
    }

    void taskCardHeight_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("expected");
        QTest::newRow("default ratio") << 600 << 0.28 << 168;
        QTest::newRow("capped for notes") << 600 << 0.9 << 400;
        QTest::newRow("too small for both") << 250 << 0.9 << 124;
        QTest::newRow("zero") << 0 << 0.28 << 124;
        QTest::newRow("negative ratio") << 600 << -1.0 << 124;
    }
    void taskCardHeight()
    {
        QFETCH(int, available);
        QFETCH(double, ratio);
        QFETCH(int, expected);
        QCOMPARE(ContentView::taskCardHeight(available, ratio), expected);
    }
};

QTEST_MAIN(TestContentView)
#include "TestContentView.moc"
