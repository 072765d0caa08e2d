#include "SpeechModelSection.h"

#include "ModelInstallDialog.h"

#include "platform/localization/L10n.h"
#include "platform/speech/ModelManager.h"
#include "platform/storage/FolderChooser.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
constexpr int kProgressSteps = 1000;

QLabel* plainLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QPushButton* button(QWidget* parent, const char* name)
{
    auto* result = new QPushButton(parent);
    result->setObjectName(name);
    return result;
}
} // namespace

SpeechModelSection::SpeechModelSection(ModelManager* models, FolderChooser* chooser, QWidget* parent)
    : QWidget(parent)
    , m_models(models)
    , m_chooser(chooser)
{
    if (!m_chooser) {
        m_ownChooser = std::make_unique<DialogFolderChooser>();
        m_chooser = m_ownChooser.get();
    }
    setObjectName("speechModelSection");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_status = plainLabel(this, "modelStatusLabel");
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    layout->addWidget(m_status);
    m_installed = plainLabel(this, "installedModelLabel");
    m_installed->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_installed);

    m_rows = new QVBoxLayout;
    m_rows->setSpacing(4);
    for (const WhisperModel& model : m_models->catalogue()) {
        auto* row = new QFrame(this);
        row->setObjectName("modelRow");
        row->setProperty("modelID", model.id);
        row->setFrameShape(QFrame::StyledPanel);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(10, 4, 10, 4);
        rowLayout->addWidget(plainLabel(row, "modelName"), 1);
        auto* badge = plainLabel(row, "modelInstalledBadge");
        badge->setForegroundRole(QPalette::PlaceholderText);
        rowLayout->addWidget(badge);
        auto* download = button(row, "downloadModelButton");
        const QString id = model.id;
        connect(download, &QPushButton::clicked, this, [this, id] { m_models->download(id); });
        auto* remove = button(row, "removeModelButton");
        const QString fileName = model.fileName;
        connect(remove, &QPushButton::clicked, this, [this, fileName] { m_models->remove(fileName); });
        rowLayout->addWidget(download);
        rowLayout->addWidget(remove);
        m_rows->addWidget(row);
    }
    layout->addLayout(m_rows);
    m_recommendation = plainLabel(this, "modelRecommendationLabel");
    m_recommendation->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_recommendation);

    auto* sourceRow = new QHBoxLayout;
    m_sourceLabel = plainLabel(this, "modelSourceLabel");
    m_sourceLabel->setWordWrap(false);
    m_source = new QComboBox(this);
    m_source->setObjectName("modelSourceChoice");
    m_sourceLabel->setBuddy(m_source);
    connect(m_source, &QComboBox::activated, this,
        [this](int index) { m_models->chooseSource(m_source->itemData(index).toString()); });
    sourceRow->addWidget(m_sourceLabel);
    sourceRow->addWidget(m_source, 1);
    layout->addLayout(sourceRow);

    auto* customRow = new QHBoxLayout;
    m_customSource = new QLineEdit(this);
    m_customSource->setObjectName("customModelSourceField");
    connect(m_customSource, &QLineEdit::returnPressed, this, &SpeechModelSection::useCustomSource);
    m_useCustomSource = button(this, "useCustomModelSourceButton");
    connect(m_useCustomSource, &QPushButton::clicked, this, &SpeechModelSection::useCustomSource);
    customRow->addWidget(m_customSource, 1);
    customRow->addWidget(m_useCustomSource);
    layout->addLayout(customRow);

    auto* progressRow = new QHBoxLayout;
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("modelProgress");
    m_progress->setRange(0, kProgressSteps);
    m_cancel = button(this, "cancelModelJobButton");
    connect(m_cancel, &QPushButton::clicked, m_models, &ModelManager::cancel);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);
    layout->addLayout(progressRow);

    m_message = plainLabel(this, "modelMessageLabel");
    QPalette warning = m_message->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x39, 0x2b));
    m_message->setPalette(warning);
    layout->addWidget(m_message);

    m_chooseFile = button(this, "chooseModelFileButton");
    connect(m_chooseFile, &QPushButton::clicked, this, &SpeechModelSection::chooseModelFile);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_chooseFile);
    fileRow->addStretch(1);
    layout->addLayout(fileRow);

    for (auto signal : { &ModelManager::stateChanged, &ModelManager::modelIDChanged,
             &ModelManager::progressChanged, &ModelManager::messageChanged,
             &ModelManager::installedModelPathChanged, &ModelManager::statusTextChanged })
        connect(m_models, signal, this, &SpeechModelSection::refresh);
    connect(m_models, &ModelManager::sourcesChanged, this, &SpeechModelSection::refreshSources);
    // A model may have been added since the manager last looked.
    if (m_models->state() == ModelManager::State::idle)
        m_models->refresh();
    retranslate();
}

