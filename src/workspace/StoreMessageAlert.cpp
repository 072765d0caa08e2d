#include "StoreMessageAlert.h"

#include "PlainText.h"
#include "WorkspaceStore.h"
#include "platform/localization/L10n.h"

#include <QPushButton>

void showStoreMessageAlert(
    QPointer<QMessageBox>& alert, QWidget* parent, WorkspaceStore* store, const char* objectName)
{
    const auto message = store->message();
    if (!message)
        return;
    if (!alert) {
        alert = new QMessageBox(parent);
        alert->setObjectName(objectName);
        // The messages name files and folders.
        PlainText::apply(alert);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        QPushButton* ok = alert->addButton(L10n::tr("好"), QMessageBox::AcceptRole);
        ok->setObjectName("okButton");
        QObject::connect(alert, &QMessageBox::finished, store, [store] { store->setMessage(std::nullopt); });
    }
    alert->setWindowTitle(L10n::tr("保存提示"));
    alert->setText(*message);
    alert->open();
}
