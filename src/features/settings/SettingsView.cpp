#include "SettingsView.h"

#include "ShortcutSettingsSection.h"
#include "SpeechModelSection.h"
#include "features/calendar/HolidayCalendar.h"
#include "platform/localization/L10n.h"
#include "platform/notifications/NotificationService.h"
#include "platform/notifications/NotificationSettingsOpener.h"
#include "platform/preferences/Preferences.h"
#include "platform/session/AutostartEntry.h"
#include "platform/storage/StorageLocations.h"
#include "workspace/WorkspaceStore.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

#include <tuple>

namespace {
const QString kInterfaceLanguage = QStringLiteral("interfaceLanguage");
const QString kAppearanceMode = QStringLiteral("appearanceMode");
const QString kSpeechLanguage = QStringLiteral("speechLanguage");
const QString kWindowSize = QStringLiteral("settingsWindowSize");

// Stored value and Chinese label of each choice; "简体中文" and "English" read the same in
// both languages.
const QList<std::pair<QString, QString>> kInterfaceLanguages { { "system", "跟随系统" },
    { "zh-Hans", "简体中文" }, { "en", "English" } };
const QList<std::pair<QString, QString>> kAppearanceModes { { "system", "跟随系统" }, { "light", "浅色" },
    { "dark", "深色" } };
const QList<std::pair<QString, QString>> kSpeechLanguages { { "zh-CN", "普通话" }, { "en-US", "English" } };

QLabel* newLabel(QWidget* parent, bool bold = false, bool secondary = false)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(!bold);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QComboBox* newPicker(
    QWidget* parent, const char* objectName, const QList<std::pair<QString, QString>>& choices)
{
    auto* picker = new QComboBox(parent);
    picker->setObjectName(QLatin1String(objectName));
    for (const auto& [value, label] : choices)
        picker->addItem(label, value);
    return picker;
}

void selectValue(QComboBox* picker, const QString& value)
{
    picker->setCurrentIndex(std::max(0, picker->findData(value)));
}
} // namespace

SettingsView::SettingsView(WorkspaceStore* store, ShortcutManager* shortcuts,
    std::shared_ptr<NotificationSettingsOpener> notificationSettings, QWidget* parent)
    : QDialog(parent, Qt::Window)
    , m_store(store)
    , m_notificationSettings(notificationSettings ? std::move(notificationSettings)
                                                  : std::make_shared<DesktopNotificationSettingsOpener>())
    , m_autostart(std::make_unique<AutostartEntry>())
{
    setObjectName("settingsView");
    setModal(false);
    auto* outer = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    m_title = newLabel(this, true);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_title->setFont(titleFont);
    m_texts.insert(m_title, "设置");
    m_done = new QPushButton(this);
    m_done->setObjectName("doneButton");
    m_done->setDefault(true);
    m_texts.insert(m_done, "完成");
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    header->addWidget(m_title);
    header->addStretch();
    header->addWidget(m_done);
    outer->addLayout(header);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("settingsScrollArea");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    buildLanguageSections(layout);
    buildStartupSection(layout);
    buildNotificationSection(layout);
    buildDestinationSection(layout);
    buildTranscriptionSection(layout);
    buildHolidaySection(layout);
    buildStorageSection(layout);
    buildVaultSection(layout);
    if (shortcuts)
        layout->addWidget(new ShortcutSettingsSection(shortcuts, content));
    auto* about = newLabel(content, true);
    m_texts.insert(about, "关于这份预览");
    auto* aboutText = newLabel(content, false, true);
    m_texts.insert(aboutText,
        "待办与速记自动保存在本机。番茄钟支持专注和短休息；录音停止后自动保存在本机，可在录音记录中回放或保存到 Obsidian。");
    layout->addWidget(about);
    layout->addWidget(aboutText);
    layout->addStretch();
    scroll->setWidget(content);
    outer->addWidget(scroll);
    // Quitting sits in this window because it is reachable from the sidebar on every
    // desktop, including those without a tray; at the bottom, away from "Done".
    auto* bottom = new QHBoxLayout;
    m_quit = new QPushButton(this);
    m_quit->setObjectName("quitButton");
    m_quit->setAutoDefault(false);
    m_texts.insert(m_quit, "退出Tandrel");
    connect(m_quit, &QPushButton::clicked, this, &SettingsView::quitRequested);
    bottom->addWidget(m_quit);
    bottom->addStretch();
    outer->addLayout(bottom);

    connect(m_store->preferences(), &Preferences::changed, this, &SettingsView::preferenceChanged);
    NotificationService* service = m_store->notifications();
    connect(service, &NotificationService::authorizationChanged, this, &SettingsView::refresh);
    connect(service, &NotificationService::issueChanged, this, &SettingsView::refresh);
    connect(m_store, &WorkspaceStore::vaultPathChanged, this, &SettingsView::refresh);
    connect(m_store, &WorkspaceStore::recordingNoteDestinationChanged, this, &SettingsView::refresh);
    connect(m_store, &WorkspaceStore::fileDropNoteDestinationChanged, this, &SettingsView::refresh);
    HolidayCalendar* calendar = m_store->holidays();
    connect(calendar, &HolidayCalendar::yearsChanged, this, &SettingsView::refresh);
    connect(calendar, &HolidayCalendar::issueChanged, this, &SettingsView::refresh);
    StorageLocations* storage = m_store->storage();
    for (auto signal :
        { &StorageLocations::attachmentExportPathChanged, &StorageLocations::recordingExportPathChanged,
            &StorageLocations::fileFolderIDChanged, &StorageLocations::recordingFolderIDChanged,
            &StorageLocations::foldersChanged, &StorageLocations::issueChanged })
        connect(storage, signal, this, &SettingsView::refresh);

    const QStringList size = m_store->preferences()->string(kWindowSize).value_or(QString()).split('x');
    const QSize remembered = size.size() == 2 ? QSize(size[0].toInt(), size[1].toInt()) : QSize();
    resize(remembered.isValid() && !remembered.isEmpty() ? remembered : QSize(560, 720));
    retranslate();
}

