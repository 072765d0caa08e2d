#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class FileRevealer;
class QLabel;
class QMessageBox;
class QPushButton;
class QStackedLayout;
class RecordingLevelMeter;
class RecordingLibraryDialog;
class RecordingStore;
class WorkspaceStore;

// The quick recorder of the main window: start and stop, the running time, a live level
// meter and the recordings library. Full size as a card, or compact as one button.
class RecordingView : public QWidget {
    Q_OBJECT
public:
    // `revealer` shows files in the file manager (the desktop's when null).
    explicit RecordingView(WorkspaceStore* store, QWidget* parent = nullptr,
                           std::shared_ptr<FileRevealer> revealer = {});
    ~RecordingView() override;

    bool isCompact() const { return m_compact; }
    void setCompact(bool compact);
    void retranslate();

    RecordingLibraryDialog* library() const;
    bool isShowingLibrary() const;
    void showLibrary();
    QMessageBox* errorAlert() const { return m_errorAlert; }

    // "mm:ss" of whole seconds; minutes are not capped.
    static QString duration(double seconds);

protected:
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void showError();

    WorkspaceStore* m_store;
    RecordingStore* m_audio;
    std::shared_ptr<FileRevealer> m_revealer;
    bool m_compact = false;

    QStackedLayout* m_stack;
    QWidget* m_card;
    QLabel* m_titleIcon;
    QLabel* m_title;
    QLabel* m_elapsed;
    RecordingLevelMeter* m_meter;
    QPushButton* m_recordButton;
    QPushButton* m_libraryButton;
    QPushButton* m_compactButton;
    QPointer<RecordingLibraryDialog> m_library;
    QPointer<QMessageBox> m_errorAlert;
};
