// Kill-anywhere soak of the workspace store. A child process drives the real store through
// random operations on tasks, pages and recordings; after each operation has returned it
// appends to a log the records the operation changed, as they must now be stored. The parent
// kills the child with SIGKILL at random moments, checks that the stored workspace decodes
// and holds every logged record, and starts the child again on the same data.
//
//   soak_workspace [operations (10000)] [seed]              prints operations, kills, losses
//   soak_workspace --child <folder> <seed>                  the child

#include "core/WorkspaceJson.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/StorageLocations.h"
#include "support/FakeAudioBackend.h"
#include "support/ScriptedTranscriber.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Each record by key ("T:<id>" for a task, "P:<id>" for a page) with a digest of its stored form.
using Records = QMap<QString, QByteArray>;

QByteArray digest(const QByteArray& json)
{
    return QCryptographicHash::hash(json, QCryptographicHash::Sha1).toHex().left(16);
}

Records records(const QList<TaskItem>& tasks, const QList<NotePage>& pages)
{
    Records result;
    for (const TaskItem& task : tasks)
        result.insert("T:" + Uuid::text(task.id), digest(WorkspaceJson::encodeTasks({ task })));
    for (const NotePage& page : pages)
        result.insert("P:" + Uuid::text(page.id), digest(WorkspaceJson::encodePage(page)));
    return result;
}

// What the database holds now; nothing when a list does not decode.
std::optional<Records> storedRecords(const QString& databasePath)
{
    const Preferences preferences(databasePath);
    const auto tasks = WorkspaceJson::decodeTasks(preferences.data("tasks").value_or("[]"));
    const auto pages = WorkspaceJson::decodePages(preferences.data("notePages").value_or("[]"));
    if (!tasks || !pages)
        return std::nullopt;
    return records(*tasks, *pages);
}

// ---- The child ----

class Child {
public:
    Child(const QString& folder, quint32 seed)
        : m_folder(folder)
        , m_random(seed)
        , m_preferences(folder + "/preferences.sqlite")
        , m_log(::open(QFile::encodeName(folder + "/operations.log"), O_WRONLY | O_APPEND | O_CREAT, 0600))
    {
        Preferences::setStandard(&m_preferences);
        QDir(folder).mkpath("Recordings");
    }

    [[noreturn]] void run()
    {
        const auto tasks = WorkspaceJson::decodeTasks(m_preferences.data("tasks").value_or("[]"));
        const auto pages = WorkspaceJson::decodePages(m_preferences.data("notePages").value_or("[]"));
        m_before = records(tasks.value_or(QList<TaskItem>()), pages.value_or(QList<NotePage>()));
        // Loading marks interrupted transcriptions failed, and creates the first page.
        QStringList mayChange { "new" };
        for (const NotePage& page : pages.value_or(QList<NotePage>())) {
            for (const NoteAudio& audio : page.attachments) {
                if (audio.status == TranscriptionStatus::queued
                    || audio.status == TranscriptionStatus::transcribing)
                    mayChange << "P:" + Uuid::text(page.id);
            }
        }
        begin("load", mayChange);
        WorkspaceServices services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(m_folder + "/Recordings", new FakeAudioBackend);
        services.speech = m_speech = new ScriptedTranscriber;
        services.storage = new StorageLocations(&m_preferences, m_folder + "/AppData");
        m_store = std::make_unique<WorkspaceStore>(&m_preferences, services);
        settle();
        end();
        for (;;)
            step();
    }

private:
    int below(int n) { return n <= 0 ? 0 : int(m_random() % quint32(n)); }
    QString text(int maxLength)
    {
        static const QString letters = QString::fromUtf8("abc xyz 写周报买牛奶 #-[]\n");
        QString result;
        for (int i = below(maxLength); i > 0; --i)
            result += letters.at(below(int(letters.size())));
        return result;
    }

