#include "LoopbackHttpServer.h"

#include "features/settings/SpeechModelSection.h"
#include "platform/speech/ModelManager.h"
#include "support/FakeModelFile.h"
#include "support/TemporaryProfile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestSpeechModelSection : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "en" };

    template <typename T = QPushButton*> static T in(QWidget& section, const QString& id, const char* name)
    {
        for (QWidget* row : section.findChildren<QWidget*>("modelRow"))
            if (row->property("modelID") == id)
                return row->findChild<T>(name);
        return nullptr;
    }

private slots:
    // Sizes and the recommendation shown; Cancel while downloading, then Remove.
    void downloadAndRemove()
    {
        LoopbackHttpServer server(fakeWhisperModel());
        QVERIFY(server.listen());
        const QByteArray sum = QCryptographicHash::hash(server.content, QCryptographicHash::Sha256).toHex();
        ModelManager models({ m_profile.path("models"),
            { { "small-q8_0", "ggml-small-q8_0.bin", 264464607, {}, "00", false },
                { "base-q5_1", "ggml-base-q5_1.bin", server.content.size(), {}, sum, true } },
            {}, { { "local", server.url("") } }, m_profile.preferences() });
        SpeechModelSection section(&models, nullptr);
        section.show();
        QCOMPARE(
            in<QLabel*>(section, "small-q8_0", "modelName")->text(), QString("small-q8_0 (about 264 MB)"));
        QCOMPARE(in<QLabel*>(section, "base-q5_1", "modelName")->text(),
            QString("base-q5_1 (about 1 MB) · Recommended"));
        QVERIFY(section.findChild<QLabel*>("modelRecommendationLabel")
                    ->text()
                    .startsWith("Recommended: base-q5_1."));
        QTest::mouseClick(in(section, "base-q5_1", "downloadModelButton"), Qt::LeftButton);
        QVERIFY(section.findChild<QPushButton*>("cancelModelJobButton")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(in(section, "base-q5_1", "removeModelButton")->isVisible(), 60000);
        QCOMPARE(section.findChild<QLabel*>("installedModelLabel")->text(),
            QString("Current model: ggml-base-q5_1.bin"));
        QTest::mouseClick(in(section, "base-q5_1", "removeModelButton"), Qt::LeftButton);
        QVERIFY(
            in(section, "base-q5_1", "downloadModelButton")->isVisible() && models.installationRequested());
    }

    // Automatic, each known source, and the user's own once it is an HTTPS address.
    void sources()
    {
        ModelManager models(
            { m_profile.path("models"), {}, {}, WhisperModels::builtInSources(), m_profile.preferences() });
        SpeechModelSection section(&models, nullptr);
        auto* choice = section.findChild<QComboBox*>("modelSourceChoice");
        QCOMPARE(std::pair(choice->count(), choice->currentIndex()), std::pair(4, 0));
        emit choice->activated(2);
        QCOMPARE(models.chosenSource(), QString("hf-mirror"));
        const auto use = [&](const QString& address) {
            section.findChild<QLineEdit*>("customModelSourceField")->setText(address);
            QTest::mouseClick(section.findChild<QPushButton*>("useCustomModelSourceButton"), Qt::LeftButton);
            return section.findChild<QLabel*>("modelMessageLabel")->text();
        };
        QCOMPARE(use("http://models.example.org/whisper"),
            "A download source must be an address starting with https://.");
        QCOMPARE(use("https://models.example.org/whisper/"), QString());
        QCOMPARE(std::pair(models.chosenSource(), choice->currentText()),
            std::pair(QString("custom"), QString("Custom: https://models.example.org/whisper")));
        use(""); // removed: back to the automatic choice
        QCOMPARE(std::pair(models.chosenSource(), choice->count()), std::pair(QString(), 4));
    }
};

QTEST_MAIN(TestSpeechModelSection)
#include "TestSpeechModelSection.moc"
