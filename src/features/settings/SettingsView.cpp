#include "SettingsView.h"

#include "platform/localization/L10n.h"
#include "platform/notifications/NotificationService.h"
#include "platform/storage/StorageLocations.h"
#include "workspace/WorkspaceStore.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* heading(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* footnote(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}
} // namespace

SettingsView::SettingsView(WorkspaceStore* store, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
{
    setObjectName("settingsView");
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    m_title = heading(this);
    m_done = new QPushButton(this);
    m_done->setObjectName("doneButton");
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    header->addWidget(m_title);
    header->addStretch();
    header->addWidget(m_done);
    layout->addLayout(header);

    m_notificationsHeading = heading(this);
    layout->addWidget(m_notificationsHeading);
    auto* notifications = new QFormLayout;
    m_statusName = new QLabel(this);
    m_statusName->setTextFormat(Qt::PlainText);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName("notificationStatus");
    m_status->setForegroundRole(QPalette::PlaceholderText);
    notifications->addRow(m_statusName, m_status);
    layout->addLayout(notifications);
    m_issue = footnote(this);
    m_issue->setObjectName("notificationIssue");
    layout->addWidget(m_issue);
    m_enable = new QPushButton(this);
    m_enable->setObjectName("enableNotificationsButton");
    connect(m_enable, &QPushButton::clicked, this, [this] { m_store->notifications()->synchronize(true); });
    layout->addWidget(m_enable, 0, Qt::AlignLeft);

    m_destinationHeading = heading(this);
    layout->addWidget(m_destinationHeading);
    auto* destinations = new QFormLayout;
    const auto destinationPicker = [this, destinations](QLabel*& name, QComboBox*& picker, const char* objectName) {
        name = new QLabel(this);
        name->setTextFormat(Qt::PlainText);
        picker = new QComboBox(this);
        picker->setObjectName(QLatin1String(objectName));
        name->setBuddy(picker);
        for (NoteDestination destination : NoteDestinations::allCases())
            picker->addItem(QString(), QVariant::fromValue(int(destination)));
        destinations->addRow(name, picker);
    };
    destinationPicker(m_afterRecordingName, m_afterRecording, "recordingDestinationPicker");
    destinationPicker(m_droppedFilesName, m_droppedFiles, "fileDropDestinationPicker");
    connect(m_afterRecording, &QComboBox::activated, this, [this] {
        m_store->setRecordingNoteDestination(NoteDestination(m_afterRecording->currentData().toInt()));
    });
    connect(m_droppedFiles, &QComboBox::activated, this, [this] {
        m_store->setFileDropNoteDestination(NoteDestination(m_droppedFiles->currentData().toInt()));
    });
    layout->addLayout(destinations);
    m_destinationExplanation = footnote(this);
    layout->addWidget(m_destinationExplanation);

    auto* vaultHeading = heading(this);
    vaultHeading->setText(QStringLiteral("Obsidian"));
    layout->addWidget(vaultHeading);
    auto* vault = new QFormLayout;
    auto* vaultRow = new QHBoxLayout;
    m_vaultPath = new QLabel(this);
    m_vaultPath->setObjectName("vaultPathLabel");
    m_vaultPath->setTextFormat(Qt::PlainText);
    m_vaultPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_chooseVault = new QPushButton(this);
    m_chooseVault->setObjectName("chooseVaultButton");
    connect(m_chooseVault, &QPushButton::clicked, m_store, &WorkspaceStore::selectVault);
    vaultRow->addWidget(m_vaultPath, 1);
    vaultRow->addWidget(m_chooseVault);
    m_vaultName = new QLabel(this);
    m_vaultName->setTextFormat(Qt::PlainText);
    vault->addRow(m_vaultName, vaultRow);
    StorageLocations* storage = m_store->storage();
    const auto folderField = [this, vault](QLabel*& name, QLineEdit*& field, const char* objectName) {
        name = new QLabel(this);
        name->setTextFormat(Qt::PlainText);
        field = new QLineEdit(this);
        field->setObjectName(QLatin1String(objectName));
        name->setBuddy(field);
        vault->addRow(name, field);
    };
    folderField(m_fileFolderName, m_fileFolder, "attachmentExportPathField");
    folderField(m_audioFolderName, m_audioFolder, "recordingExportPathField");
    connect(m_fileFolder, &QLineEdit::editingFinished, this,
        [this] { m_store->storage()->setAttachmentExportPath(m_fileFolder->text().trimmed()); });
    connect(m_audioFolder, &QLineEdit::editingFinished, this,
        [this] { m_store->storage()->setRecordingExportPath(m_audioFolder->text().trimmed()); });
    layout->addLayout(vault);
    m_folderHint = footnote(this);
    m_vaultExplanation = footnote(this);
    layout->addWidget(m_folderHint);
    layout->addWidget(m_vaultExplanation);
    layout->addStretch();

    NotificationService* service = m_store->notifications();
    connect(service, &NotificationService::authorizationChanged, this, &SettingsView::refresh);
    connect(service, &NotificationService::issueChanged, this, &SettingsView::refresh);
    connect(m_store, &WorkspaceStore::vaultPathChanged, this, &SettingsView::refresh);
    connect(m_store, &WorkspaceStore::recordingNoteDestinationChanged, this, &SettingsView::refresh);
    connect(m_store, &WorkspaceStore::fileDropNoteDestinationChanged, this, &SettingsView::refresh);
    connect(storage, &StorageLocations::attachmentExportPathChanged, this, &SettingsView::refresh);
    connect(storage, &StorageLocations::recordingExportPathChanged, this, &SettingsView::refresh);
    retranslate();
    // Whether alerts are allowed may have changed in the desktop's settings meanwhile.
    service->refreshAuthorization();
}

void SettingsView::retranslate()
{
    setWindowTitle(L10n::tr("设置"));
    m_title->setText(L10n::tr("设置"));
    m_done->setText(L10n::tr("完成"));
    m_notificationsHeading->setText(L10n::tr("通知提醒"));
    m_statusName->setText(L10n::tr("通知状态"));
    m_enable->setText(L10n::tr("启用通知"));
    m_destinationHeading->setText(L10n::tr("笔记保存方式"));
    m_afterRecordingName->setText(L10n::tr("录音完成后"));
    m_afterRecording->setAccessibleName(L10n::tr("录音完成后"));
    m_droppedFilesName->setText(L10n::tr("拖入文件时"));
    m_droppedFiles->setAccessibleName(L10n::tr("拖入文件时"));
    for (QComboBox* picker : { m_afterRecording, m_droppedFiles }) {
        for (int i = 0; i < picker->count(); ++i) {
            const bool current = NoteDestination(picker->itemData(i).toInt()) == NoteDestination::currentNote;
            picker->setItemText(i, current ? L10n::tr("当前笔记") : L10n::tr("新笔记"));
        }
    }
    m_destinationExplanation->setText(L10n::tr(
        "选择当前笔记会追加附件；选择新笔记会新建并切换。同次拖入的多个文件保存在同一页，录音转写始终追加到录音所在笔记。"));
    m_vaultName->setText(L10n::tr("仓库位置"));
    m_chooseVault->setText(L10n::tr("选择文件夹…"));
    m_chooseVault->setAccessibleName(L10n::tr("仓库位置") + QStringLiteral(": ") + L10n::tr("选择文件夹…"));
    m_fileFolderName->setText(L10n::tr("文件附件目录"));
    m_fileFolder->setAccessibleName(L10n::tr("文件附件目录"));
    m_audioFolderName->setText(L10n::tr("录音附件目录"));
    m_audioFolder->setAccessibleName(L10n::tr("录音附件目录"));
    m_folderHint->setText(L10n::tr("附件目录填写相对仓库根目录的路径，例如 Sidebar/Attachments。"));
    m_vaultExplanation->setText(L10n::tr(
        "请选择 Obsidian 仓库的根目录。Note 只保存笔记正文到 Sidebar；待办通过独立按钮保存到 Sidebar/Tasks。每次保存生成新文件。"));
    refresh();
}

void SettingsView::refresh()
{
    NotificationService* service = m_store->notifications();
    const bool allowed = service->authorization() == NotificationAccess::allowed;
    m_status->setText(allowed ? L10n::tr("已允许") : L10n::tr("尚未允许"));
    m_issue->setText(service->issueText());
    m_issue->setVisible(!service->issueText().isEmpty());
    m_afterRecording->setCurrentIndex(m_afterRecording->findData(int(m_store->recordingNoteDestination())));
    m_droppedFiles->setCurrentIndex(m_droppedFiles->findData(int(m_store->fileDropNoteDestination())));
    m_vaultPath->setText(m_store->vaultPath().value_or(QString()));
    m_vaultPath->setAccessibleName(L10n::tr("仓库位置"));
    StorageLocations* storage = m_store->storage();
    // An edit in progress is not overwritten by its own echo.
    if (!m_fileFolder->hasFocus())
        m_fileFolder->setText(storage->attachmentExportPath());
    if (!m_audioFolder->hasFocus())
        m_audioFolder->setText(storage->recordingExportPath());
}

void SettingsView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
