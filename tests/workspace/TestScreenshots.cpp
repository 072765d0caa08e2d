#include "platform/notifications/NotificationService.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

namespace {
// Texts that do not fit where they are shown, as "name: text".
QStringList cutTexts(QWidget* window)
{
    QStringList cut;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        const QFontMetrics metrics(widget->font());
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->text().isEmpty() || Qt::mightBeRichText(label->text()))
                continue;
            const bool fits = label->wordWrap()
                ? label->heightForWidth(label->width()) <= label->height()
                : metrics.horizontalAdvance(label->text()) <= label->contentsRect().width();
            if (!fits)
                cut << label->objectName() + ": " + label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            auto* tool = qobject_cast<QToolButton*>(button);
            if (button->text().isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
                continue;
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            if (metrics.horizontalAdvance(button->text()) + icon + margin > button->contentsRect().width())
                cut << button->objectName() + ": " + button->text();
        }
    }
    return cut;
}

} // namespace

// The whole window in light and dark, Chinese and English, with the notes beside the tasks
// and expanded (the timer, the recorder and the tasks then one line each): written beside
// the test as PNG images, no text cut off, and the dark look dark. Run once more at scale
// factor 2.
class TestScreenshots : public QObject {
    Q_OBJECT

private slots:
    void window_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("compact");
        const QStringList chinese { "待办 1", "待办事项，1 项未完成", "开始录音", "专注时间，点击开始" };
        const QStringList english { "Tasks 1", "Tasks, 1 incomplete", "Start Recording",
            "Focus Time. Click to Start." };
        for (const char* mode : { "light", "dark" }) {
            QTest::addRow("zh-Hans-%s", mode) << "zh-Hans" << mode << chinese;
            QTest::addRow("en-%s", mode) << "en" << mode << english;
        }
    }
    void window()
    {
        QFETCH(QString, language);
        QFETCH(QString, mode);
        QFETCH(QStringList, compact);
        TemporaryProfile profile(language);
        QVERIFY(profile.preferences()->setString("appearanceMode", mode));
        WorkspaceStore::Services services;
        services.notifications = new NotificationService(std::make_unique<ScriptedNotificationBackend>());
        WorkspaceStore store(profile.preferences(), services);
        for (const char* task : { "Water the plants", "给房东回电话，确认下个月的租金和维修安排" })
            QVERIFY(store.addTask(QString::fromUtf8(task)));
        store.toggleTask(store.tasks().first().id);
        ContentView view(&store);
        view.resize(420, 800);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (const bool expanded : { false, true }) {
            view.setNotesExpanded(expanded);
            QApplication::processEvents();
            const QImage shot = view.grab().toImage();
            const QString name = QString("%1/screenshot-%2-%3-%4-x%5.png")
                                     .arg(QCoreApplication::applicationDirPath(), language, mode,
                                         expanded ? "notes-expanded" : "tasks-and-notes")
                                     .arg(shot.devicePixelRatio());
            QVERIFY(shot.save(name));
            const QStringList cut = cutTexts(&view);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
            // Averaged down to one pixel.
            const int luminance
                = qGray(shot.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0));
            QVERIFY2(
                mode == "dark" ? luminance < 80 : luminance > 180, qPrintable(QString::number(luminance)));
        }
        auto* tasks = view.findChild<QWidget*>("compactTaskCard");
        auto* timer = view.findChild<QAbstractButton*>("timerCompactButton");
        QCOMPARE(
            QStringList({ tasks->findChild<QLabel*>("compactTaskCountLabel")->text(), tasks->accessibleName(),
                view.findChild<QAbstractButton*>("compactRecordButton")->text(), timer->toolTip() }),
            compact);
        QVERIFY(timer->isVisible() && !view.findChild<QWidget*>("taskSection")->isVisible());
        view.setNotesExpanded(false);
        QVERIFY(!tasks->isVisible() && !timer->isVisible());
    }
};

QTEST_MAIN(TestScreenshots)
#include "TestScreenshots.moc"