SpeechModelSection::~SpeechModelSection() = default;

void SpeechModelSection::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void SpeechModelSection::retranslate()
{
    QString recommendation;
    for (QFrame* row : findChildren<QFrame*>("modelRow")) {
        const QString id = row->property("modelID").toString();
        for (const WhisperModel& model : m_models->catalogue()) {
            if (model.id != id)
                continue;
            const QString name = ModelManager::displayName(model);
            row->findChild<QLabel*>("modelName")
                ->setText(model.recommended ? L10n::tr("{0} · 推荐", { name }) : name);
            if (model.recommended)
                recommendation = ModelInstallDialog::recommendation(model);
            auto* download = row->findChild<QPushButton*>("downloadModelButton");
            download->setText(L10n::tr("下载"));
            download->setAccessibleName(L10n::tr("下载 {0}", { model.id }));
            auto* remove = row->findChild<QPushButton*>("removeModelButton");
            remove->setText(L10n::tr("删除"));
            remove->setAccessibleName(L10n::tr("删除 {0}", { model.id }));
        }
        row->findChild<QLabel*>("modelInstalledBadge")->setText(L10n::tr("已安装"));
    }
    m_recommendation->setText(recommendation);
    m_recommendation->setVisible(!recommendation.isEmpty());
    m_sourceLabel->setText(L10n::tr("下载来源"));
    m_source->setAccessibleName(L10n::tr("下载来源"));
    m_customSource->setPlaceholderText(L10n::tr("自己的来源：模型文件所在的 https:// 网址"));
    m_customSource->setAccessibleName(L10n::tr("自己的下载来源"));
    m_useCustomSource->setText(L10n::tr("使用此来源"));
    m_cancel->setText(L10n::tr("取消"));
    m_progress->setAccessibleName(L10n::tr("下载进度"));
    m_chooseFile->setText(L10n::tr("从磁盘选择模型文件…"));
    refreshSources();
    refresh();
}

void SpeechModelSection::refreshSources()
{
    const QSignalBlocker blocker(m_source);
    m_source->clear();
    m_source->addItem(L10n::tr("自动选择（依次尝试原始来源和国内镜像）"), QString());
    for (const ModelSource& source : m_models->sources())
        m_source->addItem(ModelManager::sourceName(source), source.id);
    m_source->setCurrentIndex(std::max(0, m_source->findData(m_models->chosenSource())));
    if (!m_customSource->hasFocus())
        m_customSource->setText(m_models->customSource());
}

void SpeechModelSection::refresh()
{
    const bool busy = m_models->state() != ModelManager::State::idle;
    m_status->setText(m_models->statusText());
    const QString installedName = QFileInfo(m_models->installedModelPath()).fileName();
    m_installed->setText(L10n::tr("当前模型：{0}", { installedName }));
    // Selectable, so it takes the focus: screen readers then read the model it names.
    m_installed->setAccessibleName(m_installed->text());
    m_installed->setVisible(!installedName.isEmpty());
    for (QFrame* row : findChildren<QFrame*>("modelRow")) {
        const QString id = row->property("modelID").toString();
        bool installed = false;
        for (const WhisperModel& model : m_models->catalogue()) {
            if (model.id == id)
                installed = m_models->isInstalled(model);
        }
        row->findChild<QLabel*>("modelInstalledBadge")->setVisible(installed);
        auto* download = row->findChild<QPushButton*>("downloadModelButton");
        download->setVisible(!installed);
        download->setEnabled(!busy);
        auto* remove = row->findChild<QPushButton*>("removeModelButton");
        remove->setVisible(installed);
        remove->setEnabled(!busy);
    }
    m_progress->setVisible(busy);
    m_progress->setValue(int(m_models->progress() * kProgressSteps));
    m_cancel->setVisible(busy);
    m_chooseFile->setEnabled(!busy);
    m_message->setText(m_models->message());
    m_message->setVisible(!m_models->message().isEmpty());
}

void SpeechModelSection::useCustomSource()
{
    const QString address = m_customSource->text().trimmed();
    if (!m_models->setCustomSource(address))
        return;
    m_models->chooseSource(address.isEmpty() ? QString() : QStringLiteral("custom"));
}

void SpeechModelSection::chooseModelFile()
{
    const auto path
        = m_chooser->chooseFile(L10n::tr("选择语音识别模型文件"), L10n::tr("Whisper 模型 (*.bin)"));
    if (!path || path->isEmpty())
        return;
    m_models->installFromFile(*path);
}
