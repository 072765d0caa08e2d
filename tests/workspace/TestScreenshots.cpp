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

double meanLuminance(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QRgb p = image.pixel(x, y);
            sum += 0.2126 * qRed(p) + 0.7152 * qGreen(p) + 0.0722 * qBlue(p);
        }
    return sum / (255.0 * ((image.height() + 1) / 2) * ((image.width() + 1) / 2));
}
} // namespace

// The whole window in light and dark, Chinese and English, with the notes beside the tasks
// and expanded: written beside the test as PNG images, no text cut off, and the dark look
// dark. Run once more at scale factor 2.
class TestScreenshots : public QObject {
    Q_OBJECT

private slots:
    void window_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("mode");
        for (const char* language : { "zh-Hans", "en" })
            for (const char* mode : { "light", "dark" })
                QTest::addRow("%s-%s", language, mode) << language << mode;
    }
    void window()
    {
        QFETCH(QString, language);
        QFETCH(QString, mode);
        TemporaryProfile profile(language);
        QVERIFY(profile.preferences()->setString("appearanceMode", mode));
        WorkspaceStore::Services services;
        services.notifications = new NotificationService(std::make_unique<ScriptedNotificationBackend>());
        WorkspaceStore store(profile.preferences(), services);
        for (const char* task : { "Water the plants", "给房东回电话，确认下个月的租金和维修安排" })
            QVERIFY(store.addTask(QString::fromUtf8(task)));
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
            const double luminance = meanLuminance(shot);
            QVERIFY2(mode == "dark" ? luminance < 0.3 : luminance > 0.7, qPrintable(QString::number(luminance)));
        }
    }
};

QTEST_MAIN(TestScreenshots)
#include "TestScreenshots.moc"
