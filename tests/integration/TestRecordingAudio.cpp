// Recording and playback against a real audio server with a virtual microphone
// (scripts/with-audio): what is played into the default sink is what the microphone hears.

#include "platform/audio/AacFileWriter.h"
#include "platform/audio/AudioFileDecoder.h"
#include "platform/audio/RecordingStore.h"
#include "platform/audio/ToneAnalysis.h"
#include "platform/preferences/Preferences.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {
std::vector<float> decodedSamples(const QString& path)
{
    QString error;
    const auto pcm = AudioFileDecoder::decodeAll(path, { 0, 0, AudioFileDecoder::SampleFormat::float32 }, &error);
    if (!pcm)
        qWarning("%s", qPrintable(error));
    return pcm ? ToneAnalysis::samples(*pcm) : std::vector<float>();
}

QStringList recordingFiles(const QString& folder)
{
    return QDir(folder).entryList({ "*.m4a" }, QDir::Files);
}
} // namespace

class TestRecordingAudio : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    QProcess m_tone;

    QString tonePath(int frequency) const { return m_dir.filePath(QString("tone-%1.wav").arg(frequency)); }

    // Plays a tone into the default sink, the microphone's source, until stopped.
    void startTone(int frequency)
    {
        m_tone.start("paplay", { tonePath(frequency) });
        QVERIFY2(m_tone.waitForStarted(), qPrintable(m_tone.errorString()));
        QTest::qWait(300);
    }
    void stopTone()
    {
        if (m_tone.state() != QProcess::NotRunning) {
            m_tone.kill();
            m_tone.waitForFinished();
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const int frequency : { 440, 1000 }) {
            const int status = QProcess::execute("sox", { "-n", "-r", "44100", "-c", "1", "-b", "16", tonePath(frequency),
                                                          "synth", "12", "sine", QString::number(frequency), "vol", "0.5" });
            QCOMPARE(status, 0);
        }
    }

    void init()
    {
        static int number = 0;
        m_prefs = std::make_unique<Preferences>(m_dir.filePath(QString("prefs-%1.sqlite").arg(++number)));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", "zh-Hans");
    }

    void cleanup()
    {
        stopTone();
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    void recordsToneIntoNote()
    {
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        auto store = std::make_unique<WorkspaceStore>(m_prefs.get(), services);
        RecordingStore* audio = store->audio();
        const QString folder = audio->directory().value();
        const QStringList before = recordingFiles(folder);
        float loudest = 0;
        connect(audio, &RecordingStore::levelChanged, this, [&] { loudest = std::max(loudest, audio->level()); });

        startTone(440);
        audio->start();
        QTRY_VERIFY_WITH_TIMEOUT(audio->isRecording(), 5000);
        QVERIFY(!audio->errorMessage());
        QTest::qWait(4000);
        QVERIFY2(audio->elapsed() > 3.0, qPrintable(QString::number(audio->elapsed())));
        audio->stop(true);
        const double elapsedAtStop = audio->elapsed();
        stopTone();
        QVERIFY2(!audio->errorMessage(), qPrintable(audio->errorText()));
        QVERIFY2(loudest > 0.05f, qPrintable(QString::number(loudest)));
        QCOMPARE(audio->level(), 0.0f);

        // The note got the recording, queued, with its section.
        QStringList added;
        for (const QString& file : recordingFiles(folder)) {
            if (!before.contains(file))
                added << file;
        }
        QCOMPARE(added.size(), 1);
        const QString name = added.first();
        QVERIFY(name.startsWith("录音-"));
        const NotePage page = *store->currentPage();
        QCOMPARE(page.attachments.size(), 1);
        QCOMPARE(page.attachments.first().filename, name);
        QCOMPARE(page.attachments.first().status, TranscriptionStatus::queued);
        QVERIFY2(page.content.startsWith("\n\n## 录音 ") && page.content.endsWith("\n\n![[" + name + "]]\n"),
                 qPrintable(page.content));
        QCOMPARE(audio->recordings().first().filename(), name);

        // Completing the file happens on the capture thread; the store's end waits for it.
        const QString path = QDir(folder).filePath(name);
        store.reset();

        AVFormatContext* format = nullptr;
        QCOMPARE(avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr), 0);
        QVERIFY(avformat_find_stream_info(format, nullptr) >= 0);
        QVERIFY2(QByteArray(format->iformat->name).contains("mp4"), format->iformat->name);
        const AVCodecParameters* stream = format->streams[0]->codecpar;
        const bool isAacLc = stream->codec_id == AV_CODEC_ID_AAC && stream->profile == FF_PROFILE_AAC_LOW;
        const int rate = stream->sample_rate;
        const int channels = stream->ch_layout.nb_channels;
        avformat_close_input(&format);
        QVERIFY(isAacLc);
        QCOMPARE(rate, 44100);
        QCOMPARE(channels, 1);

        const std::vector<float> samples = decodedSamples(path);
        const double seconds = double(samples.size()) / 44100;
        qInfo("recorded %.3f s (%.3f s when stopped), loudest level %.3f", seconds, elapsedAtStop, double(loudest));
        QVERIFY2(qAbs(seconds - 4.0) <= 0.25, qPrintable(QString::number(seconds)));
        QCOMPARE(ToneAnalysis::dominantFrequency(samples, 44100), 440.0);
        QVERIFY(ToneAnalysis::rms(samples) > 0.05);
    }

    void playsRecordingToTheOutput()
    {
        // A recording of a 1 kHz tone, played by one store while another records the
        // output: what comes back is that tone.
        const QString library = m_dir.filePath("library");
        QDir().mkpath(library);
        const QString source = QDir(library).filePath("录音-1-00000000.m4a");
        {
            AacFileWriter writer;
            QCOMPARE(writer.open(source), std::nullopt);
            std::vector<float> tone(size_t(2.0 * 44100));
            for (size_t i = 0; i < tone.size(); ++i)
                tone[i] = 0.5f * float(std::sin(2 * M_PI * 1000 * double(i) / 44100));
            QVERIFY(writer.write(tone.data(), qsizetype(tone.size())));
            QVERIFY(writer.finish());
        }
        RecordingStore player(library, nullptr);
        const QString captures = m_dir.filePath("captures");
        RecordingStore listener(captures, nullptr);
        QString captured;
        listener.onRecorded = [&](const AudioRecording& recording) { captured = recording.path; };
        listener.start();
        QTRY_VERIFY_WITH_TIMEOUT(listener.isRecording(), 5000);

        const AudioRecording recording = *player.recording("录音-1-00000000.m4a");
        player.play(recording);
        QVERIFY(player.isPlaying());
        QCOMPARE(player.playingName(), recording.filename());
        // Played to the end, the player lets go by itself, without a message.
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 8000);
        QVERIFY2(!player.errorMessage(), qPrintable(player.errorText()));
        listener.stop(true);
        QVERIFY(!captured.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(AudioFileDecoder::decodeAll(captured, {}).has_value(), 5000);
        const std::vector<float> heard = decodedSamples(captured);
        QVERIFY2(heard.size() > size_t(44100), qPrintable(QString::number(heard.size())));
        QCOMPARE(ToneAnalysis::dominantFrequency(heard, 44100), 1000.0);

        // Pressing play again on the playing recording stops it.
        player.play(recording);
        QVERIFY(player.isPlaying());
        QTest::qWait(300);
        player.play(recording);
        QVERIFY(!player.isPlaying());
        QVERIFY(!player.errorMessage());
    }

    void killedRecordingKeepsItsAudio()
    {
        const QString folder = m_dir.filePath("killed");
        QDir().mkpath(folder);
        startTone(440);
        QProcess helper;
        helper.start(RECORDING_HELPER, { folder });
        QVERIFY2(helper.waitForStarted(), qPrintable(helper.errorString()));
        while (!helper.canReadLine() && helper.state() == QProcess::Running)
            helper.waitForReadyRead(10000);
        QCOMPARE(helper.readLine(), QByteArray("recording\n"));
        QTest::qWait(3000);
        helper.kill();
        QVERIFY(helper.waitForFinished());
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
        stopTone();

        const QStringList files = recordingFiles(folder);
        QCOMPARE(files.size(), 1);
        const std::vector<float> samples = decodedSamples(QDir(folder).filePath(files.first()));
        const double seconds = double(samples.size()) / 44100;
        qInfo("%.3f s readable after the kill", seconds);
        QVERIFY2(seconds >= 2.0, qPrintable(QString::number(seconds)));
        QCOMPARE(ToneAnalysis::dominantFrequency(samples, 44100), 440.0);
    }

    // Last, because the audio server is gone afterwards.
    void lostAudioServerEndsTheRecordingAndKeepsItsAudio()
    {
        const QString folder = m_dir.filePath("lost");
        RecordingStore audio(folder, nullptr);
        QList<AudioRecording> published;
        audio.onRecorded = [&](const AudioRecording& recording) { published.append(recording); };
        startTone(440);
        audio.start();
        QTRY_VERIFY_WITH_TIMEOUT(audio.isRecording(), 5000);
        QTest::qWait(1500);
        QCOMPARE(QProcess::execute("pactl", { "exit" }), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!audio.isRecording(), 10000);

        QCOMPARE(audio.errorText(), QString("录音意外中断，请检查已保存的音频。"));
        QCOMPARE(audio.level(), 0.0f);
        QCOMPARE(published.size(), 1);
        QCOMPARE(audio.recordings().size(), 1);
        const std::vector<float> samples = decodedSamples(published.first().path);
        QVERIFY2(samples.size() >= size_t(44100), qPrintable(QString::number(samples.size())));
        QCOMPARE(ToneAnalysis::dominantFrequency(samples, 44100), 440.0);
    }
};

QTEST_GUILESS_MAIN(TestRecordingAudio)
#include "TestRecordingAudio.moc"
