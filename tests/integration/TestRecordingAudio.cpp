// Recording and playback against a real audio server with a virtual microphone
// (scripts/with-audio): what is played into the default sink is what the microphone hears.

#include "platform/audio/AudioFileDecoder.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "support/TemporaryProfile.h"
#include "support/ToneAnalysis.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

class TestRecordingAudio : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    QTemporaryDir m_tones;
    QProcess m_tone;

    // Plays a 440 Hz tone into the default sink, the microphone's source, until stopped.
    void startTone()
    {
        const QString path = m_tones.filePath("440.wav");
        QCOMPARE(QProcess::execute("sox",
                     { "-n", "-r", "44100", "-c", "1", "-b", "16", path, "synth", "30", "sine", "440", "vol",
                         "0.5" }),
            0);
        m_tone.start("paplay", { path });
        QVERIFY2(m_tone.waitForStarted(), qPrintable(m_tone.errorString()));
    }
    void stopTone()
    {
        m_tone.kill();
        m_tone.waitForFinished();
    }
    // Seconds of the tone in the file; 0 when it holds something else.
    static double secondsOfTone(const QString& path)
    {
        const auto pcm = AudioFileDecoder::decodeAll(path, { 0, 0, AudioFileDecoder::SampleFormat::float32 });
        const std::vector<float> samples = pcm ? ToneAnalysis::samples(*pcm) : std::vector<float>();
        if (ToneAnalysis::dominantFrequency(samples, 44100) != 440 || ToneAnalysis::rms(samples) < 0.05)
            return 0;
        return double(samples.size()) / 44100;
    }

