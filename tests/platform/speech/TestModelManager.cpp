#include "LoopbackHttpProxy.h"
#include "LoopbackHttpServer.h"
#include "media/NetworkTransfer.h"
#include "support/FakeModelFile.h"

#include "platform/speech/ModelManager.h"
#include "platform/speech/WhisperModels.h"
#include "support/TemporaryProfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

constexpr int generous = 60000;

} // namespace

class TestModelManager : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "en" };
    const QByteArray m_content = fakeWhisperModel();
    std::unique_ptr<LoopbackHttpServer> m_server;
    QString m_folder;
    int m_runs = 0;

    // A file in the models folder, last written `age` seconds ago.
    bool writeModelFile(const QString& name, const QByteArray& bytes, int age = 0) const
    {
        QFile file(m_folder + "/" + name);
        return QDir().mkpath(m_folder) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
            && file.flush()
            && file.setFileTime(QDateTime::currentDateTime().addSecs(-age), QFileDevice::FileModificationTime);
    }

    ModelManager::Options options(
        QCryptographicHash::Algorithm algorithm = QCryptographicHash::Sha256, const QByteArray& checksum = {}) const
    {
        const QByteArray sum = checksum.isEmpty() ? QCryptographicHash::hash(m_content, algorithm).toHex() : checksum;
        WhisperModel model { "test", "ggml-test.bin", m_content.size(), {}, {}, false };
        (algorithm == QCryptographicHash::Sha1 ? model.sha1 : model.sha256) = sum;
        return { m_folder, { model }, nullptr, { { "origin", m_server->url("") } }, m_profile.preferences() };
    }

    static bool downloaded(ModelManager& manager)
    {
        manager.download("test");
        return QTest::qWaitFor([&] { return manager.state() == ModelManager::State::idle; }, generous);
    }

