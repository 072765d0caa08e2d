#include "SpeechModelDialog.h"

#include "SpeechModelSection.h"

#include "platform/localization/L10n.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

SpeechModelDialog::SpeechModelDialog(ModelManager* models, FolderChooser* chooser, QWidget* parent)
    : QDialog(parent)
    , m_section(new SpeechModelSection(models, chooser, this))
    , m_done(new QPushButton(this))
{
    setObjectName("speechModelDialog");
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_section);
    m_done->setObjectName("modelDialogDoneButton");
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_done);
    layout->addLayout(buttons);
    retranslate();
}

void SpeechModelDialog::retranslate()
{
    setWindowTitle(L10n::tr("语音识别模型"));
    m_done->setText(L10n::tr("完成"));
}