SettingsView::~SettingsView() = default;

void SettingsView::buildLanguageSections(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "语言");
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    auto* name = newLabel(parent);
    m_texts.insert(name, "界面语言");
    m_language = newPicker(parent, "interfaceLanguagePicker", kInterfaceLanguages);
    name->setBuddy(m_language);
    form->addRow(name, m_language);
    layout->addLayout(form);
    auto* footnote = newLabel(parent, false, true);
    m_texts.insert(footnote, "切换立即生效，不会更改笔记内容或语音识别语言。");
    layout->addWidget(footnote);
    connect(m_language, &QComboBox::activated, this, [this] {
        // A failed write is written again by the preferences; the language follows once stored.
        std::ignore
            = m_store->preferences()->setString(kInterfaceLanguage, m_language->currentData().toString());
    });

    auto* appearance = newLabel(parent, true);
    m_texts.insert(appearance, "外观");
    layout->addWidget(appearance);
    auto* row = new QHBoxLayout;
    auto* theme = newLabel(parent);
    m_texts.insert(theme, "界面主题");
    row->addWidget(theme);
    m_appearance = new QButtonGroup(this);
    m_appearance->setExclusive(true);
    for (const auto& [value, label] : kAppearanceModes) {
        auto* choice = new QPushButton(parent);
        choice->setObjectName(QStringLiteral("appearance_") + value);
        choice->setCheckable(true);
        choice->setAutoDefault(false);
        choice->setProperty("appearanceMode", value);
        m_texts.insert(choice, label);
        m_appearance->addButton(choice);
        row->addWidget(choice);
    }
    row->addStretch();
    layout->addLayout(row);
    connect(m_appearance, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* choice) {
        std::ignore = m_store->preferences()->setString(
            kAppearanceMode, choice->property("appearanceMode").toString());
    });
}

void SettingsView::buildStartupSection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "启动");
    layout->addWidget(heading);
    m_startAtLogin = new QCheckBox(parent);
    m_startAtLogin->setObjectName("startAtLoginCheckBox");
    m_texts.insert(m_startAtLogin, "登录时启动 Tandrel");
    layout->addWidget(m_startAtLogin);
    auto* help = newLabel(parent, false, true);
    help->setObjectName("startAtLoginHelp");
    m_texts.insert(help, "登录桌面后自动启动 Tandrel，全局快捷键随即可用。");
    layout->addWidget(help);
    m_startAtLoginIssue = newLabel(parent);
    m_startAtLoginIssue->setObjectName("startAtLoginIssue");
    m_startAtLoginIssue->hide();
    layout->addWidget(m_startAtLoginIssue);
    connect(m_startAtLogin, &QCheckBox::toggled, this, &SettingsView::startAtLoginToggled);
}

