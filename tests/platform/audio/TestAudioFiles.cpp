#include "media/CaptureRecorder.h"
#include "media/QtAudioBackend.h"
#include "platform/audio/AacFileWriter.h"
#include "platform/audio/AudioFileDecoder.h"
#include "support/TemporaryProfile.h"
#include "support/ToneAnalysis.h"

#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>
#include <vector>

#include <sys/resource.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {
std::vector<float> tone(double frequency, double seconds, float amplitude = 0.5f)
{
    std::vector<float> values(size_t(seconds * AacFileWriter::sampleRate));
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = amplitude * float(std::sin(2 * M_PI * frequency * double(i) / AacFileWriter::sampleRate));
    return values;
}

// Feeds the writer in uneven pieces, as capture does.
bool writeInPieces(AacFileWriter& writer, const std::vector<float>& values)
{
    for (size_t offset = 0, piece = 441; offset < values.size(); offset += piece, piece = 2218 - piece) {
        if (!writer.write(values.data() + offset, qsizetype(std::min(piece, values.size() - offset))))
            return false;
    }
    return true;
}
} // namespace

class TestAudioFiles : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "zh-Hans" };
    static std::optional<QByteArray> decodeAll(const QString& path)
    {
        return AudioFileDecoder::decodeAll(path, { .format = AudioFileDecoder::SampleFormat::float32 });
    }

private slots:
    // A recorder that could not start may still wait for its deletion when the backend goes.
    void recorderOutlivingItsBackend()
    {
        auto backend = std::make_unique<QtAudioBackend>();
        std::unique_ptr<AudioRecorder> recorder
            = std::make_unique<CaptureRecorder>(QAudioDevice(), m_profile.path("a.m4a"), backend.get());
        QSignalSpy started(recorder.get(), &AudioRecorder::started);
        recorder->start();
        QVERIFY(started.wait() && !started.first().first().toBool());
        backend.reset();
        recorder->stop();
    }

    // A file cut short is the recording integration test's (killed, or the server lost).
    void aacRoundTrip()
    {
        const double frequency = 300, seconds = 0.3;
        const QString path = m_profile.path("录音-1-ABCDEF12.m4a");
        AacFileWriter writer;
        QCOMPARE(writer.open(path), std::nullopt);
        QVERIFY(writeInPieces(writer, tone(frequency, seconds)));
        QVERIFY(writer.finish() && !writer.isOpen());

        AVFormatContext* format = nullptr;
        QCOMPARE(avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr), 0);
        QVERIFY(avformat_find_stream_info(format, nullptr) >= 0);
        const AVCodecParameters* stream = format->streams[0]->codecpar;
        const bool aacLcMono44k = QByteArray(format->iformat->name).contains("mp4") && format->nb_streams == 1
            && stream->codec_id == AV_CODEC_ID_AAC && stream->profile == FF_PROFILE_AAC_LOW
            && stream->sample_rate == 44100 && stream->ch_layout.nb_channels == 1;
        avformat_close_input(&format);
        QVERIFY(aacLcMono44k);

        const std::vector<float> decoded = ToneAnalysis::samples(decodeAll(path).value_or(QByteArray()));
        const double decodedSeconds = double(decoded.size()) / AacFileWriter::sampleRate;
        QVERIFY2(qAbs(decodedSeconds - seconds) < 0.06, qPrintable(QString::number(decodedSeconds)));
        QCOMPARE(ToneAnalysis::dominantFrequency(decoded, AacFileWriter::sampleRate), frequency);
        const double rms = ToneAnalysis::rms(decoded, decoded.size() / 4, decoded.size() * 3 / 4);
        QVERIFY2(qAbs(rms - 0.5 / std::sqrt(2.0)) < 0.05, qPrintable(QString::number(rms)));
    }

    void failuresAreReported()
    {
        // A file-size limit makes the disk refuse further writes part way, as a full disk does.
        const QString path = m_profile.path("limited.m4a");
        AacFileWriter writer;
        {
            rlimit previous {};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &previous), 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            const auto restore = qScopeGuard([&] {
                setrlimit(RLIMIT_FSIZE, &previous);
                std::signal(SIGXFSZ, oldHandler);
            });
            const rlimit limited { 24 * 1024, previous.rlim_max };
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
            QCOMPARE(writer.open(path), std::nullopt);
            QVERIFY(!writeInPieces(writer, tone(440, 6)) && !writer.isOpen() && !writer.finish());
        }
        // What reached the disk before the failure is still audio.
        const auto pcm = decodeAll(path);
        QVERIFY(pcm && ToneAnalysis::samples(*pcm).size() >= size_t(AacFileWriter::sampleRate / 2));

        // Writer and reader report what failed; the sentence is made later, in the language of then.
        const QString unwritable = m_profile.path("missing/folder/x.m4a");
        const auto writeFailure = writer.open(unwritable);
        QCOMPARE(writeFailure, (AudioFileError { AudioFileError::Kind::cannotCreate, unwritable }));
        const float sample = 0;
        QVERIFY(!writer.isOpen() && !writer.write(&sample, 1) && !QFileInfo::exists(unwritable));

        const QString garbage = m_profile.writeFile("garbage.m4a", QByteArray(4096, 'x'));
        AudioFileDecoder decoder;
        QCOMPARE(decoder.open(garbage), (AudioFileError { AudioFileError::Kind::cannotRead, garbage }));
        QVERIFY(decoder.read().isEmpty());
        // The reading sentence in English is the media module test's.
        m_profile.setLanguage("en");
        QCOMPARE(writeFailure->text(), QString("Could not create the audio file “%1”.").arg(unwritable));
    }
};

QTEST_GUILESS_MAIN(TestAudioFiles)
#include "TestAudioFiles.moc"
