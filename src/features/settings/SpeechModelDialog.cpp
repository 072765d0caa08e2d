#include "SpeechModelDialog.h"

#include "platform/localization/L10n.h"
#include "platform/speech/ModelManager.h"
#include "platform/storage/FolderChooser.h"

#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kProgressSteps = 1000;
}

SpeechModelDialog::SpeechModelDialog(ModelManager* models, FolderChooser* chooser, QWidget* parent)
    : QDialog(parent)
    , m_models(models)
    , m_chooser(chooser)
{
    if (!m_chooser) {
        m_ownChooser = std::make_unique<DialogFolderChooser>();
        m_chooser = m_ownChooser.get();
    }
    setObjectName("speechModelDialog");
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(380);

    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setObjectName("modelStatusLabel");
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    layout->addWidget(m_status);
    m_installed = new QLabel(this);
    m_installed->setTextFormat(Qt::PlainText);
    m_installed->setObjectName("installedModelLabel");
    m_installed->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_installed);

    m_rows = new QVBoxLayout;
    m_rows->setSpacing(6);
    for (const WhisperModel& model : m_models->catalogue()) {
        auto* row = new QFrame(this);
        row->setObjectName("modelRow");
        row->setProperty("modelID", model.id);
        row->setFrameShape(QFrame::StyledPanel);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(10, 6, 10, 6);
        auto* name = new QLabel(row);
        name->setTextFormat(Qt::PlainText);
        name->setObjectName("modelName");
        auto* badge = new QLabel(row);
        badge->setTextFormat(Qt::PlainText);
        badge->setObjectName("modelInstalledBadge");
        badge->setForegroundRole(QPalette::PlaceholderText);
        auto* download = new QPushButton(row);
        download->setObjectName("downloadModelButton");
        const QString id = model.id;
        connect(download, &QPushButton::clicked, this, [this, id] { m_models->download(id); });
        rowLayout->addWidget(name, 1);
        rowLayout->addWidget(badge);
        rowLayout->addWidget(download);
        m_rows->addWidget(row);
    }
    layout->addLayout(m_rows);

    auto* progressRow = new QHBoxLayout;
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("modelProgress");
    m_progress->setRange(0, kProgressSteps);
    m_progress->setTextVisible(false);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName("cancelModelJobButton");
    connect(m_cancel, &QPushButton::clicked, m_models, &ModelManager::cancel);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);
    layout->addLayout(progressRow);

    m_message = new QLabel(this);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setObjectName("modelMessageLabel");
    m_message->setWordWrap(true);
    QPalette warning = m_message->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x39, 0x2b));
    m_message->setPalette(warning);
    layout->addWidget(m_message);

    auto* buttons = new QHBoxLayout;
    m_chooseFile = new QPushButton(this);
    m_chooseFile->setObjectName("chooseModelFileButton");
    connect(m_chooseFile, &QPushButton::clicked, this, &SpeechModelDialog::chooseModelFile);
    m_done = new QPushButton(this);
    m_done->setObjectName("modelDialogDoneButton");
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(m_chooseFile);
    buttons->addStretch(1);
    buttons->addWidget(m_done);
    layout->addLayout(buttons);

    for (auto signal : { &ModelManager::stateChanged, &ModelManager::modelIDChanged,
                         &ModelManager::progressChanged, &ModelManager::messageChanged,
                         &ModelManager::installedModelPathChanged, &ModelManager::statusTextChanged })
        connect(m_models, signal, this, &SpeechModelDialog::refresh);
    // A model may have been added since the manager last looked.
    if (m_models->state() == ModelManager::State::idle)
        m_models->refresh();
    retranslate();
}

SpeechModelDialog::~SpeechModelDialog() = default;

void SpeechModelDialog::retranslate()
{
    setWindowTitle(L10n::tr("语音识别模型"));
    m_cancel->setText(L10n::tr("取消"));
    m_chooseFile->setText(L10n::tr("从磁盘选择模型文件…"));
    m_done->setText(L10n::tr("完成"));
    for (QFrame* row : findChildren<QFrame*>("modelRow")) {
        const QString id = row->property("modelID").toString();
        for (const WhisperModel& model : m_models->catalogue()) {
            if (model.id == id)
                row->findChild<QLabel*>("modelName")->setText(ModelManager::displayName(model));
        }
        row->findChild<QLabel*>("modelInstalledBadge")->setText(L10n::tr("已安装"));
        row->findChild<QPushButton*>("downloadModelButton")->setText(L10n::tr("下载"));
    }
    refresh();
}

void SpeechModelDialog::refresh()
{
    const bool busy = m_models->state() != ModelManager::State::idle;
    m_status->setText(m_models->statusText());
    const QString installedName = QFileInfo(m_models->installedModelPath()).fileName();
    m_installed->setText(L10n::tr("当前模型：{0}", { installedName }));
    m_installed->setVisible(!installedName.isEmpty());
    for (QFrame* row : findChildren<QFrame*>("modelRow")) {
        const QString id = row->property("modelID").toString();
        bool installed = false;
        for (const WhisperModel& model : m_models->catalogue()) {
            if (model.id == id)
                installed = !installedName.isEmpty() && model.fileName == installedName;
        }
        row->findChild<QLabel*>("modelInstalledBadge")->setVisible(installed);
        auto* download = row->findChild<QPushButton*>("downloadModelButton");
        download->setVisible(!installed);
        download->setEnabled(!busy);
    }
    m_progress->setVisible(busy);
    m_progress->setValue(int(m_models->progress() * kProgressSteps));
    m_cancel->setVisible(busy);
    m_chooseFile->setEnabled(!busy);
    m_message->setText(m_models->message());
    m_message->setVisible(!m_models->message().isEmpty());
}

void SpeechModelDialog::chooseModelFile()
{
    const auto path
        = m_chooser->chooseFile(L10n::tr("选择语音识别模型文件"), L10n::tr("Whisper 模型 (*.bin)"));
    if (!path || path->isEmpty())
        return;
    m_models->installFromFile(*path);
}
