#include "ui/result/graph_pane.h"

#include <QPointer>

#include "ui/result/graph_view.h"

namespace korvane {
namespace {

class GraphViewPane : public ResultGraphPane {
  public:
    GraphViewPane(ResultWindowDocument& document, QWidget* parent)
        : document_(document), view_(new GraphView(parent)) {
        view_->setObjectName(QStringLiteral("Graph"));
        view_->setAccessibleName(QStringLiteral("Graph"));
        QObject::connect(view_, &GraphView::FolderClicked, view_,
                         [&document](int folder_id) { document.DrillDown(folder_id); });
    }

    QWidget* Widget() override { return view_; }
    bool ShowGraph() override {
        if (view_ == nullptr || !document_.HasCatalogue())
            return false;
        Catalogue& catalogue = document_.GetCatalogue();
        return view_->ShowGraph(document_.Result(), catalogue, document_.GraphItems(), catalogue.ui());
    }
    void Clear() override {
        if (view_ != nullptr)
            view_->Clear();
    }
    void Paint(QPainter& painter, const QRect& body) override {
        if (view_ != nullptr)
            view_->Paint(painter, body);
    }

  private:
    ResultWindowDocument& document_;
    // The widget belongs to the window it sits in.
    QPointer<GraphView> view_;
};

}  // namespace

std::unique_ptr<ResultGraphPane> MakeGraphViewPane(ResultWindowDocument& document, QWidget* parent) {
    return std::make_unique<GraphViewPane>(document, parent);
}

}  // namespace korvane
