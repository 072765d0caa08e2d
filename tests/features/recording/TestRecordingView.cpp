#include "support/StoreHarness.h"

#include "features/recording/RecordingLibraryDialog.h"
#include "features/recording/RecordingView.h"
#include "workspace/ContentView.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class TestRecordingView : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreHarness> h;

    RecordingStore* audio() const { return h->recorder(); }

    void addRecordings(const QStringList& names)
    {
        h->makeFolder("Recordings");
        for (const QString& name : names)
            QVERIFY(!h->writeFile("Recordings/" + name, "x").isEmpty());
        audio()->reload();
    }

    static QStringList rowNames(RecordingLibraryDialog* library)
    {
        QStringList names;
        for (QLabel* label : library->findChildren<QLabel*>("recordingName"))
            if (label->isVisibleTo(library))
                names << label->text();
        return names;
    }

    static QToolButton* playButton(RecordingLibraryDialog* library, const QString& name)
    {
        for (QWidget* row : library->findChildren<QWidget*>("recordingRow")) {
            if (row->parent() && row->property("filename").toString() == name)
                return row->findChild<QToolButton*>("playButton");
        }
        return nullptr;
    }

private slots:
    void init() { h = std::make_unique<StoreHarness>("zh-Hans"); }
    void cleanup() { h.reset(); }

    void fullPanelFollowsTheRecorder()
    {
        auto view = std::make_unique<RecordingView>(h->store.get());
        view->show();
        auto* record = view->findChild<QPushButton*>("recordButton");
        auto* library = view->findChild<QPushButton*>("recordingLibraryButton");
        auto* elapsed = view->findChild<QLabel*>("recordingElapsedLabel");
        QVERIFY(!elapsed->isVisible());
        addRecordings({ "a.m4a", "b.m4a" });

        // Refused, the store's error is shown until confirmed.
        h->audio->authorization = MicrophoneAuthorization::denied;
        QTest::mouseClick(record, Qt::LeftButton);
        QTRY_VERIFY(view->errorAlert() && view->errorAlert()->isVisible());
        QCOMPARE(view->errorAlert()->text(), audio()->errorText());
        QTest::mouseClick(view->errorAlert()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(!audio()->errorMessage());
        QTRY_VERIFY(!view->errorAlert());

        h->audio->authorization = MicrophoneAuthorization::notDetermined;
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(!record->isEnabled());
        QTRY_COMPARE(h->audio->accessRequests.size(), 1);
        h->audio->accessRequests.first()(true);
        QTRY_VERIFY(audio()->isRecording());
        QVERIFY(record->isEnabled() && elapsed->isVisible());
        h->audio->recorders.last()->time = 65.9;
        QTRY_COMPARE(elapsed->text(), QString("01:05"));

        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(!audio()->isRecording());
        QVERIFY(!elapsed->isVisible());
        QTRY_COMPARE(library->text(), QString("录音记录 · 3"));

        // The compact form is one button that records.
        h->audio->authorization = MicrophoneAuthorization::authorized;
        view->setCompact(true);
        auto* button = view->findChild<QPushButton*>("compactRecordButton");
        QVERIFY(button->isVisible() && !record->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(audio()->isRecording());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!audio()->isRecording());
    }

    // Messages show over the open library only, and closing it stops the playback.
    void libraryInTheContentView()
    {
        ContentView content(h->store.get());
        content.resize(420, 800);
        content.show();
        auto* view = content.findChild<QWidget*>("focusRow")->findChild<RecordingView*>("recordingView");
        QVERIFY(view && view->isVisible());
        QTest::mouseClick(view->findChild<QPushButton*>("recordingLibraryButton"), Qt::LeftButton);
        RecordingLibraryDialog* library = view->library();
        QVERIFY(library && library->isVisible() && view->isShowingLibrary());
        addRecordings({ "old.m4a", "new.m4a" });
        QStringList listed;
        for (const AudioRecording& recording : audio()->recordings())
            listed << recording.filename();
        QTRY_COMPARE(rowNames(library), listed);

        QTest::mouseClick(library->findChild<QPushButton*>("exportButton"), Qt::LeftButton);
        QTRY_VERIFY(library->messageAlert() && library->messageAlert()->isVisible());
        QCOMPARE(library->messageAlert()->text(), QString("请先在设置中选择 Obsidian 仓库。"));
        QVERIFY(!content.messageAlert());
        QTest::mouseClick(library->messageAlert()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(!h->store->message());

        QTest::mouseClick(playButton(library, "old.m4a"), Qt::LeftButton);
        QCOMPARE(audio()->playingID(), QString("old.m4a"));
        QVERIFY(playButton(library, "old.m4a")->property("playing").toBool());
        QVERIFY(!playButton(library, "new.m4a")->property("playing").toBool());
        library->reject();
        QVERIFY(!audio()->isPlaying());
        h->store->setMessage(QStringLiteral("另一条消息"));
        QTRY_VERIFY(content.messageAlert() && content.messageAlert()->isVisible());
    }
};

QTEST_MAIN(TestRecordingView)
#include "TestRecordingView.moc"