private slots:
    void init()
    {
        m_server = std::make_unique<LoopbackHttpServer>(m_content);
        QVERIFY(m_server->listen());
        m_folder = m_profile.path(QString("models-%1").arg(++m_runs));
        QVERIFY(m_profile.preferences()->remove("speechModelWorkingSource"));
    }
    void cleanup() { m_server.reset(); }

    // Only a multilingual model is installed from a file, copied under its own model name or a new one.
    void installFromFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("installedAs"); // empty: refused
        QTest::newRow("multilingual") << whisperModelHeader(51865) << "ggml-small.bin" << "ggml-small.bin";
        QTest::newRow("quantized, odd name") << whisperModelHeader(51865, 2008) << "my whisper model.dat" << "ggml-custom.bin";
        QTest::newRow("32-bit weights") << whisperModelHeader(51865, 0) << "ggml-f32.bin" << "";
        QTest::newRow("other magic") << QByteArray(48, 'x') << "ggml-x.bin" << "";
        QTest::newRow("absent") << QByteArray() << "ggml-gone.bin" << "";
    }
    void installFromFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, installedAs);
        const QString source = m_profile.path(name);
        QVERIFY(bytes.isEmpty() || !m_profile.writeFile(name, bytes).isEmpty());
        ModelManager manager(options());
        manager.installFromFile(source);
        QTRY_VERIFY_WITH_TIMEOUT(manager.state() == ModelManager::State::idle, generous);
        if (installedAs.isEmpty()) {
            QCOMPARE(manager.message(),
                bytes.isEmpty() ? QStringLiteral("Could not read the file “%1”.").arg(source)
                                : QStringLiteral("The chosen file is not a multilingual whisper model in ggml format."));
            QVERIFY(manager.installationRequested() && QDir(m_folder).isEmpty());
            return;
        }
        QCOMPARE(manager.installedModelPath(), m_folder + "/" + installedAs);
        QCOMPARE(std::pair(readAll(manager.installedModelPath()), readAll(source)), std::pair(bytes, bytes));
        QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList { installedAs });
    }

    void installedModelIgnoresPartialAndUnusableFiles()
    {
        for (const auto& [name, vocabulary] : { std::pair { "ggml-base.bin.part", 51865 },
                 std::pair { "other.bin", 51865 }, std::pair { "ggml-base.en.bin", 51864 } })
            QVERIFY(writeModelFile(name, whisperModelHeader(vocabulary)));
        QVERIFY(ModelManager(options()).installationRequested());
        // Of two usable ones, the most recently installed.
        QVERIFY(writeModelFile("ggml-small.bin", whisperModelHeader(51865), 60)
            && writeModelFile("ggml-base.bin", whisperModelHeader(51865), 10));
        QCOMPARE(ModelManager(options()).installedModelPath(), m_folder + "/ggml-base.bin");
    }

    // Fresh, or continuing from a part file an earlier download left; or refused for its address.
    void download_data()
    {
        QTest::addColumn<QString>("setup"); // what differs from a plain download, or the model's address
        QTest::addColumn<QString>("message"); // empty: installed
        for (const char* setup :
            { "SHA-256", "SHA-1 as published", "interrupted", "cancelled", "destroyed", "stray", "complete" })
            QTest::newRow(setup) << setup << "";
        QTest::newRow("checksum mismatch")
            << "checksum mismatch"
            << "The downloaded speech recognition model failed verification and was deleted. Try again.";
        // The error page is not taken for the start of the model.
        QTest::newRow("HTTP 404") << "HTTP 404"
                                  << "Could not download the speech recognition model (HTTP 404). Try again later.";
        // Plain HTTP only to a loopback address; names that merely look like one are refused.
        for (const char* url :
            { "http://example.com/m", "http://127.0.0.1.example.com/m", "http://127.0.0.256/m", "ftp://127.0.0.1/m" })
            QTest::newRow(url) << url << "Speech recognition models can only be downloaded over HTTPS.";
    }
    void download()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        const QString finalPath = m_folder + "/ggml-test.bin", partPath = finalPath + ".part";
        m_server->pieceSize = 16 * 1024;
        m_server->failWithStatus = setup == "HTTP 404" ? 404 : 0;
        ModelManager::Options chosen
            = options(setup.startsWith("SHA-1") ? QCryptographicHash::Sha1 : QCryptographicHash::Sha256,
                setup == "checksum mismatch" ? QByteArray(64, 'a') : QByteArray());
        const bool resumes
            = QStringList { "interrupted", "cancelled", "destroyed", "stray", "complete" }.contains(setup);
        if (setup.contains("://"))
            chosen.sources = { { "origin", QUrl(setup) } };
        auto manager = std::make_unique<ModelManager>(chosen);
        if (setup == "interrupted") {
            m_server->dropAfter = m_content.size() / 2 + 123;
            QVERIFY(downloaded(*manager));
            QCOMPARE(manager->message(),
                QStringLiteral("The speech recognition model download was interrupted. Trying again "
                               "continues where it stopped."));
        } else if (setup == "cancelled" || setup == "destroyed") {
            manager->download("test");
            QTRY_VERIFY_WITH_TIMEOUT(manager->progress() > 0.1, generous);
            if (setup == "destroyed")
                manager = std::make_unique<ModelManager>(chosen); // the first one goes while downloading
            else
                manager->cancel();
            QCoreApplication::processEvents();
        } else if (resumes) {
            // A stray part is not the start of the model: a server ignoring the range starts over.
            QVERIFY(
                writeModelFile("ggml-test.bin.part", setup == "complete" ? m_content : QByteArray(1000, 'z')));
        }
        const QByteArray before = readAll(partPath);
        QVERIFY(!QFile::exists(finalPath) && before.isEmpty() != resumes);
        m_server->ignoreRange = setup == "stray";
        m_server->ranges.clear();
        QList<double> progress;
        connect(manager.get(), &ModelManager::progressChanged, this, [&] { progress << manager->progress(); });
        QVERIFY(downloaded(*manager));
        QCOMPARE(manager->message(), message);
        QCOMPARE(std::tuple(manager->installationRequested(), QFile::exists(finalPath), QFile::exists(partPath)),
            std::tuple(!message.isEmpty(), message.isEmpty(), false));
        QCOMPARE(m_server->ranges.isEmpty(), setup.contains("://"));
        if (!message.isEmpty())
            return;
        QCOMPARE(readAll(manager->installedModelPath()), m_content);
        QCOMPARE(m_server->ranges,
            QList<QByteArray> { !resumes ? QByteArray() : "bytes=" + QByteArray::number(before.size()) + "-" });
        if (resumes)
            return;
        // Progress was shown on the way, rising to the whole file, then reset.
        QVERIFY2(progress.size() > 5 && progress.contains(1.0), qPrintable(QString::number(progress.size())));
        for (qsizetype i = 1; i < progress.indexOf(1.0); ++i)
            QVERIFY(progress[i] > progress[i - 1]);
    }

    // Sources tried in order (the one that served remembered and asked first next time),
    // a download continued from another source, and the proxy the environment names.
    void sources_data()
    {
        QTest::addColumn<QString>("origin"); // how the first source answers; empty: only the mirror is listed
        QTest::newRow("first fails, second serves") << "404";
        QTest::newRow("interrupted, resumed from the mirror") << "breaks off";
        QTest::newRow("through the environment's proxy") << "";
    }
    void sources()
    {
        QFETCH(QString, origin);
        LoopbackHttpServer mirror(m_content);
        LoopbackHttpProxy proxy;
        QVERIFY(mirror.listen() && proxy.listen());
        m_server->failWithStatus = origin == "404" ? 404 : 0;
        m_server->dropAfter = origin == "breaks off" ? m_content.size() / 2 : -1;
        ModelManager::Options chosen = options();
        chosen.sources.append({ "mirror", mirror.url("") });
        if (origin.isEmpty()) {
            chosen.sources.removeFirst();
            qputenv("http_proxy", proxy.address());
        }
        const auto unset = qScopeGuard([] { qunsetenv("http_proxy"); });
        ModelManager manager(chosen);
        QVERIFY(downloaded(manager));
        QCOMPARE(manager.message(), QString());
        QCOMPARE(readAll(manager.installedModelPath()), m_content);
        QCOMPARE(mirror.ranges,
            QList<QByteArray> { origin == "breaks off" ? "bytes=" + QByteArray::number(m_content.size() / 2) + "-" : "" });
        QCOMPARE(std::pair(manager.workingSource(), proxy.forwarded), std::pair(QString("mirror"), origin.isEmpty() ? 1 : 0));
        if (origin.isEmpty())
            return;
        manager.remove("ggml-test.bin");
        QVERIFY(manager.installationRequested());
        m_server->ranges.clear();
        QVERIFY(downloaded(manager));
        QCOMPARE(std::pair(m_server->ranges.size(), mirror.ranges.size()), std::pair(qsizetype(0), qsizetype(2)));
    }

    // GNOME's manual proxy, where no variable names one: per scheme, except the ignored hosts.
    void desktopProxy_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("proxy"); // empty: a direct connection
        QTest::newRow("http") << "http://models.example/m" << "web.proxy:3128";
        QTest::newRow("https has its own") << "https://models.example/m" << "secure.proxy:8443";
        QTest::newRow("ignored name") << "https://a.corp/m" << "";
        QTest::newRow("ignored range") << "http://10.1.2.3/m" << "";
    }
    void desktopProxy()
    {
        QFETCH(QString, url);
        const QHash<QString, QString> settings { { "org.gnome.system.proxy/mode", "'manual'" },
            { "org.gnome.system.proxy/ignore-hosts", "['localhost', '*.corp', '10.0.0.0/8']" },
            { "org.gnome.system.proxy.http/host", "'web.proxy'" }, { "org.gnome.system.proxy.http/port", "3128" },
            { "org.gnome.system.proxy.https/host", "'secure.proxy'" }, { "org.gnome.system.proxy.https/port", "8443" } };
        DesktopProxyFactory factory(
            [&](const QString& schema, const QString& key) { return settings.value(schema + '/' + key); });
        const QNetworkProxy proxy = factory.queryProxy(QNetworkProxyQuery(QUrl(url))).value(0);
        QTEST(proxy.type() == QNetworkProxy::NoProxy ? QString() : proxy.hostName() + ':' + QString::number(proxy.port()),
            "proxy");
    }
};

QTEST_MAIN(TestModelManager)
#include "TestModelManager.moc"