    void step()
    {
        const QList<TaskItem>& tasks = m_store->tasks();
        const QList<NotePage>& pages = m_store->pages();
        const QUuid task = tasks.isEmpty() ? QUuid() : tasks.at(below(int(tasks.size()))).id;
        const QUuid page = pages.at(below(int(pages.size()))).id;
        const QString taskKey = "T:" + Uuid::text(task);
        const QString pageKey = "P:" + Uuid::text(page);
        // Keeps the lists from growing without end.
        int operation = below(tasks.size() > 30 ? 4 : 12);
        if (operation == 11 && !m_speech->isRunning())
            operation = 4;
        switch (operation) {
        case 0:
        case 1:
            begin("remove task", { taskKey });
            m_store->removeTask(task);
            break;
        case 2:
            begin("toggle task", { taskKey });
            m_store->toggleTask(task);
            break;
        case 3:
            begin("retitle task", { taskKey });
            m_store->setTaskTitle(task, text(30));
            break;
        case 4:
            begin("add task", { "new" });
            std::ignore = m_store->addTask("t" + text(30));
            break;
        case 5:
            begin(pages.size() > 8 ? "remove page" : "add page", { pageKey, "new" });
            if (pages.size() > 8)
                m_store->removePage(page);
            else
                m_store->addPage();
            break;
        case 6:
            begin("remove page", { pageKey, "new" });
            m_store->removePage(page);
            break;
        case 7:
        case 8:
            begin("edit page", { pageKey });
            m_store->selectPage(page);
            m_store->setNote(m_store->note().size() > 3000 ? text(100) : m_store->note() + text(60));
            break;
        case 9:
            begin("retitle and recolour page", { pageKey });
            m_store->selectPage(page);
            m_store->setCurrentPageTitle(text(20));
            m_store->setCurrentPageColor(NoteColors::allCases().at(below(6)));
            break;
        case 10: {
            begin("attach recording", { pageKey, "new" });
            m_store->selectPage(page);
            const QString path
                = QString("%1/Recordings/%2.m4a").arg(m_folder, Uuid::text(QUuid::createUuid()));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write("audio") != 5)
                qFatal("cannot write %s", qPrintable(path));
            file.close();
            m_store->audio()->reload();
            m_store->attach({ path, QDateTime::currentDateTimeUtc() });
            break;
        }
        case 11:
            begin("transcript", {});
            if (below(4) == 0)
                m_speech->fail("no speech");
            else
                m_speech->complete(text(80));
            break;
        }
        settle();
        end();
    }

    // Lets the transcription queue take the next recording, so that nothing changes between
    // two operations.
    void settle()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        while (m_store->processingSpeech() && !m_speech->isRunning() && elapsed.elapsed() < 5000);
    }

    // Before an operation: the records it may change. Recordings waiting for their
    // transcript may change with any operation that runs the queue.
    void begin(const QString& name, QStringList mayChange)
    {
        if (m_store) {
            for (const NotePage& page : m_store->pages()) {
                for (const NoteAudio& audio : page.attachments) {
                    if (audio.status == TranscriptionStatus::queued
                        || audio.status == TranscriptionStatus::transcribing)
                        mayChange << "P:" + Uuid::text(page.id);
                }
            }
        }
        write("B " + name.toUtf8().replace(' ', '_') + " " + mayChange.join(' ').toUtf8() + "\n");
    }
    // After it returned: every record that changed, as it must be stored ("-": deleted).
    void end()
    {
        const Records after = records(m_store->tasks(), m_store->pages());
        QByteArray lines;
        for (auto it = m_before.cbegin(); it != m_before.cend(); ++it) {
            if (!after.contains(it.key()))
                lines += "F " + it.key().toUtf8() + " -\n";
        }
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (m_before.value(it.key()) != it.value())
                lines += "F " + it.key().toUtf8() + " " + it.value() + "\n";
        }
        write(lines + "E\n");
        m_before = after;
    }
    // One write, so that a kill leaves all of it or none.
    void write(const QByteArray& bytes)
    {
        if (::write(m_log, bytes.constData(), size_t(bytes.size())) != ssize_t(bytes.size()))
            qFatal("cannot write the log");
    }

    QString m_folder;
    std::mt19937 m_random;
    Preferences m_preferences;
    int m_log;
    ScriptedTranscriber* m_speech = nullptr;
    std::unique_ptr<WorkspaceStore> m_store;
    Records m_before;
};