void SettingsView::startAtLoginToggled(bool enabled)
{
    const Result<bool> written = m_autostart->setEnabled(enabled);
    m_startAtLoginIssue->setText(written ? QString() : written.error().text());
    m_startAtLoginIssue->setVisible(!written);
    // The box shows what the desktop will do, also after a failure.
    refresh();
}

void SettingsView::buildNotificationSection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "通知提醒");
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    auto* statusName = newLabel(parent);
    m_texts.insert(statusName, "通知状态");
    m_status = newLabel(parent, false, true);
    m_status->setObjectName("notificationStatus");
    form->addRow(statusName, m_status);
    layout->addLayout(form);
    m_issue = newLabel(parent, false, true);
    m_issue->setObjectName("notificationIssue");
    layout->addWidget(m_issue);
    auto* buttons = new QHBoxLayout;
    m_enable = new QPushButton(parent);
    m_enable->setObjectName("enableNotificationsButton");
    m_enable->setAutoDefault(false);
    m_texts.insert(m_enable, "启用通知");
    connect(m_enable, &QPushButton::clicked, this, [this] { m_store->notifications()->synchronize(true); });
    m_systemNotificationSettings = new QPushButton(parent);
    m_systemNotificationSettings->setObjectName("systemNotificationSettingsButton");
    m_systemNotificationSettings->setAutoDefault(false);
    m_texts.insert(m_systemNotificationSettings, "系统通知设置…");
    connect(m_systemNotificationSettings, &QPushButton::clicked, this,
        [this] { m_notificationSettings->open(); });
    buttons->addWidget(m_enable);
    buttons->addWidget(m_systemNotificationSettings);
    buttons->addStretch();
    layout->addLayout(buttons);
    auto* explanation = newLabel(parent, false, true);
    m_texts.insert(explanation,
        "待办到时、专注或休息结束时发送系统通知。暂停、重置计时，或完成、删除待办会取消对应提醒。声音与横幅遵循系统通知及专注模式设置。");
    layout->addWidget(explanation);
}

void SettingsView::buildDestinationSection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "笔记保存方式");
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    const auto picker = [&](QComboBox*& box, const char* objectName, const char* name) {
        box = new QComboBox(parent);
        box->setObjectName(QLatin1String(objectName));
        for (NoteDestination destination : NoteDestinations::allCases())
            box->addItem(QString(), QVariant::fromValue(int(destination)));
        auto* label = newLabel(parent);
        m_texts.insert(label, QString::fromUtf8(name));
        label->setBuddy(box);
        form->addRow(label, box);
    };
    picker(m_afterRecording, "recordingDestinationPicker", "录音完成后");
    picker(m_droppedFiles, "fileDropDestinationPicker", "拖入文件时");
    connect(m_afterRecording, &QComboBox::activated, this, [this] {
        m_store->setRecordingNoteDestination(NoteDestination(m_afterRecording->currentData().toInt()));
    });
    connect(m_droppedFiles, &QComboBox::activated, this, [this] {
        m_store->setFileDropNoteDestination(NoteDestination(m_droppedFiles->currentData().toInt()));
    });
    layout->addLayout(form);
    auto* explanation = newLabel(parent, false, true);
    m_texts.insert(explanation,
        "选择当前笔记会追加附件；选择新笔记会新建并切换。同次拖入的多个文件保存在同一页，录音转写始终追加到录音所在笔记。");
    layout->addWidget(explanation);
}

void SettingsView::buildTranscriptionSection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "录音转文字");
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    auto* name = newLabel(parent);
    m_texts.insert(name, "识别语言");
    m_speechLanguage = newPicker(parent, "speechLanguagePicker", kSpeechLanguages);
    name->setBuddy(m_speechLanguage);
    form->addRow(name, m_speechLanguage);
    layout->addLayout(form);
    connect(m_speechLanguage, &QComboBox::activated, this, [this] {
        std::ignore
            = m_store->preferences()->setString(kSpeechLanguage, m_speechLanguage->currentData().toString());
    });
    auto* explanation = newLabel(parent, false, true);
    m_texts.insert(explanation,
        "录音停止后按保存方式加入笔记，并在本机转写：识别引擎运行在这台电脑上，音频不会上传。语音模型只在首次使用时下载一次。转写失败时保留音频，可重试。");
    layout->addWidget(explanation);
    layout->addWidget(new SpeechModelSection(m_store->models(), m_store->folderChooser(), parent));
}

