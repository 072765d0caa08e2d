// One-way copies into the Obsidian vault: the current note, the task list, one recording.

#include "WorkspaceStore.h"

#include "VaultExport.h"
#include "platform/localization/L10n.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/StorageLocations.h"

namespace {
// Runs `work` with access to the vault folder opened, and closes it again if it was opened.
template <class Work> auto withAccess(const QString& vault, Work work)
{
    const bool granted = FolderBookmark::startAccessing(vault);
    auto result = work();
    if (granted)
        FolderBookmark::stopAccessing(vault);
    return result;
}
} // namespace

void WorkspaceStore::exportMarkdown()
{
    if (!m_vaultPath) {
        setMessage(L10n::tr("请先在设置中选择 Obsidian 仓库。"));
        return;
    }
    const VaultExport vault(*m_vaultPath, *m_storage, WallClocks::now(m_clock));
    const auto written = withAccess(*m_vaultPath, [&] { return vault.exportNote(currentPage(), *m_audio); });
    setMessage(written ? L10n::tr("笔记已保存到 {0}/Sidebar。", { vaultName() })
                       : L10n::tr("保存失败：{0}", { written.error().text() }));
}

void WorkspaceStore::exportTasks()
{
    if (m_tasks.isEmpty()) {
        setMessage(L10n::tr("没有待办可保存。"));
        return;
    }
    if (!m_vaultPath) {
        setMessage(L10n::tr("请先在设置中选择 Obsidian 仓库。"));
        return;
    }
    const VaultExport vault(*m_vaultPath, *m_storage, WallClocks::now(m_clock));
    const auto written = withAccess(*m_vaultPath, [&] { return vault.exportTasks(m_tasks); });
    setMessage(written ? L10n::tr("待办已单独保存到 {0}/Sidebar/Tasks。", { vaultName() })
                       : L10n::tr("待办保存失败：{0}", { written.error().text() }));
}

void WorkspaceStore::exportRecording(const AudioRecording& recording)
{
    if (!m_vaultPath) {
        setMessage(L10n::tr("请先在设置中选择 Obsidian 仓库。"));
        return;
    }
    const VaultExport vault(*m_vaultPath, *m_storage, WallClocks::now(m_clock));
    const auto written = withAccess(*m_vaultPath, [&] { return vault.exportRecording(recording); });
    // The local recording is never touched, whatever happened in the vault.
    setMessage(written
            ? L10n::tr("音频及引用笔记已保存到 {0}/{1}。", { vaultName(), m_storage->recordingExportPath() })
            : L10n::tr("录音导出失败，本机音频仍保留：{0}", { written.error().text() }));
}