// ---- The parent ----

struct Tally {
    int operations = 0;
    int kills = 0;
    int losses = 0;
};

// Folds the log's finished operations into `expected`; returns the records the unfinished
// one may have changed ("new": records that did not exist).
QSet<QString> readLog(const QString& path, qint64* offset, Records* expected, Tally* tally)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(*offset))
        return {};
    QSet<QString> mayChange;
    Records pending;
    bool open = false;
    bool loading = false;
    while (!file.atEnd()) {
        const QList<QByteArray> words = file.readLine().trimmed().split(' ');
        if (words.first() == "B") {
            open = true;
            loading = words.value(1) == "load";
            pending.clear();
            mayChange.clear();
            for (const QByteArray& word : words.mid(2))
                mayChange.insert(QString::fromUtf8(word));
        } else if (words.first() == "F" && words.size() == 3) {
            pending.insert(QString::fromUtf8(words.at(1)), words.at(2));
        } else if (words.first() == "E") {
            for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
                if (it.value() == "-")
                    expected->remove(it.key());
                else
                    expected->insert(it.key(), it.value());
            }
            open = false;
            tally->operations += loading ? 0 : 1;
        }
    }
    *offset = file.pos();
    return open ? mayChange : QSet<QString>();
}

int parent(int operations, quint32 seed)
{
    const QString program = QFileInfo("/proc/self/exe").canonicalFilePath();
    QTemporaryDir folder;
    const QString log = folder.filePath("operations.log");
    std::mt19937 random(seed);
    Tally tally;
    Records expected;
    qint64 offset = 0;
    quint32 window = 200000;
    for (quint32 generation = 0; tally.operations < operations; ++generation) {
        const pid_t child = fork();
        if (child == 0) {
            const QByteArray name = QFile::encodeName(program);
            const QByteArray where = QFile::encodeName(folder.path());
            const QByteArray childSeed = QByteArray::number(seed * 7919 + generation);
            execl(name.constData(), name.constData(), "--child", where.constData(), childSeed.constData(),
                nullptr);
            _exit(127);
        }
        // Anywhere from the middle of start-up to a few dozen operations in; while start-up
        // takes the whole window (a slow or busy machine), the window widens.
        usleep(useconds_t(20000 + random() % window));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFSIGNALED(status)) {
            std::fprintf(stderr, "the child ended by itself (status %d)\n", status);
            return 2;
        }
        ++tally.kills;

        const int before = tally.operations;
        const QSet<QString> mayChange = readLog(log, &offset, &expected, &tally);
        window = tally.operations == before ? std::min(window + 100000, 5000000u)
                                            : std::max(window * 15 / 16, 200000u);
        const std::optional<Records> stored = storedRecords(folder.filePath("preferences.sqlite"));
        if (!stored) {
            std::fprintf(stderr, "after kill %d the stored workspace does not decode\n", tally.kills);
            return 1;
        }
        QSet<QString> keys(expected.keyBegin(), expected.keyEnd());
        keys.unite(QSet<QString>(stored->keyBegin(), stored->keyEnd()));
        for (const QString& key : keys) {
            const QByteArray want = expected.value(key, "-");
            if (stored->value(key, "-") == want || mayChange.contains(key)
                || (want == "-" && mayChange.contains("new")))
                continue;
            ++tally.losses;
            std::fprintf(stderr, "after kill %d: %s is stored as %s, logged as %s\n", tally.kills,
                qPrintable(key), stored->value(key, "-").constData(), want.constData());
        }
        // The next run starts from what is there.
        expected = *stored;
    }
    std::printf("operations %d, kills %d, losses %d\n", tally.operations, tally.kills, tally.losses);
    return tally.losses == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && QByteArray(argv[1]) == "--child") {
        QApplication application(argc, argv);
        Child(QFile::decodeName(argv[2]), quint32(QByteArray(argv[3]).toUInt())).run();
    }
    const int operations = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    const quint32 seed = argc > 2 ? QByteArray(argv[2]).toUInt() : std::random_device()();
    std::printf("seed %u\n", seed);
    return parent(operations, seed);
}
