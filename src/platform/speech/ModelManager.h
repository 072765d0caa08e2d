#pragma once

#include "WhisperModels.h"
#include "platform/BackgroundJob.h"
#include "platform/HttpTransfer.h"

#include <QFile>
#include <QObject>
#include <QPointer>

#include <memory>

// Installs the model of the newer speech engine: downloads a known model over HTTPS into
// the models folder (resumable: bytes arrive in "<file>.part", which a later attempt, from
// the same source or another, continues with a Range request), checks it against its
// published checksums and only then gives it its final name; or copies a model file the
// user already has. Sources are tried in order until one serves the file; the one that did
// is remembered and tried first next time, unless the user chose one. One job at a time;
// a new one cancels the previous. A settings screen reads the properties and calls the
// operations. Main thread only.
class Preferences;

class ModelManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString modelID READ modelID NOTIFY modelIDChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(QString installedModelPath READ installedModelPath NOTIFY installedModelPathChanged)
    Q_PROPERTY(bool installationRequested READ installationRequested NOTIFY installedModelPathChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString chosenSource READ chosenSource NOTIFY sourcesChanged)
public:
    enum class State { idle, downloading, verifying, installing };
    Q_ENUM(State)

    struct Options {
        QString folder; // where installed models live
        QList<WhisperModel> catalogue;
        HttpGet http; // empty: the desktop's network
        QList<ModelSource> sources = WhisperModels::builtInSources();
        // Holds the chosen, the user's own and the last working source; nullptr: the standard store.
        Preferences* preferences = nullptr;
    };
    static Options standardOptions();

    explicit ModelManager(QObject* parent = nullptr);
    explicit ModelManager(Options options, QObject* parent = nullptr);
    ~ModelManager() override;

    const QList<WhisperModel>& catalogue() const { return m_options.catalogue; }
    QString folder() const { return m_options.folder; }

    State state() const { return m_state; }
    // The model being downloaded, verified or installed; empty when idle.
    QString modelID() const { return m_modelID; }
    // 0 to 1 while a job runs and the total is known; 0 when idle.
    double progress() const { return m_progress; }
    // The last problem as one finished sentence; empty when there is none.
    QString message() const { return m_message; }
    QString installedModelPath() const { return m_installedModelPath; }
    // True while no model is installed: the newer engine needs one to be downloaded or chosen.
    bool installationRequested() const { return m_installedModelPath.isEmpty(); }
    QString statusText() const;
    // "base-q5_1（约 60 MB）" for a settings list.
    static QString displayName(const WhisperModel& model);
    bool isInstalled(const WhisperModel& model) const;

    // The sources downloads may come from: the built-in ones, then the user's own when set.
    QList<ModelSource> sources() const;
    static QString sourceName(const ModelSource& source);
    // The source the user chose; empty: automatic (the last working one first, then in order).
    QString chosenSource() const;
    void chooseSource(const QString& id);
    QString customSource() const;
    // A base address under which the model files are found (HTTPS); false, with `message`
    // set, when it is not one. Empty removes it.
    bool setCustomSource(const QString& address);
    // The source that served the last download; empty before the first.
    QString workingSource() const;

    // Downloads and installs the known model with that id.
    void download(const QString& modelID);
    // Copies a model file from disk into the models folder after checking that it is a
    // multilingual whisper model.
    void installFromFile(const QString& path);
    // Stops the running job; a partial download stays for the next attempt.
    void cancel();
    // Deletes an installed model file of the models folder.
    void remove(const QString& fileName);
    // Reads the models folder again (a model may have been added by other means).
    void refresh();

signals:
    void stateChanged();
    void modelIDChanged();
    void progressChanged();
    void messageChanged();
    void installedModelPathChanged();
    void statusTextChanged();
    void sourcesChanged();

private:
    struct Download;

    void setState(State state);
    void setModelID(const QString& id);
    void setProgress(double progress);
    void setMessage(const QString& message);
    void setInstalledModelPath(const QString& path);
    void fail(const QString& sentence);
    void stopJob();
    QString partPath(const WhisperModel& model) const;
    QString finalPath(const WhisperModel& model) const;

    QList<ModelSource> attemptOrder() const;
    Preferences* preferences() const;
    bool nextSource();
    void startRequest();
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void verify(const WhisperModel& model);
    void finishInstalling();

    Options m_options;
    State m_state = State::idle;
    QString m_modelID;
    double m_progress = 0;
    QString m_message;
    QString m_installedModelPath;

    std::unique_ptr<Download> m_download;
    // Verification and copies; last, so that it waits for its worker before anything goes.
    BackgroundJobs m_jobs { this };
};