private slots:
    void init() { m_profile = std::make_unique<TemporaryProfile>("zh-Hans"); }
    void cleanup()
    {
        stopTone();
        m_profile.reset();
    }

    // Every second heard until the stop is in the published file; played back, another
    // recorder hears it, and the player lets go by itself at the end, without a message.
    void recordsAndPlaysBack()
    {
        RecordingStore audio(m_profile->path("recorded"), nullptr);
        QSignalSpy published(&audio, &RecordingStore::recordingFinished);
        float loudest = 0;
        connect(
            &audio, &RecordingStore::levelChanged, this, [&] { loudest = std::max(loudest, audio.level()); });
        startTone();
        audio.toggle();
        QTRY_VERIFY_WITH_TIMEOUT(audio.elapsed() >= 2.0, 15000);
        audio.toggle();
        const double elapsedAtStop = audio.elapsed();
        QVERIFY2(!audio.errorMessage(), qPrintable(audio.errorText()));
        QVERIFY2(loudest > 0.05f, qPrintable(QString::number(loudest)));
        QTRY_COMPARE_WITH_TIMEOUT(published.count(), 1, 5000);
        const double seconds = secondsOfTone(published.first().first().value<AudioRecording>().path);
        QVERIFY2(qAbs(seconds - elapsedAtStop) <= 0.25, qPrintable(QString::number(seconds)));

        stopTone();
        RecordingStore listener(m_profile->path("captures"), nullptr);
        QSignalSpy captured(&listener, &RecordingStore::recordingFinished);
        listener.toggle();
        QTRY_VERIFY_WITH_TIMEOUT(listener.isRecording(), 5000);
        audio.play(published.first().first().value<AudioRecording>());
        QVERIFY(audio.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!audio.isPlaying(), 8000);
        QVERIFY2(!audio.errorMessage(), qPrintable(audio.errorText()));
        listener.toggle();
        QTRY_COMPARE_WITH_TIMEOUT(captured.count(), 1, 5000);
        QVERIFY(secondsOfTone(captured.first().first().value<AudioRecording>().path) > 1.0);
    }

    // Stopped the moment it starts, before the input's first buffer: what the input
    // delivers after the stop is kept.
    void aStopAtTheStartKeepsWhatFollows()
    {
        RecordingStore audio(m_profile->path("short"), nullptr);
        QSignalSpy published(&audio, &RecordingStore::recordingFinished);
        startTone();
        connect(&audio, &RecordingStore::startFinished, &audio, &RecordingStore::toggle);
        audio.toggle();
        QTRY_COMPARE_WITH_TIMEOUT(published.count(), 1, 5000);
        QVERIFY(secondsOfTone(published.first().first().value<AudioRecording>().path) > 0);
    }

    // The disk refuses the last of a recording (a file-size limit stands in for a full disk):
    // the user is told, and the file is still handed on.
    void aFailedEndIsReported()
    {
        RecordingStore audio(m_profile->path("limited"), nullptr);
        QSignalSpy published(&audio, &RecordingStore::recordingFinished);
        startTone();
        audio.toggle();
        QTRY_VERIFY_WITH_TIMEOUT(audio.elapsed() >= 1.0, 10000);
        audio.toggle();
        const QString path = audio.recordings().value(0).path;
        rlimit previous {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, oldHandler);
        });
        const rlimit limited { rlim_t(QFileInfo(path).size()), previous.rlim_max };
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QTRY_COMPARE_WITH_TIMEOUT(published.count(), 1, 5000);
        QCOMPARE(audio.errorText(), QString("录音的结尾未能写入磁盘（磁盘可能已满），之前的部分已保存。"));
    }

    void killedRecordingKeepsItsAudio()
    {
        const QString folder = m_profile->makeFolder("killed");
        startTone();
        QProcess helper;
        helper.start(RECORDING_HELPER, { folder, "2" });
        QVERIFY2(helper.waitForStarted(), qPrintable(helper.errorString()));
        while (!helper.canReadLine() && helper.state() == QProcess::Running)
            helper.waitForReadyRead(20000);
        QCOMPARE(helper.readLine(), QByteArray("recording\n"));
        helper.kill();
        QVERIFY(helper.waitForFinished());
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

        const QStringList files = QDir(folder).entryList({ "*.m4a" }, QDir::Files);
        QCOMPARE(files.size(), 1);
        // At most the last second is lost.
        const double seconds = secondsOfTone(QDir(folder).filePath(files.first()));
        QVERIFY2(seconds >= 1.0, qPrintable(QString::number(seconds)));
    }

    // The program, recording from its shortcut, is ended by the desktop: the recording is in
    // the current note before it goes.
    void terminatedWhileRecordingKeepsItInItsNote()
    {
        const QString home = m_profile->makeFolder("program");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("XDG_DATA_HOME", home);
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(TANDREL_EXECUTABLE, {});
        startTone();
        QString path;
        // The hot key works once the window shows; a press that starts a recording makes its file at once.
        for (int press = 0; press < 30 && path.isEmpty(); ++press) {
            QCOMPARE(QProcess::execute("xdotool", { "key", "ctrl+alt+r" }), 0);
            std::ignore = QTest::qWaitFor([&] {
                QDirIterator files(home, { "*.m4a" }, QDir::Files, QDirIterator::Subdirectories);
                return !(path = files.hasNext() ? files.next() : QString()).isEmpty();
            }, 1000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 16000, 10000);
        QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(std::tuple(program.exitStatus(), program.exitCode()), std::tuple(QProcess::NormalExit, 0));
        QVERIFY(secondsOfTone(path) >= 0.5);
        const QByteArray embed = "![[" + QFileInfo(path).fileName().toUtf8() + "]]";
        const Preferences stored(home + "/Tandrel/preferences.sqlite");
        QVERIFY(stored.data("notePages").value_or("").contains(embed));
    }

    // Last, because the audio server is gone afterwards.
    void lostAudioServerEndsTheRecordingAndKeepsItsAudio()
    {
        RecordingStore audio(m_profile->path("lost"), nullptr);
        QSignalSpy published(&audio, &RecordingStore::recordingFinished);
        startTone();
        audio.toggle();
        QTRY_VERIFY_WITH_TIMEOUT(audio.elapsed() >= 1.0, 10000);
        QCOMPARE(QProcess::execute("pactl", { "exit" }), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!audio.isRecording(), 10000);
        QCOMPARE(audio.errorText(), QString("录音意外中断，请检查已保存的音频。"));
        QTRY_COMPARE_WITH_TIMEOUT(published.count(), 1, 5000);
        QVERIFY(secondsOfTone(published.first().first().value<AudioRecording>().path) >= 0.5);
    }
};

QTEST_GUILESS_MAIN(TestRecordingAudio)
#include "TestRecordingAudio.moc"
