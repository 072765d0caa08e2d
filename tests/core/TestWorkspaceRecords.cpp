#include "core/NotePage.h"
#include "core/StoredDate.h"
#include "core/TaskItem.h"
#include "core/Uuid.h"
#include "core/WorkspaceJson.h"

#include <QtTest>

namespace {

const QString pageId = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");
const QString fileId = QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
const QString folderId = QStringLiteral("6BA7B811-9DAD-11D1-80B4-00C04FD430C8");

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), Qt::UTC);
}

QJsonObject firstObject(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).array().first().toObject();
}

NotePage fullPage(const QString& text)
{
    NotePage page { .title = text, .color = NoteColor::purple, .content = text + QStringLiteral("\n# 标题") };
    page.attachments = { { .filename = "a.m4a", .createdAt = utc(2024, 5, 6, 7, 8, 9, 123) },
        { "b.m4a", utc(1999, 1, 1), TranscriptionStatus::failed, text } };
    page.files = { { .filename = "x.pdf", .originalName = text },
        { .filename = "y.png", .originalName = "y.png", .folderID = QUuid::createUuid() } };
    return page;
}

} // namespace

class TestWorkspaceRecords : public QObject {
    Q_OBJECT

private slots:
    // Seconds since 2001 in UTC, kept to the millisecond; nothing for infinity.
    void storedDates_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("before reference") << -0.5 << utc(2000, 12, 31, 23, 59, 59, 500) << QByteArray("-0.5");
        QTest::newRow("milliseconds")
            << 788918400.001 << utc(2026, 1, 1, 0, 0, 0, 1) << QByteArray("788918400.001");
        QTest::newRow("rounded up") << 0.0006 << utc(2001, 1, 1, 0, 0, 0, 1) << QByteArray();
        QTest::newRow("infinite") << qInf() << QDateTime() << QByteArray();
    }
    void storedDates()
    {
        QFETCH(double, seconds);
        QFETCH(QDateTime, date);
        QFETCH(QByteArray, written);
        QCOMPARE(StoredDate::fromSeconds(seconds), date);
        const TaskItem task { .title = QStringLiteral("t"), .reminderAt = date };
        const QByteArray json = WorkspaceJson::encodeTasks({ task });
        QVERIFY2(written.isEmpty() || json.contains("\"reminderAt\":" + written + ","), json.constData());
        QVERIFY(written.isEmpty() || WorkspaceJson::decodeTasks(json) == QList<TaskItem> { task });
    }

    void rejectedArrays_data()
    {
        QTest::addColumn<bool>("pages");
        QTest::addColumn<QString>("json");
        const QString page = "[{\"id\":\"" + pageId + "\",\"title\":\"p\"";
        const QString task = "[{\"id\":\"" + pageId + "\",\"title\":\"t\",\"isCompleted\":false";
        const QString audio = ",\"attachments\":[{\"filename\":\"a.m4a\",\"createdAt\":1";
        const auto row
            = [](const char* name, bool pages, const QString& json) { QTest::newRow(name) << pages << json; };
        row("colour letter case", true, page + ",\"color\":\"Blue\"}]");
        row("bad status", true, page + audio + ",\"status\":\"done\"}]}]");
        row("page without id", true, "[{\"title\":\"p\"}]");
        row("audio without status", true, page + audio + "}]}]");
        row("task without isCompleted", false, QString(task).remove(",\"isCompleted\":false") + "}]");
        row("file without originalName", true,
            page + ",\"files\":[{\"id\":\"" + fileId + "\",\"filename\":\"f\"}]}]");
        row("isCompleted string", false, task.chopped(5) + "\"true\"}]");
        row("braced id", false, QString(task).replace(pageId, "{" + pageId + "}") + "}]");
        row("reminder string", false, task + ",\"reminderAt\":\"0\"}]");
        row("attachments not an array", true, page + ",\"attachments\":{}}]");
        row("createdAt string", true,
            page + ",\"attachments\":[{\"filename\":\"a\",\"createdAt\":\"1\",\"status\":\"queued\"}]}]");
        row("invalid JSON", true, page + "}");
        row("non-object after good one", false, task + "},[]]");
    }
    void rejectedArrays()
    {
        QFETCH(bool, pages);
        QFETCH(QString, json);
        QVERIFY(
            pages ? !WorkspaceJson::decodePages(json.toUtf8()) : !WorkspaceJson::decodeTasks(json.toUtf8()));
    }

    // Any member order and id case is read; written again in full, upper-case, reminders when set.
    void membersAreReadAndWrittenInFull()
    {
        const QByteArray json = "[{\"title\":\"旧\",\"id\":\"" + pageId.toUtf8()
            + "\"},{\"files\":[{\"folderID\":\"" + folderId.toLower().toUtf8()
            + "\",\"originalName\":\"报告.pdf\",\"filename\":\"r.pdf\",\"id\":\"" + fileId.toUtf8()
            + "\"}],"
              "\"attachments\":[{\"status\":\"transcribing\",\"createdAt\":788918400,\"filename\":\"a.m4a\"},"
              "{\"error\":\"失败\",\"status\":\"failed\",\"filename\":\"b.m4a\",\"createdAt\":-1.5}],"
              "\"content\":\"c\",\"color\":\"gray\",\"title\":\"t\",\"extra\":[1],\"id\":\""
            + pageId.toLower().toUtf8() + "\"}]";
        const auto pages = WorkspaceJson::decodePages(json);
        QVERIFY(pages && pages->size() == 2);
        QCOMPARE(pages->first(), (NotePage { .id = *Uuid::parse(pageId), .title = QStringLiteral("旧") }));
        const NotePage& page = pages->last();
        QCOMPARE(std::tuple(Uuid::text(page.id), page.color, page.files.value(0).folderID),
            std::tuple(pageId, NoteColor::gray, Uuid::parse(folderId)));
        QCOMPARE(page.attachments,
            QList<NoteAudio>({ { "a.m4a", utc(2026, 1, 1), TranscriptionStatus::transcribing, std::nullopt },
                { "b.m4a", utc(2000, 12, 31, 23, 59, 58, 500), TranscriptionStatus::failed,
                    QString("失败") } }));

        const QByteArray written = WorkspaceJson::encodePages(*pages);
        QCOMPARE(firstObject(written).keys(),
            (QStringList { "attachments", "color", "content", "files", "id", "title" }));
        QVERIFY(written.contains(folderId.toUtf8()) && !written.contains(pageId.toLower().toUtf8())
            && !written.contains("extra"));
        QCOMPARE(WorkspaceJson::decodePages(written), pages);
        const QByteArray task = WorkspaceJson::encodeTasks({ TaskItem { .title = QStringLiteral("t") } });
        QCOMPARE(firstObject(task).keys(), (QStringList { "id", "isCompleted", "title" }));
        const auto tasks = WorkspaceJson::decodeTasks("[{\"id\":\"" + pageId.toUtf8()
            + "\",\"title\":\"t\",\"isCompleted\":true,\"reminderAt\":null}]");
        QVERIFY(tasks && !tasks->first().reminderAt);
    }

    // Texts that JSON must escape, in full pages and bare ones, and edits the encoder must notice.
    void pageListEncoderFollowsEdits()
    {
        static constexpr char16_t controls[] = u"tab\tline\nret\r\u0001\u001f\u007f\0end";
        QList<NotePage> pages;
        QList<TaskItem> tasks;
        for (const QString& text :
            { QStringLiteral("🎙️ 录音 👩‍💻"), QStringLiteral("say \"hi\" \\ C:\\path\\ '/'"),
                QString::fromUtf16(controls, std::size(controls) - 1),
                QString::fromUtf16(u"\u2028\u2029\uFEFF") }) {
            pages << fullPage(text) << NotePage { .title = text };
            tasks << TaskItem { .title = text, .isCompleted = true, .reminderAt = utc(2030, 2, 3) };
        }
        QCOMPARE(WorkspaceJson::decodeTasks(WorkspaceJson::encodeTasks(tasks)), tasks);
        PageListEncoder encoder;
        const auto check = [&](const char* step) {
            const QByteArray encoded = encoder.encode(pages);
            QVERIFY2(
                encoded == WorkspaceJson::encodePages(pages) && WorkspaceJson::decodePages(encoded) == pages,
                step);
        };
        check("first");
        pages[2].attachments[0].status = TranscriptionStatus::completed;
        check("attachment status");
        pages.insert(4, pages.takeAt(1));
        check("page moved");
        pages.append(pages.first());
        check("duplicate id");
        pages.clear();
        check("empty");
    }
};

QTEST_GUILESS_MAIN(TestWorkspaceRecords)
#include "TestWorkspaceRecords.moc"