void SettingsView::buildHolidaySection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "节假日与调休");
    layout->addWidget(heading);
    m_calendarDescription = newLabel(parent);
    m_calendarDescription->setObjectName("calendarDescription");
    layout->addWidget(m_calendarDescription);
    auto* explanation = newLabel(parent, false, true);
    m_texts.insert(explanation,
        "当前内置 2026 年官方安排，离线可用。后续年份可导入更新；缺少年份时明确标注按双休估算。");
    layout->addWidget(explanation);
    auto* row = new QHBoxLayout;
    m_importCalendar = new QPushButton(parent);
    m_importCalendar->setObjectName("importCalendarButton");
    m_importCalendar->setAutoDefault(false);
    m_texts.insert(m_importCalendar, "导入年度日历 JSON…");
    connect(m_importCalendar, &QPushButton::clicked, m_store->holidays(), &HolidayCalendar::importCalendar);
    // A flat button drawn as a link: reachable by keyboard, and no markup in a label.
    m_scheduleLink = new QPushButton(parent);
    m_scheduleLink->setObjectName("officialScheduleLink");
    m_scheduleLink->setFlat(true);
    m_scheduleLink->setAutoDefault(false);
    m_scheduleLink->setCursor(Qt::PointingHandCursor);
    m_scheduleLink->setForegroundRole(QPalette::Link);
    m_scheduleLink->setToolTip(HolidayCalendar::officialNoticeURL());
    m_texts.insert(m_scheduleLink, "查看 2026 年官方安排");
    connect(m_scheduleLink, &QPushButton::clicked, this,
        [] { QDesktopServices::openUrl(QUrl(HolidayCalendar::officialNoticeURL())); });
    row->addWidget(m_importCalendar);
    row->addWidget(m_scheduleLink);
    row->addStretch();
    layout->addLayout(row);
    m_calendarIssue = newLabel(parent);
    m_calendarIssue->setObjectName("calendarIssue");
    layout->addWidget(m_calendarIssue);
}

void SettingsView::buildStorageSection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    m_texts.insert(heading, "本机附件存放位置");
    layout->addWidget(heading);
    auto* grid = new QFormLayout;
    for (StorageLocations::Kind kind :
        { StorageLocations::Kind::files, StorageLocations::Kind::recordings }) {
        const QString id = StorageLocations::rawValue(kind);
        StorageRow row;
        row.title = newLabel(parent);
        m_texts.insert(row.title, kind == StorageLocations::Kind::files ? "文件附件" : "录音文件");
        row.path = newLabel(parent);
        row.path->setObjectName(id + "FolderPath");
        row.path->setTextFormat(Qt::PlainText);
        row.path->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        row.choose = new QPushButton(parent);
        row.choose->setObjectName(id + "FolderChooseButton");
        row.choose->setAutoDefault(false);
        row.reset = new QPushButton(parent);
        row.reset->setObjectName(id + "FolderResetButton");
        row.reset->setAutoDefault(false);
        connect(row.choose, &QPushButton::clicked, this, [this, kind] { m_store->storage()->select(kind); });
        connect(
            row.reset, &QPushButton::clicked, this, [this, kind] { m_store->storage()->useDefault(kind); });
        auto* line = new QHBoxLayout;
        line->addWidget(row.path, 1);
        line->addWidget(row.choose);
        line->addWidget(row.reset);
        grid->addRow(row.title, line);
        m_storageRows.append(row);
    }
    layout->addLayout(grid);
    m_storageIssue = newLabel(parent);
    m_storageIssue->setObjectName("storageIssue");
    layout->addWidget(m_storageIssue);
    auto* explanation = newLabel(parent, false, true);
    m_texts.insert(
        explanation, "更改目录影响新附件；旧文件保留在原目录并继续可用。导入会复制文件，不移动原文件。");
    layout->addWidget(explanation);
}

