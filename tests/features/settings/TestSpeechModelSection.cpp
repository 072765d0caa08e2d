#include "LoopbackHttpServer.h"

#include "features/settings/SpeechModelSection.h"
#include "platform/speech/ModelManager.h"
#include "support/FakeModelFile.h"
#include "support/TemporaryProfile.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

class TestSpeechModelSection : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "en" };

    static QFrame* row(QWidget& section, const QString& id)
    {
        for (QFrame* candidate : section.findChildren<QFrame*>("modelRow"))
            if (candidate->property("modelID") == id)
                return candidate;
        return nullptr;
    }
    template <typename T = QPushButton*> static T in(QWidget& section, const QString& id, const char* name)
    {
        return row(section, id)->findChild<T>(name);
    }

private slots:
    // The catalogue with sizes and the recommended one marked; a download shows its progress
    // with Cancel and ends installed, with Remove; removing it offers the download again.
    void downloadAndRemove()
    {
        LoopbackHttpServer server(fakeWhisperModel());
        server.pieceSize = 16 * 1024;
        QVERIFY(server.listen());
        const QByteArray sum = QCryptographicHash::hash(server.content, QCryptographicHash::Sha256).toHex();
        ModelManager models({ m_profile.path("models"),
            { { "small-q8_0", "ggml-small-q8_0.bin", 264464607, {}, "00", false },
                { "base-q5_1", "ggml-base-q5_1.bin", server.content.size(), {}, sum, true } },
            {}, { { "local", server.url("") } }, m_profile.preferences() });
        SpeechModelSection section(&models, nullptr);
        section.show();
        QCOMPARE(in<QLabel*>(section, "small-q8_0", "modelName")->text(), QString("small-q8_0 (about 264 MB)"));
        QCOMPARE(in<QLabel*>(section, "base-q5_1", "modelName")->text(), QString("base-q5_1 (about 1 MB) · Recommended"));
        QVERIFY(section.findChild<QLabel*>("modelRecommendationLabel")->text().startsWith("Recommended: base-q5_1."));

        QTest::mouseClick(in(section, "base-q5_1", "downloadModelButton"), Qt::LeftButton);
        QVERIFY(section.findChild<QProgressBar*>("modelProgress")->isVisible());
        QVERIFY(section.findChild<QPushButton*>("cancelModelJobButton")->isVisible());
        QVERIFY(!in(section, "small-q8_0", "downloadModelButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(in(section, "base-q5_1", "removeModelButton")->isVisible(), 60000);
        QVERIFY(!in(section, "base-q5_1", "downloadModelButton")->isVisible());
        QVERIFY(!section.findChild<QProgressBar*>("modelProgress")->isVisible());
        QCOMPARE(section.findChild<QLabel*>("installedModelLabel")->text(), QString("Current model: ggml-base-q5_1.bin"));

        QTest::mouseClick(in(section, "base-q5_1", "removeModelButton"), Qt::LeftButton);
        QVERIFY(in(section, "base-q5_1", "downloadModelButton")->isVisible());
        QCOMPARE(section.findChild<QLabel*>("modelStatusLabel")->text(), QString("No speech recognition model installed"));
    }

    // Automatic, each known source, and the user's own once it is an HTTPS address.
    void sources()
    {
        ModelManager models({ m_profile.path("models"), {}, {}, WhisperModels::builtInSources(), m_profile.preferences() });
        SpeechModelSection section(&models, nullptr);
        auto* choice = section.findChild<QComboBox*>("modelSourceChoice");
        QCOMPARE(choice->count(), 4);
        QCOMPARE(choice->currentIndex(), 0);
        emit choice->activated(2);
        QCOMPARE(models.chosenSource(), QString("hf-mirror"));

        auto* field = section.findChild<QLineEdit*>("customModelSourceField");
        field->setText("http://models.example.org/whisper");
        QTest::mouseClick(section.findChild<QPushButton*>("useCustomModelSourceButton"), Qt::LeftButton);
        QCOMPARE(section.findChild<QLabel*>("modelMessageLabel")->text(),
            QString("A download source must be an address starting with https://."));
        field->setText("https://models.example.org/whisper/");
        QTest::mouseClick(section.findChild<QPushButton*>("useCustomModelSourceButton"), Qt::LeftButton);
        QCOMPARE(std::pair(models.chosenSource(), choice->currentText()),
            std::pair(QString("custom"), QString("Custom: https://models.example.org/whisper")));
        QVERIFY(section.findChild<QLabel*>("modelMessageLabel")->isHidden());
        // Removing it returns to the automatic choice.
        field->clear();
        QTest::mouseClick(section.findChild<QPushButton*>("useCustomModelSourceButton"), Qt::LeftButton);
        QCOMPARE(std::pair(models.chosenSource(), choice->count()), std::pair(QString(), 4));
    }
};

QTEST_MAIN(TestSpeechModelSection)
#include "TestSpeechModelSection.moc"
