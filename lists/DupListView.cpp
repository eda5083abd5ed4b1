#include "lists/DupListView.h"

#include <QApplication>
#include <QMenu>

#include "framework/CommandRouter.h"
#include "framework/ContextHelp.h"
#include "framework/MenuBuilder.h"
#include "platform/ModalScope.h"
#include "resources/CommandIds.h"
#include "tree/DeletionChain.h"
#include "tree/DeletionHandler.h"
#include "tree/FolderTreeActions.h"
#include "model/TreeDataLock.h"

namespace {

// The popups of the context menu resource: "Folder Menu", "File Menu", "Both".
constexpr int kFileMenu = 1;

}  // namespace

DupListView::DupListView(int helpTopic, QWidget* parent)
    : DetailListView(framework::ListSelection::Single, parent)
{
    setFrameShape(QFrame::StyledPanel);
    framework::ContextHelp::SetTopic(this, helpTopic);
}

DupListView::~DupListView() = default;

std::unique_lock<TreeDataLock> DupListView::LockData() const
{
    return m_dataLock != nullptr ? std::unique_lock<TreeDataLock>(*m_dataLock)
                                 : std::unique_lock<TreeDataLock>();
}

bool DupListView::OnUpdateCommand(int command, framework::CommandState& state)
{
    if (command != resources::ID_OPEN && command != resources::ID_DELETE) {
        return false;
    }
    state.enabled = Control().SelectedCount() > 0;
    return true;
}

void DupListView::OnCommand(int command)
{
    if (command == resources::ID_OPEN) {
        OpenSelected();
    } else if (command == resources::ID_DELETE) {
        DeleteSelected();
    }
}

void DupListView::DeleteSelected()
{
    DeletionHandler* handler = m_deletion;
    if (handler == nullptr) {
        return;
    }
    const auto lock = LockData();
    DeletionChain chain;
    AppendSelectedCopies(chain);
    if (!chain.Empty()) {
        handler->DeleteRequests(chain.Take());
    }
}

void DupListView::OnOpen() { OpenSelected(); }

void DupListView::OnDeleteKey() { DeleteSelected(); }

void DupListView::OnEscapeKey()
{
    if (m_treeActions != nullptr) {
        m_treeActions->StopScanning();
    }
}

void DupListView::OnContextMenu(const QPoint& globalPos, bool /*fromKeyboard*/)
{
    if (Control().SelectedCount() == 0) {
        return;
    }
    // The frame's router: the menu's states and commands take the same road
    // as the menu bar's, with this list asked first.
    auto* router =
        window()->findChild<framework::CommandRouter*>(QString(), Qt::FindDirectChildrenOnly);
    if (router == nullptr) {
        return;
    }
    std::unique_ptr<QMenu> menu =
        framework::MenuBuilder::CreatePopup(resources::IDR_CONTEXT_MENUS, kFileMenu, *router, this);
    if (menu == nullptr) {
        return;
    }
    const platform::ModalScope modal;
    menu->exec(globalPos);
}

DupListView::BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

DupListView::BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }
