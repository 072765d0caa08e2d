// Cost of persisting the workspace after one keystroke in the note editor, for a large
// workspace (200 pages holding 2 MB of Markdown, 500 tasks): Tandrel's store against a
// whole-file rewrite of the same data through QSettings (INI) with sync().

#include "core/WorkspaceJson.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPages = 200;
constexpr int kTasks = 500;
constexpr qsizetype kMarkdownBytes = 2 * 1024 * 1024;
constexpr int kKeystrokes = 400;

QString markdownPage(int index, qsizetype bytes)
{
    // Mixed Chinese and English Markdown, as the user's notes would be.
    const QString block = QString::fromUtf8("## 会议记录 %1\n- 讨论 roadmap 与下周的发布计划。\n- [ ] follow up with design\n> 引用：保持专注。\n\n")
                              .arg(index);
    QString text;
    while (text.toUtf8().size() < bytes)
        text += block;
    return text;
}

struct Figures {
    double median = 0;
    double p99 = 0;
};

Figures summarize(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples.at(std::min(samples.size() - 1, size_t(q * samples.size()))); };
    return { at(0.5), at(0.99) };
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;

    QList<NotePage> pages;
    for (int i = 0; i < kPages; ++i) {
        NotePage page;
        page.title = QString::fromUtf8("笔记 %1").arg(i + 1);
        page.color = NoteColors::allCases().at(i % 6);
        page.content = markdownPage(i, kMarkdownBytes / kPages);
        pages.append(page);
    }
    QList<TaskItem> tasks;
    for (int i = 0; i < kTasks; ++i) {
        TaskItem task;
        task.title = QString::fromUtf8("待办事项 %1: prepare the quarterly report").arg(i);
        task.isCompleted = i % 3 == 0;
        if (i % 5 == 0)
            task.reminderAt = QDateTime::currentDateTimeUtc().addDays(i);
        tasks.append(task);
    }
    const QByteArray encodedPages = WorkspaceJson::encodePages(pages);
    std::printf("workspace: %d pages, %.2f MB of page JSON, %d tasks, %d keystrokes\n", kPages,
                encodedPages.size() / 1048576.0, kTasks, kKeystrokes);

    // Tandrel's store: a keystroke goes through the editor binding (setNote).
    std::vector<double> storeSamples;
    {
        Preferences prefs(dir.filePath("preferences.sqlite"));
        Preferences::setStandard(&prefs);
        if (!prefs.setData("notePages", encodedPages) || !prefs.setData("tasks", WorkspaceJson::encodeTasks(tasks)))
            qFatal("Cannot write the benchmark's workspace");
        WorkspaceStore::Services services;
        services.notifications = new NotificationService;
        WorkspaceStore store(&prefs, services);
        store.selectPage(pages.at(kPages / 2).id);
        QString note = store.note();
        for (int i = 0; i < kKeystrokes; ++i) {
            note.append(QChar(u'a' + i % 26));
            QElapsedTimer timer;
            timer.start();
            store.setNote(note);
            storeSamples.push_back(timer.nsecsElapsed() / 1e6);
        }
        const bool exact = prefs.data("notePages") == WorkspaceJson::encodePages(store.pages())
            && prefs.data("tasks") == WorkspaceJson::encodeTasks(store.tasks());
        std::printf("stored bytes equal a full encoding: %s\n", exact ? "yes" : "NO");
        Preferences::setStandard(nullptr);
    }

    // Baseline: the whole workspace written as one settings file on every keystroke.
    std::vector<double> settingsSamples;
    {
        QSettings settings(dir.filePath("baseline.ini"), QSettings::IniFormat);
        QList<NotePage> current = pages;
        for (int i = 0; i < kKeystrokes / 4; ++i) {
            current[kPages / 2].content.append(QChar(u'a' + i % 26));
            QElapsedTimer timer;
            timer.start();
            settings.setValue("tasks", WorkspaceJson::encodeTasks(tasks));
            settings.setValue("notePages", WorkspaceJson::encodePages(current));
            settings.sync();
            settingsSamples.push_back(timer.nsecsElapsed() / 1e6);
        }
    }

    const Figures store = summarize(storeSamples);
    const Figures baseline = summarize(settingsSamples);
    std::printf("Tandrel store       median %8.3f ms   p99 %8.3f ms  (%zu samples)\n", store.median, store.p99,
                storeSamples.size());
    std::printf("QSettings INI+sync  median %8.3f ms   p99 %8.3f ms  (%zu samples)\n", baseline.median, baseline.p99,
                settingsSamples.size());
    std::printf("ratio (baseline / store): median %.1fx, p99 %.1fx\n", baseline.median / store.median,
                baseline.p99 / store.p99);
    return 0;
}
