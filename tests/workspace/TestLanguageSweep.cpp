#include "features/calendar/WeeklyRestView.h"
#include "features/notes/NotesView.h"
#include "features/recording/RecordingView.h"
#include "features/tasks/TaskReminderView.h"
#include "platform/localization/L10n.h"
#include "support/StoreHarness.h"
#include "workspace/ContentView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

namespace {

bool hasHan(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.script() == QChar::Script_Han; });
}

// Whether the text is one of the table's or the supplement's keys, "{n}" standing for any
// argument, or a date the Chinese locale formats ("2月9日", "2026年2月9日 9:30"), which has no key.
bool isRenderedFromAKey(const QString& text)
{
    static const QRegularExpression keys = [] {
        QStringList patterns { R"((\d+年)?\d+月\d+日( \d+:\d+)?)" };
        for (const QString& key : L10n::english().keys() + L10n::supplement().keys())
            patterns << QRegularExpression::escape(key).replace(QRegularExpression(R"(\\\{\d+\\\})"), ".*");
        return QRegularExpression(QRegularExpression::anchoredPattern(patterns.join('|')),
            QRegularExpression::DotMatchesEverythingOption);
    }();
    return keys.match(text).hasMatch();
}

// A tooltip as the user reads it: Qt renders one that looks like markup.
QString shownToolTip(const QString& tip)
{
    QTextDocument document;
    document.setHtml(tip);
    return Qt::mightBeRichText(tip) ? document.toPlainText() : tip;
}

// Names from files, calendars and the user are shown as they are, never read as markup.
bool readsMarkup(QWidget* widget)
{
    auto* label = qobject_cast<QLabel*>(widget);
    return (label && !label->text().isEmpty() && label->textFormat() != Qt::PlainText)
        || widget->toolTip().contains(QRegularExpression("<[biu]>"));
}

// What a shown widget says to the user: its texts, help, accessible name and its actions'.
QStringList visibleTexts(QWidget* widget)
{
    QStringList texts { shownToolTip(widget->toolTip()), widget->accessibleName(),
        widget->accessibleDescription(), widget->isWindow() ? widget->windowTitle() : QString() };
    if (auto* label = qobject_cast<QLabel*>(widget))
        texts << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        texts << button->text();
    if (auto* field = qobject_cast<QLineEdit*>(widget))
        texts << field->text() << field->placeholderText();
    if (auto* editor = qobject_cast<QPlainTextEdit*>(widget))
        texts << editor->placeholderText();
    else if (auto* rich = qobject_cast<QTextEdit*>(widget))
        texts << rich->placeholderText();
    if (auto* box = qobject_cast<QComboBox*>(widget))
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
    for (QAction* action : widget->actions())
        texts << action->text() << action->toolTip();
    texts.removeAll(QString());
    return texts;
}

} // namespace

// Every panel and popup, built in one language and switched to the other: English shows no
// Chinese, and every Chinese text is rendered from a key (so it has an English form).
class TestLanguageSweep : public QObject {
    Q_OBJECT

    // What the panels keep behind a click, opened one at a time (one popup closes another).
    static QList<std::function<void()>> openers(ContentView& view)
    {
        auto* notes = view.findChild<NotesView*>();
        return { [] {}, [&view] { view.findChild<WeeklyRestView*>()->togglePopover(); },
            [&view] { view.findChild<TaskReminderView*>()->openEditor(); },
            [notes] { notes->showTranscriptionHelp(); }, [notes] { notes->showSpeechModels(); },
            [&view] { view.findChild<RecordingView*>()->showLibrary(); },
            [&view] {
                QMimeData files;
                files.setUrls({ QUrl::fromLocalFile("/tmp/a.txt") });
                QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(&view, &enter);
            },
            [&view] { view.showSettings(); } };
    }

    static void check(const QString& language)
    {
        QStringList faults;
        int swept = 0;
        for (QWidget* widget : QApplication::allWidgets()) {
            if (!widget->isVisible())
                continue;
            if (readsMarkup(widget))
                faults << widget->objectName() + " reads markup";
            for (const QString& text : visibleTexts(widget)) {
                swept += language == "en" || hasHan(text);
                // The language picker names Chinese in Chinese whatever the interface language.
                const bool fault = language == "en" ? hasHan(text) && text != "简体中文"
                                                    : hasHan(text) && !isRenderedFromAKey(text);
                if (fault)
                    faults << widget->objectName() + " (" + widget->metaObject()->className() + "): " + text;
            }
        }
        faults.removeDuplicates();
        QVERIFY2(swept > 50, qPrintable(language + ": the panels show hardly any text"));
        QVERIFY2(faults.isEmpty(), qPrintable(language + ":\n" + faults.join('\n')));
    }

private slots:
    void sweep_data()
    {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("switched");
        for (const auto& [built, switched] : { std::pair("zh-Hans", "en"), std::pair("en", "zh-Hans") })
            QTest::addRow("built in %s", built) << QString(built) << QString(switched);
    }
    void sweep()
    {
        QFETCH(QString, built);
        QFETCH(QString, switched);
        StoreHarness profile(built);
        WorkspaceStore& store = *profile.store;
        QVERIFY(store.addTask("Water the plants"));
        store.setTaskReminder(store.tasks().first().id, QDateTime::currentDateTime().addDays(1));
        NotePage page { .title = "Plans" };
        for (const auto status : { TranscriptionStatus::queued, TranscriptionStatus::transcribing,
                 TranscriptionStatus::completed, TranscriptionStatus::failed })
            page.attachments.append(
                { QString::number(int(status)) + ".m4a", QDateTime::currentDateTime(), status, {} });
        // Names that look like markup, as a dropped file may have.
        page.files = { { .filename = "agenda-1.txt", .originalName = "<u>agenda</u>.txt" } };
        store.setPages({ page });

        QVERIFY(QFile(QDir(store.audio()->directory().value()).filePath("<b>Call.m4a"))
                    .open(QIODevice::WriteOnly));
        store.audio()->reload();

        ContentView view(&store);
        view.resize(420, 800);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (const auto& open : openers(view)) {
            open();
            check(built);
            profile.setLanguage(switched);
            check(switched);
            profile.setLanguage(built);
        }
    }
};

QTEST_MAIN(TestLanguageSweep)
#include "TestLanguageSweep.moc"