void SettingsView::buildVaultSection(QVBoxLayout* layout)
{
    QWidget* parent = layout->parentWidget();
    auto* heading = newLabel(parent, true);
    heading->setText(QStringLiteral("Obsidian"));
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    auto* vaultName = newLabel(parent);
    m_texts.insert(vaultName, "仓库位置");
    m_vaultPath = newLabel(parent);
    m_vaultPath->setObjectName("vaultPathLabel");
    m_vaultPath->setWordWrap(false);
    m_vaultPath->setTextFormat(Qt::PlainText);
    m_vaultPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_chooseVault = new QPushButton(parent);
    m_chooseVault->setObjectName("chooseVaultButton");
    m_chooseVault->setAutoDefault(false);
    m_texts.insert(m_chooseVault, "选择文件夹…");
    connect(m_chooseVault, &QPushButton::clicked, m_store, &WorkspaceStore::selectVault);
    auto* vaultRow = new QHBoxLayout;
    vaultRow->addWidget(m_vaultPath, 1);
    vaultRow->addWidget(m_chooseVault);
    form->addRow(vaultName, vaultRow);
    const auto field = [&](QLineEdit*& edit, const char* objectName, const char* name) {
        edit = new QLineEdit(parent);
        edit->setObjectName(QLatin1String(objectName));
        auto* label = newLabel(parent);
        m_texts.insert(label, QString::fromUtf8(name));
        label->setBuddy(edit);
        form->addRow(label, edit);
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { exportPathEdited(edit); });
    };
    field(m_fileFolder, "attachmentExportPathField", "文件附件目录");
    field(m_audioFolder, "recordingExportPathField", "录音附件目录");
    layout->addLayout(form);
    m_exportPathIssue = newLabel(parent);
    m_exportPathIssue->setObjectName("exportPathIssue");
    layout->addWidget(m_exportPathIssue);
    for (const char* text :
        { "附件目录填写相对仓库根目录的路径，例如 Sidebar/Attachments。",
            "请选择 Obsidian 仓库的根目录。Note 只保存笔记正文到 Sidebar；待办通过独立按钮保存到 Sidebar/Tasks。每次保存生成新文件。" }) {
        auto* footnote = newLabel(parent, false, true);
        m_texts.insert(footnote, QString::fromUtf8(text));
        layout->addWidget(footnote);
    }
}

// A path that would leave the vault is not stored; the field keeps it, with the reason,
// until the user mends it.
void SettingsView::exportPathEdited(QLineEdit* field)
{
    const QString path = field->text().trimmed();
    if (const auto refused = StorageLocations::checkExportPath(path)) {
        m_exportPathIssue->setText(refused->text());
        m_exportPathIssue->show();
        return;
    }
    m_exportPathIssue->clear();
    m_exportPathIssue->hide();
    StorageLocations* storage = m_store->storage();
    if (field == m_fileFolder)
        storage->setAttachmentExportPath(path);
    else
        storage->setRecordingExportPath(path);
    field->setText(path);
}

void SettingsView::retranslate()
{
    setWindowTitle(L10n::tr("设置"));
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it) {
        if (auto* label = qobject_cast<QLabel*>(it.key()))
            label->setText(L10n::tr(it.value()));
        else if (auto* button = qobject_cast<QAbstractButton*>(it.key()))
            button->setText(L10n::tr(it.value()));
    }
    for (auto [picker, choices] :
        { std::pair { m_language, kInterfaceLanguages }, { m_speechLanguage, kSpeechLanguages } })
        for (int i = 0; i < choices.size(); ++i)
            picker->setItemText(i, L10n::tr(choices.at(i).second));
    for (QComboBox* picker : { m_afterRecording, m_droppedFiles }) {
        for (int i = 0; i < picker->count(); ++i) {
            const bool current = NoteDestination(picker->itemData(i).toInt()) == NoteDestination::currentNote;
            picker->setItemText(i, current ? L10n::tr("当前笔记") : L10n::tr("新笔记"));
        }
    }
    const std::pair<QWidget*, const char*> names[] { { m_language, "界面语言" },
        { m_speechLanguage, "识别语言" }, { m_afterRecording, "录音完成后" },
        { m_droppedFiles, "拖入文件时" }, { m_vaultPath, "仓库位置" }, { m_fileFolder, "文件附件目录" },
        { m_audioFolder, "录音附件目录" } };
    for (const auto& [widget, name] : names)
        widget->setAccessibleName(L10n::tr(QString::fromUtf8(name)));
    m_startAtLogin->setAccessibleName(m_startAtLogin->text());
    m_startAtLogin->setAccessibleDescription(L10n::tr("登录桌面后自动启动 Tandrel，全局快捷键随即可用。"));
    m_quit->setAccessibleName(m_quit->text());
    m_chooseVault->setAccessibleName(L10n::tr("仓库位置") + QStringLiteral(": ") + L10n::tr("选择文件夹…"));
    for (QAbstractButton* choice : m_appearance->buttons())
        choice->setAccessibleName(L10n::tr("界面主题") + QStringLiteral(": ") + choice->text());
    for (int i = 0; i < m_storageRows.size(); ++i) {
        const StorageRow& row = m_storageRows.at(i);
        row.choose->setText(L10n::tr("选择目录…"));
        row.reset->setText(L10n::tr("恢复默认"));
        row.choose->setAccessibleName(row.title->text() + QStringLiteral(": ") + row.choose->text());
        row.reset->setAccessibleName(row.title->text() + QStringLiteral(": ") + row.reset->text());
        row.path->setAccessibleName(row.title->text());
    }
    refresh();
}

