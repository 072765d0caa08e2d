#include "ModelInstallDialog.h"

#include "platform/localization/L10n.h"
#include "platform/speech/ModelManager.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

QString ModelInstallDialog::recommendation(const WhisperModel& model)
{
    return L10n::tr("推荐 {0}：量化后的 base 模型，下载只有约 {1} MB，占用内存更少；在双核电脑上转写与完整 "
                    "base 模型一样快，中文识别效果接近。",
        { model.id, QString::number(qRound64(double(model.bytes) / 1e6)) });
}

ModelInstallDialog::~ModelInstallDialog()
{
    delete m_dialog;
}

void ModelInstallDialog::ask(
    const QList<WhisperModel>& models, const QString& source, std::function<void(QString)> answer)
{
    auto* dialog = new QDialog(QApplication::activeWindow());
    m_dialog = dialog;
    dialog->setObjectName("modelInstallDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(L10n::tr("下载语音识别模型"));
    auto* layout = new QVBoxLayout(dialog);
    auto* intro = new QLabel(
        L10n::tr("转写录音需要语音识别模型，它只需下载一次，识别全部在本机进行。请选择要下载的模型："),
        dialog);
    intro->setWordWrap(true);
    intro->setTextFormat(Qt::PlainText);
    layout->addWidget(intro);
    auto* choice = new QComboBox(dialog);
    choice->setObjectName("modelChoice");
    choice->setAccessibleName(L10n::tr("语音识别模型"));
    QString recommended;
    for (const WhisperModel& model : models) {
        QString name = ModelManager::displayName(model);
        if (model.recommended) {
            name = L10n::tr("{0} · 推荐", { name });
            recommended = recommendation(model);
        }
        choice->addItem(name, model.id);
    }
    layout->addWidget(choice);
    if (!recommended.isEmpty()) {
        auto* why = new QLabel(recommended, dialog);
        why->setWordWrap(true);
        why->setTextFormat(Qt::PlainText);
        layout->addWidget(why);
    }
    auto* from = new QLabel(L10n::tr("下载来源：{0}", { source }), dialog);
    from->setWordWrap(true);
    from->setTextFormat(Qt::PlainText);
    layout->addWidget(from);
    auto* buttons = new QDialogButtonBox(dialog);
    auto* download = buttons->addButton(L10n::tr("下载"), QDialogButtonBox::AcceptRole);
    download->setObjectName("downloadChosenModelButton");
    download->setDefault(true);
    auto* later = buttons->addButton(L10n::tr("暂不下载"), QDialogButtonBox::RejectRole);
    later->setObjectName("declineModelButton");
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    // Answered once, however the window ends.
    auto pending = std::make_shared<std::function<void(QString)>>(std::move(answer));
    QObject::connect(dialog, &QDialog::finished, dialog, [pending, choice](int result) {
        if (!*pending)
            return;
        const auto call = std::exchange(*pending, nullptr);
        call(result == QDialog::Accepted ? choice->currentData().toString() : QString());
    });
    dialog->open();
}
