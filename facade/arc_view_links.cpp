// The two-way binding between the facade and its list and tree views, and the facade's view updates.
#include "facade/arc_view_links.h"

#include "facade/kv_comp.h"

namespace kv::facade {

TArcViewLink::~TArcViewLink() {
    if (comp_) comp_->ForgetView(this);
}

void TArcViewLink::SetkvComp(TkvComp* comp) {
    if (comp == comp_) return;
    if (comp_) comp_->ForgetView(this);
    comp_ = nullptr;
    if (comp) BindInto(*comp);
}

void TArcListViewLink::BindInto(TkvComp& comp) { comp.SetArcListView(this); }

void TArcTreeViewLink::BindInto(TkvComp& comp) { comp.SetArcTreeView(this); }

template <class View>
void TkvComp::BindView(View*& slot, View* view) {
    if (view == slot) return;
    if (slot) slot->comp_ = nullptr;
    slot = view;
    if (!view) return;
    if (view->comp_ && view->comp_ != this) view->comp_->ForgetView(view);
    view->comp_ = this;
}

void TkvComp::SetArcListView(TArcListViewLink* view) { BindView(list_view_, view); }

void TkvComp::SetArcTreeView(TArcTreeViewLink* view) { BindView(tree_view_, view); }

void TkvComp::ForgetView(const TArcViewLink* view) {
    if (view == list_view_) list_view_ = nullptr;
    if (view == tree_view_) tree_view_ = nullptr;
}

void TkvComp::RefillList() {
    if (list_view_) list_view_->Refill();
}

void TkvComp::RebuildTree() {
    if (tree_view_) tree_view_->Rebuild();
}

void TkvComp::RefreshViews() {
    if (list_files_) RefillList();
    if (explorer_style_) RebuildTree();
}

}  // namespace kv::facade