void SettingsView::refresh()
{
    Preferences* preferences = m_store->preferences();
    selectValue(m_language, AppLanguage::current(preferences).rawValue());
    const QString appearance = preferences->string(kAppearanceMode).value_or(QStringLiteral("system"));
    for (QAbstractButton* choice : m_appearance->buttons())
        choice->setChecked(choice->property("appearanceMode").toString() == appearance);
    selectValue(m_speechLanguage, preferences->string(kSpeechLanguage).value_or(QStringLiteral("zh-CN")));
    {
        const QSignalBlocker blocker(m_startAtLogin);
        m_startAtLogin->setChecked(m_autostart->isEnabled());
    }

    NotificationService* service = m_store->notifications();
    const bool allowed = service->authorization() == NotificationAccess::allowed;
    m_status->setText(allowed ? L10n::tr("已允许") : L10n::tr("尚未允许"));
    m_issue->setText(service->issueText());
    m_issue->setVisible(!service->issueText().isEmpty());
    m_systemNotificationSettings->setVisible(m_notificationSettings->isAvailable());
    m_afterRecording->setCurrentIndex(m_afterRecording->findData(int(m_store->recordingNoteDestination())));
    m_droppedFiles->setCurrentIndex(m_droppedFiles->findData(int(m_store->fileDropNoteDestination())));

    HolidayCalendar* calendar = m_store->holidays();
    m_calendarDescription->setText(calendar->description());
    m_calendarIssue->setText(calendar->issue().value_or(QString()));
    m_calendarIssue->setVisible(calendar->issue().has_value());

    StorageLocations* storage = m_store->storage();
    for (int i = 0; i < m_storageRows.size(); ++i) {
        const auto kind = i == 0 ? StorageLocations::Kind::files : StorageLocations::Kind::recordings;
        m_storageRows[i].path->setText(storage->label(kind));
        m_storageRows[i].reset->setEnabled(storage->folderID(kind).has_value());
    }
    m_storageIssue->setText(storage->issue().value_or(QString()));
    m_storageIssue->setVisible(storage->issue().has_value());
    m_vaultPath->setText(m_store->vaultPath().value_or(QString()));
    // An edit in progress is not overwritten by its own echo.
    if (!m_fileFolder->hasFocus())
        m_fileFolder->setText(storage->attachmentExportPath());
    if (!m_audioFolder->hasFocus())
        m_audioFolder->setText(storage->recordingExportPath());
    m_exportPathIssue->setVisible(!m_exportPathIssue->text().isEmpty());
}

void SettingsView::preferenceChanged(const QString& key)
{
    if (key == kAppearanceMode || key == kSpeechLanguage || key == kInterfaceLanguage)
        refresh();
}

void SettingsView::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Whether alerts are allowed may have changed in the desktop's settings meanwhile.
    m_store->notifications()->refreshAuthorization();
    refresh();
}

void SettingsView::hideEvent(QHideEvent* event)
{
    std::ignore
        = m_store->preferences()->setString(kWindowSize, QStringLiteral("%1x%2").arg(width()).arg(height()));
    QDialog::hideEvent(event);
}

void SettingsView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
